#pragma once
#include <cstdint>
#include <string>

#include "cloud/e57/e57_guid.h"

namespace kl::e57 {

struct CartesianBounds {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0, zMin = 0, zMax = 0;
};

// The XML section describing one scan of single-precision Cartesian points
// with 8-bit colour, stored in the compressed-vector section at physical
// offset 48. Raw format: no indentation, no line breaks.
std::string buildE57Xml(uint64_t pointCount, const CartesianBounds& bounds, const E57Guids& guids);

// Floating values as the XML section writes them: general notation, 17
// significant digits, independent of the process locale.
std::string formatE57Float(double v);

}  // namespace kl::e57
