#include "tools/geoportal/canvas.h"

#include <algorithm>
#include <cmath>

namespace kl::geoportal {

Canvas::Canvas(int width, int height, Rgba background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = background.r;
        pixels_[i + 1] = background.g;
        pixels_[i + 2] = background.b;
        pixels_[i + 3] = background.a;
    }
}

void Canvas::blend(int x, int y, Rgba c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || c.a == 0) return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4];
    const unsigned a = c.a, inv = 255 - a;
    const unsigned outA = a + p[3] * inv / 255;
    if (outA == 0) return;
    auto mix = [&](uint8_t dst, uint8_t src) {
        return static_cast<uint8_t>((src * a + dst * p[3] * inv / 255) / outA);
    };
    p[0] = mix(p[0], c.r);
    p[1] = mix(p[1], c.g);
    p[2] = mix(p[2], c.b);
    p[3] = static_cast<uint8_t>(outA);
}

void Canvas::fillRings(const std::vector<std::vector<PixelXy>>& rings, Rgba c) {
    double minY = 1e300, maxY = -1e300;
    for (const auto& r : rings)
        for (const auto& p : r) {
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY)));
    std::vector<double> xs;
    for (int y = y0; y <= y1; ++y) {
        const double sy = y + 0.5;
        xs.clear();
        for (const auto& r : rings) {
            for (size_t i = 0; i < r.size(); ++i) {
                const PixelXy a = r[i], b = r[(i + 1) % r.size()];
                if ((a.y <= sy) != (b.y <= sy)) xs.push_back(a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int xa = std::max(0, static_cast<int>(std::lround(xs[i])));
            const int xb = std::min(width_, static_cast<int>(std::lround(xs[i + 1])));
            for (int x = xa; x < xb; ++x) blend(x, y, c);
        }
    }
}

void Canvas::strokePath(const std::vector<PixelXy>& path, double widthPixels, Rgba c) {
    const double h = std::max(widthPixels, 1.0) / 2;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const PixelXy a = path[i], b = path[i + 1];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::hypot(dx, dy);
        if (len == 0) continue;
        // Extend by half the width so that joins and ends are square and closed.
        const double ux = dx / len * h, uy = dy / len * h;
        const double nx = -uy, ny = ux;
        fillRings({{{a.x - ux + nx, a.y - uy + ny},
                    {b.x + ux + nx, b.y + uy + ny},
                    {b.x + ux - nx, b.y + uy - ny},
                    {a.x - ux - nx, a.y - uy - ny}}},
                  c);
    }
}

void Canvas::drawLabel(std::string_view text, PixelXy centre, int scale, Rgba c) {
    // 3 x 5 glyphs, one row per 3 bits, top row first.
    auto glyph = [](char ch) -> const char* {
        switch (ch) {
            case '0': return "111101101101111";
            case '1': return "010110010010111";
            case '2': return "111001111100111";
            case '3': return "111001111001111";
            case '4': return "101101111001001";
            case '5': return "111100111001111";
            case '6': return "111100111101111";
            case '7': return "111001010010010";
            case '8': return "111101111101111";
            case '9': return "111101111001111";
            case '/': return "001001010100100";
            case '.': return "000000000000010";
            default: return "000000000000000";
        }
    };
    const int advance = 4 * scale;
    const int total = static_cast<int>(text.size()) * advance - scale;
    int x0 = static_cast<int>(std::lround(centre.x)) - total / 2;
    const int y0 = static_cast<int>(std::lround(centre.y)) - 5 * scale / 2;
    for (char ch : text) {
        const char* bits = glyph(ch);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (bits[row * 3 + col] == '1')
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx) blend(x0 + col * scale + dx, y0 + row * scale + dy, c);
        x0 += advance;
    }
}

}  // namespace kl::geoportal
