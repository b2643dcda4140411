#pragma once
// Keys under which two polylines or two texts count as the same drawing.
// Every number enters rounded to the thousandth, floor(v * 1000 + 0.5) / 1000,
// printed as "%.17g|". A polyline's key is the least, byte by byte, of the
// keys of its segment list read in both directions and, when closed, from
// every vertex; it is found in time linear in the number of vertices.
#include <optional>
#include <string>

#include "cleanup/drawing_records.h"

namespace kl::cleanup {

// v rounded and printed as above; nothing for a value that is not finite.
std::optional<std::string> numberToken(double v);

// Both give nothing when a number is not finite; a polyline also needs at
// least two vertices.
std::optional<std::string> polylineKey(const PolylineRecord& polyline);
std::optional<std::string> textKey(const TextRecord& text);

// Closed: more than two vertices, the first equal to the last exactly.
bool isClosed(const PolylineRecord& polyline);

}  // namespace kl::cleanup
