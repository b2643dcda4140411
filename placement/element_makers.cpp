#include "placement/element_makers.h"

#include <cstring>
#include <functional>
#include <string>

#include "placement/host_memo.h"
#include "base/host_access.h"

namespace kl::placement {

KlErr createElement(int32_t type, const std::function<void(KlElement&)>& set, const std::vector<Points>& rings,
                    std::string_view text, std::string_view data, KlGuid* guid) {
    KlElement e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    HostMemo memo;
    KlErr err = host()->GetElementDefaults(&e, memo.get());
    if (err != KL_NOERROR) return err;
    set(e);
    KlMemoSizes sizes{};
    for (const auto& r : rings) sizes.nCoords += static_cast<int32_t>(r.size());
    sizes.nRings = static_cast<int32_t>(rings.size());
    sizes.textBytes = text.size();
    sizes.dataBytes = data.size();
    err = host()->MemoAllocate(memo.get(), &sizes);
    if (err != KL_NOERROR) return err;
    if (!data.empty()) {
        if (!memo.get()->data || memo.get()->dataBytes != data.size()) return KL_ERR_MEMFULL;
        std::memcpy(memo.get()->data, data.data(), data.size());
    }
    int32_t at = 0;
    for (size_t i = 0; i < rings.size(); ++i) {
        for (const auto& p : rings[i]) memo.get()->coords[at++] = {p.x, p.y};
        memo.get()->ringEnds[i] = at;
    }
    if (!text.empty()) {
        std::memcpy(memo.get()->text, text.data(), text.size());
        memo.get()->text[text.size()] = '\0';
    }
    err = host()->CreateElement(&e, memo.get());
    if (err == KL_NOERROR && guid) *guid = e.guid;
    return err;
}

namespace {

KlErr makeHatch(const Points& outer, const std::vector<Points>& holes, int32_t layer, int32_t pen, int32_t fillIndex,
                Rgb colour) {
    if (outer.size() < 3) return KL_NOERROR;
    std::vector<Points> rings;
    rings.reserve(holes.size() + 1);
    rings.push_back(closedRing(outer));
    for (const auto& h : holes) rings.push_back(closedRing(h));
    return createElement(
        KL_ELEM_HATCH,
        [&](KlElement& e) {
            e.layer = layer;
            e.pen = pen;
            e.fillIndex = fillIndex;
            e.fillPen = pen;
            e.backgroundPen = 0;
            if (colour.set()) {
                e.hasFillColour = 1;
                e.fillRed = colour.r / 255.0;
                e.fillGreen = colour.g / 255.0;
                e.fillBlue = colour.b / 255.0;
            }
        },
        rings);
}

}  // namespace

Points closedRing(Points ring) {
    if (!ring.empty() && (ring.back().x != ring.front().x || ring.back().y != ring.front().y)) ring.push_back(ring.front());
    return ring;
}

KlErr makePolyline(const Points& points, int32_t layer, int32_t pen) {
    if (points.size() < 2) return KL_NOERROR;
    return createElement(
        KL_ELEM_POLYLINE,
        [&](KlElement& e) {
            e.layer = layer;
            e.pen = pen;
        },
        {points});
}

KlErr makeSolidFill(FillPatterns& fills, const Points& outer, const std::vector<Points>& holes, int32_t layer,
                    int32_t pen, Rgb colour) {
    if (outer.size() < 3) return KL_NOERROR;
    return makeHatch(outer, holes, layer, pen, fills.solid(), colour);
}

KlErr makeNamedHatch(FillPatterns& fills, const Points& outer, const std::vector<Points>& holes, int32_t layer,
                     int32_t pen, std::string_view patternName, Rgb colour) {
    if (outer.size() < 3) return KL_NOERROR;
    return makeHatch(outer, holes, layer, pen, fills.vector(patternName), colour);
}

KlErr makeText(geo::Point2d anchor, std::string_view text, int32_t layer, int32_t pen, double size, double angle) {
    if (text.empty()) return KL_NOERROR;
    return createElement(
        KL_ELEM_TEXT,
        [&](KlElement& e) {
            e.layer = layer;
            e.pen = pen;
            e.textLoc = {anchor.x, anchor.y};
            e.textSizeMm = size;
            if (!std::isnan(angle)) e.textAngleRad = angle;
            e.textAnchor = 4;
            e.textFlags = 3;
        },
        {}, text);
}

KlErr makePicture(const PictureBox& box, std::string_view mimeType, std::string_view bytes, int32_t layer) {
    if (bytes.empty()) return KL_NOERROR;
    return createElement(
        KL_ELEM_PICTURE,
        [&](KlElement& e) {
            e.layer = layer;
            e.picOrigin = {box.origin.x, box.origin.y};
            e.picWidth = box.width;
            e.picHeight = box.height;
            e.picAngleRad = box.angle;
            std::memcpy(e.picMimeType, mimeType.data(), std::min<size_t>(mimeType.size(), KL_MIME_MAX));
        },
        {}, {}, bytes);
}

}  // namespace kl::placement
