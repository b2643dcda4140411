#pragma once
// The two national elevation models read together: the surface model (the
// highest returns: roofs, crowns, decks) and the terrain model (the ground).
// Their difference is the height of what stands on the ground.
#include <cmath>
#include <functional>
#include <optional>

namespace kl::buildings {

using HeightAt = std::function<std::optional<double>(double x, double y)>;

struct SurfaceModelPair {
    HeightAt surface;  // nMPT
    HeightAt terrain;  // NMT

    // Each only where the model has a finite height.
    std::optional<double> surfaceHeight(double x, double y) const { return finite(surface(x, y)); }
    std::optional<double> terrainHeight(double x, double y) const { return finite(terrain(x, y)); }

    // Surface minus terrain; only where both have a height.
    std::optional<double> raise(double x, double y) const {
        const std::optional<double> s = surfaceHeight(x, y);
        if (!s) return std::nullopt;
        const std::optional<double> t = terrainHeight(x, y);
        if (!t) return std::nullopt;
        return *s - *t;
    }

private:
    static std::optional<double> finite(std::optional<double> h) {
        return h && std::isfinite(*h) ? h : std::nullopt;
    }
};

}  // namespace kl::buildings
