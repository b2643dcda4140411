#include "cleanup/element_keys.h"

#include <charconv>
#include <cmath>
#include <compare>
#include <tuple>
#include <vector>

#include "cleanup/least_rotation.h"

namespace kl::cleanup {
namespace {

// A segment's share of a key: where it starts and its angle. Tokens end in
// '|', which sorts after every character a number prints with, so no token
// is the beginning of another and comparing tokens one by one orders the
// keys as their bytes do.
struct Step {
    const std::string* x;
    const std::string* y;
    const std::string* angle;
    std::strong_ordering operator<=>(const Step& o) const {
        if (auto c = *x <=> *o.x; c != 0) return c;
        if (auto c = *y <=> *o.y; c != 0) return c;
        return *angle <=> *o.angle;
    }
    bool operator==(const Step& o) const { return (*this <=> o) == 0; }
};

// One direction of a polyline: its steps, and the point its last step ends at.
struct Reading {
    std::vector<Step> steps;
    const std::string* endX;
    const std::string* endY;
};

// The key text of the steps from `from` on, wrapping round, then the end
// point (for a rotation, the start of its first step).
void append(std::string& key, const std::vector<Step>& steps, size_t from, const std::string& endX,
            const std::string& endY) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[(from + i) % steps.size()];
        key += *s.x;
        key += *s.y;
        key += *s.angle;
    }
    key += endX;
    key += endY;
}

std::strong_ordering compareRotations(const std::vector<Step>& a, size_t fromA, const std::vector<Step>& b,
                                      size_t fromB) {
    for (size_t i = 0; i < a.size(); ++i)
        if (auto c = a[(fromA + i) % a.size()] <=> b[(fromB + i) % b.size()]; c != 0) return c;
    return std::strong_ordering::equal;
}

}  // namespace

std::optional<std::string> numberToken(double v) {
    double r = std::floor(v * 1000.0 + 0.5) / 1000.0;
    if (!std::isfinite(r)) return std::nullopt;
    if (r == 0) r = 0;  // a negative zero prints "-0" and would split equal keys
    char text[40];
    const auto [end, error] = std::to_chars(text, text + sizeof text, r, std::chars_format::general, 17);
    if (error != std::errc()) return std::nullopt;
    std::string token(text, end);
    token += '|';
    return token;
}

bool isClosed(const PolylineRecord& p) {
    const auto& v = p.vertices;
    return v.size() > 2 && v.front().x == v.back().x && v.front().y == v.back().y;
}

std::optional<std::string> polylineKey(const PolylineRecord& p) {
    const size_t n = p.vertices.size();
    if (n < 2 || p.segmentAngles.size() != n - 1) return std::nullopt;
    std::vector<std::string> xs(n), ys(n), angles(n - 1), negated(n - 1);
    for (size_t i = 0; i < n; ++i) {
        auto x = numberToken(p.vertices[i].x), y = numberToken(p.vertices[i].y);
        if (!x || !y) return std::nullopt;
        xs[i] = std::move(*x);
        ys[i] = std::move(*y);
    }
    // The reversed reading negates each angle before rounding, so an arc on
    // a half thousandth keys the same as the one drawn the other way.
    for (size_t i = 0; i + 1 < n; ++i) {
        auto a = numberToken(p.segmentAngles[i]), b = numberToken(-p.segmentAngles[i]);
        if (!a || !b) return std::nullopt;
        angles[i] = std::move(*a);
        negated[i] = std::move(*b);
    }
    Reading forward{{}, &xs[n - 1], &ys[n - 1]}, backward{{}, &xs[0], &ys[0]};
    forward.steps.reserve(n - 1);
    backward.steps.reserve(n - 1);
    for (size_t i = 0; i + 1 < n; ++i) {
        forward.steps.push_back({&xs[i], &ys[i], &angles[i]});
        backward.steps.push_back({&xs[n - 1 - i], &ys[n - 1 - i], &negated[n - 2 - i]});
    }
    std::string key;
    if (isClosed(p)) {
        // A rotation's key ends with its own start point, so the steps alone
        // order the rotations; the least of either direction is the key.
        const size_t f = leastRotation(forward.steps), b = leastRotation(backward.steps);
        const bool useBackward = compareRotations(backward.steps, b, forward.steps, f) < 0;
        const std::vector<Step>& steps = useBackward ? backward.steps : forward.steps;
        const size_t from = useBackward ? b : f;
        key = "closed:";
        append(key, steps, from, *steps[from].x, *steps[from].y);
        return key;
    }
    auto order = compareRotations(backward.steps, 0, forward.steps, 0);
    if (order == 0) order = std::tie(*backward.endX, *backward.endY) <=> std::tie(*forward.endX, *forward.endY);
    const Reading& r = order < 0 ? backward : forward;
    key = "open:";
    append(key, r.steps, 0, *r.endX, *r.endY);
    return key;
}

std::optional<std::string> textKey(const TextRecord& t) {
    auto x = numberToken(t.location.x), y = numberToken(t.location.y);
    if (!x || !y) return std::nullopt;
    return *x + *y + t.content;
}

}  // namespace kl::cleanup
