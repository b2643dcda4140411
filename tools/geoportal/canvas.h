#pragma once
// A small RGBA raster with anti-aliasing-free polygon fill and thick lines,
// enough to draw plausible map images of the demo site.

#include "tools/geoportal/service_family.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kl::geoportal {

struct PixelXy {
    double x = 0, y = 0;
};

class Canvas {
public:
    Canvas(int width, int height, Rgba background);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& pixels() const { return pixels_; }

    void blend(int x, int y, Rgba c);
    // Even-odd fill of any number of rings (holes are rings too).
    void fillRings(const std::vector<std::vector<PixelXy>>& rings, Rgba c);
    void strokePath(const std::vector<PixelXy>& path, double widthPixels, Rgba c);
    // Digits, '/' and '.' in a tiny block font, centred on the point.
    void drawLabel(std::string_view text, PixelXy centre, int scale, Rgba c);

private:
    int width_, height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace kl::geoportal
