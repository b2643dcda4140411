#include "cleanup/element_keys.h"

#include <charconv>
#include <cmath>
#include <compare>
#include <string_view>
#include <tuple>
#include <vector>

#include "cleanup/least_rotation.h"

namespace kl::cleanup {
namespace {

// Appends v rounded and printed with its '|'; false for a value not finite.
bool appendNumber(double v, std::string& out) {
    const double r = std::floor(v * 1000.0 + 0.5) / 1000.0;
    if (!std::isfinite(r)) return false;
    // Straight segments make zero the commonest number; a negative zero
    // would print "-0" and split equal keys.
    if (r == 0) {
        out += "0|";
        return true;
    }
    char text[40];
    const auto [end, error] = std::to_chars(text, text + sizeof text, r, std::chars_format::general, 17);
    if (error != std::errc()) return false;
    out.append(text, end);
    out += '|';
    return true;
}

// A segment's share of a key: where it starts and its angle. Tokens end in
// '|', which sorts after every character a number prints with, so no token
// is the beginning of another and comparing tokens one by one orders the
// keys as their bytes do.
struct Step {
    std::string_view x, y, angle;
    auto operator<=>(const Step&) const = default;
};

// One direction of a polyline: its steps, and the point its last step ends at.
struct Reading {
    std::vector<Step> steps;
    std::string_view endX, endY;
};

// The tokens of one polyline side by side in one buffer, so that a long
// outline costs one allocation, not one per number.
class Tokens {
public:
    explicit Tokens(size_t count) {
        text_.reserve(count * 8);
        ends_.reserve(count);
    }
    bool add(double v) {
        if (!appendNumber(v, text_)) return false;
        ends_.push_back(text_.size());
        return true;
    }
    // Valid once every token is in.
    std::string_view operator[](size_t i) const {
        const size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }

private:
    std::string text_;
    std::vector<size_t> ends_;
};

// The key text of the steps from `from` on, wrapping round, then the end
// point (for a rotation, the start of its first step).
void append(std::string& key, const std::vector<Step>& steps, size_t from, std::string_view endX,
            std::string_view endY) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[(from + i) % steps.size()];
        key += s.x;
        key += s.y;
        key += s.angle;
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
    std::string token;
    if (!appendNumber(v, token)) return std::nullopt;
    return token;
}

bool isClosed(const PolylineRecord& p) {
    const auto& v = p.vertices;
    return v.size() > 2 && v.front().x == v.back().x && v.front().y == v.back().y;
}

std::optional<std::string> polylineKey(const PolylineRecord& p) {
    const size_t n = p.vertices.size();
    if (n < 2 || p.segmentAngles.size() != n - 1) return std::nullopt;
    // Per vertex its x and y; per segment its angle and the negated angle.
    // The reversed reading negates before rounding, so an arc on a half
    // thousandth keys the same as the one drawn the other way.
    Tokens tokens(4 * n);
    for (size_t i = 0; i < n; ++i) {
        if (!tokens.add(p.vertices[i].x) || !tokens.add(p.vertices[i].y)) return std::nullopt;
        if (i + 1 < n && (!tokens.add(p.segmentAngles[i]) || !tokens.add(-p.segmentAngles[i]))) return std::nullopt;
    }
    auto x = [&](size_t i) { return tokens[4 * i]; };
    auto y = [&](size_t i) { return tokens[4 * i + 1]; };
    auto angle = [&](size_t i) { return tokens[4 * i + 2]; };
    auto negated = [&](size_t i) { return tokens[4 * i + 3]; };
    Reading forward{{}, x(n - 1), y(n - 1)}, backward{{}, x(0), y(0)};
    forward.steps.reserve(n - 1);
    backward.steps.reserve(n - 1);
    for (size_t i = 0; i + 1 < n; ++i) {
        forward.steps.push_back({x(i), y(i), angle(i)});
        backward.steps.push_back({x(n - 1 - i), y(n - 1 - i), negated(n - 2 - i)});
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
        append(key, steps, from, steps[from].x, steps[from].y);
        return key;
    }
    auto order = compareRotations(backward.steps, 0, forward.steps, 0);
    if (order == 0) order = std::tie(backward.endX, backward.endY) <=> std::tie(forward.endX, forward.endY);
    const Reading& r = order < 0 ? backward : forward;
    key = "open:";
    append(key, r.steps, 0, r.endX, r.endY);
    return key;
}

std::optional<std::string> textKey(const TextRecord& t) {
    auto x = numberToken(t.location.x), y = numberToken(t.location.y);
    if (!x || !y) return std::nullopt;
    return *x + *y + t.content;
}

}  // namespace kl::cleanup
