#pragma once
// PNG (zlib) and JPEG (libjpeg) encoding of a canvas.

#include "tools/geoportal/canvas.h"

#include <string>

namespace kl::geoportal {

std::string encodePng(const Canvas& canvas, bool withAlpha);
std::string encodeJpeg(const Canvas& canvas, int quality);

}  // namespace kl::geoportal
