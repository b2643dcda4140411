#pragma once
// Reads the polylines and texts the cleanup works on: the selected ones when
// anything is selected (a selection without any of them gives none), else
// every polyline and text of the floor plan. Elements the host cannot read,
// of another type or without coordinates or content, are left out.
#include "cleanup/drawing_records.h"

namespace kl::cleanup {

Drawing readDrawing();

}  // namespace kl::cleanup
