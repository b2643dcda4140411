#include "host/core/project.h"

#include "host/core/mesh_record.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>

#include "host/core/body_checks.h"

namespace kl::host {
namespace {

bool finite(const KlCoord& c) { return std::isfinite(c.x) && std::isfinite(c.y); }

template <size_t N>
void copyField(char (&dst)[N], const char (&src)[N]) {
    const size_t len = strnlen(src, N - 1);
    std::memset(dst, 0, N);
    std::memcpy(dst, src, len);
}

// The MIME type that the picture bytes begin as, "" when neither PNG nor JPEG.
std::string_view pictureFormat(const unsigned char* d, size_t n) {
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (n >= 8 && std::memcmp(d, png, 8) == 0) return "image/png";
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return "image/jpeg";
    return {};
}

// A picture is stored only when its bytes are of the format it claims.
bool pictureMatchesType(const KlElement& e, const KlMemo& m) {
    if (!m.data) return false;
    const std::string_view format = pictureFormat(m.data, m.dataBytes);
    return !format.empty() && format == std::string_view(e.picMimeType, strnlen(e.picMimeType, KL_MIME_MAX + 1));
}

// Outline rings: ring ends 1-based, increasing, the last one closing the list.
KlErr copyRings(const KlMemo& m, bool mustClose, size_t minPoints, ElementRecord& out) {
    if (m.nCoords < 0 || m.nRings < 0 || (m.nCoords > 0 && !m.coords) || (m.nRings > 0 && !m.ringEnds))
        return KL_ERR_BADPARS;
    if (static_cast<size_t>(m.nCoords) < minPoints) return KL_ERR_BADPARS;
    out.coords.assign(m.coords, m.coords + m.nCoords);
    for (const auto& c : out.coords)
        if (!finite(c)) return KL_ERR_BADPARS;
    if (m.nRings > 0)
        out.ringEnds.assign(m.ringEnds, m.ringEnds + m.nRings);
    else
        out.ringEnds = {m.nCoords};
    int32_t start = 1;
    for (int32_t end : out.ringEnds) {
        if (end < start + (mustClose ? 3 : 1) || end > m.nCoords) return KL_ERR_BADPARS;
        if (mustClose) {
            const KlCoord& a = out.coords[static_cast<size_t>(start - 1)];
            const KlCoord& b = out.coords[static_cast<size_t>(end - 1)];
            if (a.x != b.x || a.y != b.y) return KL_ERR_BADPARS;
        }
        start = end + 1;
    }
    if (out.ringEnds.back() != m.nCoords) return KL_ERR_BADPARS;
    return KL_NOERROR;
}

// Arcs join two neighbouring vertices of one ring, at most one arc a pair;
// a full turn or more is no arc the host can draw.
KlErr copyArcs(const KlMemo& m, ElementRecord& out) {
    if (m.nArcs < 0 || (m.nArcs > 0 && !m.arcs)) return KL_ERR_BADPARS;
    out.arcs.assign(m.arcs, m.arcs + m.nArcs);
    std::vector<bool> ringStart(out.coords.size() + 2, false);
    for (int32_t end : out.ringEnds) ringStart[static_cast<size_t>(end) + 1] = true;
    std::vector<bool> taken(out.coords.size() + 1, false);
    for (const KlPolyArc& a : out.arcs) {
        if (a.begIndex < 1 || a.endIndex != a.begIndex + 1 || a.endIndex > m.nCoords) return KL_ERR_BADPARS;
        if (ringStart[static_cast<size_t>(a.endIndex)] || taken[static_cast<size_t>(a.begIndex)]) return KL_ERR_BADPARS;
        if (!std::isfinite(a.arcAngle) || a.arcAngle == 0 || std::fabs(a.arcAngle) >= 2 * std::numbers::pi) return KL_ERR_BADPARS;
        taken[static_cast<size_t>(a.begIndex)] = true;
    }
    return KL_NOERROR;
}

}  // namespace

KlGeoLocation normalisedGeo(const KlGeoLocation& in) {
    KlGeoLocation g{};
    g.latitude = in.latitude;
    g.longitude = in.longitude;
    g.altitude = in.altitude;
    g.hasLocation = in.hasLocation;
    g.surveyEasting = in.surveyEasting;
    g.surveyNorthing = in.surveyNorthing;
    g.surveyElevation = in.surveyElevation;
    g.scaleFactor = in.scaleFactor;
    copyField(g.crsName, in.crsName);
    copyField(g.crsDescription, in.crsDescription);
    copyField(g.geodeticDatum, in.geodeticDatum);
    copyField(g.verticalDatum, in.verticalDatum);
    copyField(g.mapProjection, in.mapProjection);
    copyField(g.mapZone, in.mapZone);
    return g;
}

Project::Project() { geo_.scaleFactor = 1.0; }

Project::~Project() {
    for (KlBody* b : bodies_) delete b;
}

KlErr Project::undoableCommand(const char* stepName, KlCommandBody body, void* ctx) {
    if (!body) return KL_ERR_BADPARS;
    const size_t mark = journal_.open(stepName ? stepName : "");
    KlErr result = KL_NOERROR;
    try {
        result = body(ctx);
    } catch (...) {
        result = KL_ERR_CANCEL;
    }
    journal_.close(mark, result == KL_NOERROR, *this);
    return result;
}

void Project::apply(const Change& change, bool forwards) {
    if (auto* e = std::get_if<ElementChange>(&change)) {
        const ElementPtr& target = forwards ? e->after : e->before;
        if (target)
            elements_.put(e->seq, target);
        else
            elements_.erase(e->seq);
    } else if (auto* a = std::get_if<AttributeAppend>(&change)) {
        if (forwards)
            attributes_.append(a->attribute);
        else
            attributes_.removeLast(a->attribute.type);
    } else if (auto* g = std::get_if<GeoChange>(&change)) {
        geo_ = forwards ? g->after : g->before;
    }
}

KlErr Project::createAttribute(KlAttribute* attr) {
    if (!attr) return KL_ERR_BADPARS;
    if (!journal_.recording()) return KL_ERR_REFUSED;
    Attribute created;
    KlErr err = attributes_.validateNew(*attr, created);
    if (err != KL_NOERROR) return err;
    attributes_.append(created);
    journal_.record(AttributeAppend{created});
    attr->index = created.index;
    return KL_NOERROR;
}

KlErr Project::listAttributes(int32_t type, KlAttributeVisitor visitor, void* ctx) const {
    if (!visitor || !validAttributeType(type)) return KL_ERR_BADPARS;
    for (const auto& a : attributes_.list(type)) {
        const KlAttribute r = toRecord(a);
        visitor(ctx, &r);
    }
    return KL_NOERROR;
}

KlErr Project::elementDefaults(KlElement* element, KlMemo* memo) {
    if (!element) return KL_ERR_BADPARS;
    const int32_t type = element->type;
    if (type < KL_ELEM_POLYLINE || type > KL_ELEM_MORPH) return KL_ERR_BADPARS;
    *element = KlElement{};
    element->type = type;
    element->layer = 1;
    element->pen = 1;
    switch (type) {
        case KL_ELEM_HATCH:
            element->fillIndex = 1;
            element->fillPen = 1;
            break;
        case KL_ELEM_TEXT:
            element->textSizeMm = 2.5;
            element->textAnchor = 1;
            break;
        case KL_ELEM_MESH:
            element->skirtLevel = 1.0;
            element->material = 1;
            break;
        case KL_ELEM_SLAB:
            element->thickness = 0.3;
            element->material = 1;
            break;
        case KL_ELEM_MORPH: element->material = 1; break;
        default: break;
    }
    if (memo) return memos_.allocate(memo, KlMemoSizes{});
    return KL_NOERROR;
}

KlErr Project::validateGeometry(const KlElement& e, const KlMemo* memo, ElementRecord& out) const {
    if (!memo) return KL_ERR_BADPARS;
    const KlMemo& m = *memo;
    auto materialOk = [&](int32_t attrType) {
        return e.material == 0 || attributes_.find(attrType, e.material) != nullptr;
    };
    switch (e.type) {
        case KL_ELEM_POLYLINE:
            if (KlErr err = copyRings(m, false, 2, out); err != KL_NOERROR) return err;
            return copyArcs(m, out);
        case KL_ELEM_HATCH:
            if (!attributes_.find(KL_ATTR_FILL, e.fillIndex)) return KL_ERR_BADINDEX;
            return copyRings(m, true, 4, out);
        case KL_ELEM_SLAB:
            if (!materialOk(KL_ATTR_BUILDINGMATERIAL) || !(e.thickness > 0)) return KL_ERR_BADPARS;
            return copyRings(m, true, 4, out);
        case KL_ELEM_MESH: {
            if (!materialOk(KL_ATTR_SURFACE)) return KL_ERR_BADINDEX;
            if (KlErr err = copyRings(m, true, 4, out); err != KL_NOERROR) return err;
            return copyMeshLevels(m, out);
        }
        case KL_ELEM_TEXT: {
            if (!m.text) return KL_ERR_BADPARS;
            const size_t len = m.textBytes > 0 ? strnlen(m.text, m.textBytes) : std::strlen(m.text);
            if (len == 0 || !finite(e.textLoc) || !(e.textSizeMm > 0) || e.textAnchor < 1 || e.textAnchor > 9)
                return KL_ERR_BADPARS;
            out.text.assign(m.text, len);
            return KL_NOERROR;
        }
        case KL_ELEM_PICTURE:
            if (!pictureMatchesType(e, m) || !finite(e.picOrigin) || !(e.picWidth > 0) || !(e.picHeight > 0) ||
                !std::isfinite(e.picAngleRad))
                return KL_ERR_BADPARS;
            out.data.assign(m.data, m.data + m.dataBytes);
            return KL_NOERROR;
        case KL_ELEM_MORPH: {
            if (!materialOk(KL_ATTR_SURFACE)) return KL_ERR_BADINDEX;
            const MemoToken* token = memos_.tokenOf(memo);
            if (token && token->body) {
                out.body = token->body;
            } else if (KlBody* b = liveBody(m.body); b && b->finished) {
                out.body = std::make_shared<MorphBody>(b->body);
            } else {
                return KL_ERR_BADPARS;
            }
            return KL_NOERROR;
        }
        default: return KL_ERR_BADPARS;
    }
}

KlErr Project::createElement(KlElement* element, const KlMemo* memo, const KlGuid* keepGuid) {
    if (!element) return KL_ERR_BADPARS;
    if (!journal_.recording()) return KL_ERR_REFUSED;
    if (element->type < KL_ELEM_POLYLINE || element->type > KL_ELEM_MORPH) return KL_ERR_BADPARS;
    if (!attributes_.find(KL_ATTR_LAYER, element->layer)) return KL_ERR_BADINDEX;
    if (element->pen < 1 || element->pen > 255) return KL_ERR_BADPARS;
    auto record = std::make_shared<ElementRecord>();
    if (KlErr err = validateGeometry(*element, memo, *record); err != KL_NOERROR) return err;
    if (keepGuid && (isNullGuid(*keepGuid) || elements_.find(*keepGuid))) return KL_ERR_BADID;
    KlGuid guid;
    if (keepGuid)
        guid = *keepGuid;
    else
        do guid = randomGuid();
        while (elements_.find(guid));
    record->element = *element;
    record->element.guid = guid;
    const uint64_t seq = elements_.takeSeq();
    elements_.put(seq, record);
    journal_.record(ElementChange{seq, nullptr, record});
    element->guid = guid;
    return KL_NOERROR;
}

KlErr Project::getElement(KlElement* element) const {
    if (!element) return KL_ERR_BADPARS;
    const ElementRecord* r = elements_.find(element->guid);
    if (!r) return KL_ERR_BADID;
    *element = r->element;
    return KL_NOERROR;
}

KlErr Project::getElementMemo(const KlGuid* guid, KlMemo* memo, int32_t mask) {
    if (!guid || !memo) return KL_ERR_BADPARS;
    const ElementRecord* r = elements_.find(*guid);
    if (!r) return KL_ERR_BADID;
    return memos_.fillFrom(memo, *r, mask);
}

KlErr Project::setInfoString(const KlGuid* guid, const char* text) {
    if (!guid || !text) return KL_ERR_BADPARS;
    if (!journal_.recording()) return KL_ERR_REFUSED;
    auto seq = elements_.seqOf(*guid);
    if (!seq) return KL_ERR_BADID;
    ElementPtr before = elements_.at(*seq);
    auto after = std::make_shared<ElementRecord>(*before);
    after->infoString = text;
    elements_.put(*seq, after);
    journal_.record(ElementChange{*seq, before, after});
    return KL_NOERROR;
}

KlErr Project::listElements(int32_t type, int32_t filter, KlGuidVisitor visitor, void* ctx) const {
    if (!visitor || type < 0 || type > KL_ELEM_MORPH) return KL_ERR_BADPARS;
    // the visitor may change nothing here, but copy first so it cannot trip the loop
    std::vector<std::pair<KlGuid, int32_t>> hits;
    for (const auto& [seq, r] : elements_.all()) {
        const KlElement& e = r->element;
        if (type != 0 && e.type != type) continue;
        const Attribute* layer = attributes_.find(KL_ATTR_LAYER, e.layer);
        const int32_t layerFlags = layer ? layer->flags : 0;
        if ((filter & KL_FILTER_EDITABLE) && (layerFlags & 2)) continue;
        if ((filter & KL_FILTER_ON_VISIBLE_LAYER) && (layerFlags & 1)) continue;
        hits.emplace_back(e.guid, e.type);
    }
    for (const auto& [g, t] : hits) visitor(ctx, &g, t);
    return KL_NOERROR;
}

KlErr Project::deleteElements(const KlGuid* guids, int32_t count) {
    if (count < 0 || (count > 0 && !guids)) return KL_ERR_BADPARS;
    if (!journal_.recording()) return KL_ERR_REFUSED;
    // Every element is checked before the first goes, so a refusal deletes nothing.
    std::vector<uint64_t> seqs;
    for (int32_t i = 0; i < count; ++i) {
        auto seq = elements_.seqOf(guids[i]);
        if (!seq) return KL_ERR_BADID;
        const Attribute* layer = attributes_.find(KL_ATTR_LAYER, elements_.at(*seq)->element.layer);
        if (layer && (layer->flags & 2)) return KL_ERR_NOTEDITABLE;
        seqs.push_back(*seq);
    }
    for (uint64_t seq : seqs) {
        ElementPtr before = elements_.at(seq);
        if (!before) continue;  // the same GUID twice in the list
        elements_.erase(seq);
        journal_.record(ElementChange{seq, before, nullptr});
    }
    return KL_NOERROR;
}

KlErr Project::visitSelection(KlGuidVisitor visitor, void* ctx) const {
    if (!visitor) return KL_ERR_BADPARS;
    std::vector<std::pair<KlGuid, int32_t>> hits;
    for (const auto& g : selection_)
        if (const ElementRecord* r = elements_.find(g)) hits.emplace_back(g, r->element.type);
    for (const auto& [g, t] : hits) visitor(ctx, &g, t);
    return KL_NOERROR;
}

KlErr Project::bodyCreate(KlBodyRef* body) {
    if (!body) return KL_ERR_BADPARS;
    auto* b = new KlBody();
    bodies_.insert(b);
    *body = b;
    return KL_NOERROR;
}

KlBody* Project::liveBody(KlBodyRef body) const {
    return body && bodies_.count(body) ? body : nullptr;
}

KlErr Project::bodyFinish(KlBodyRef body, KlMemo* memo) {
    KlBody* b = liveBody(body);
    if (!b || !memo) return KL_ERR_BADPARS;
    if (b->body.polygons.empty()) return KL_ERR_BADPARS;
    if (KlErr err = checkSharedTopology(b->body); err != KL_NOERROR) return err;
    b->finished = true;
    return memos_.attachBody(memo, body, std::make_shared<MorphBody>(b->body));
}

KlErr Project::bodyDispose(KlBodyRef* body) {
    if (!body) return KL_ERR_BADPARS;
    KlBody* b = liveBody(*body);
    if (!b) return KL_ERR_BADID;
    bodies_.erase(b);
    delete b;
    *body = nullptr;
    return KL_NOERROR;
}

KlErr Project::setGeoLocation(const KlGeoLocation& location) {
    const KlGeoLocation next = normalisedGeo(location);
    if (!std::isfinite(next.latitude) || !std::isfinite(next.longitude) || !std::isfinite(next.surveyEasting) ||
        !std::isfinite(next.surveyNorthing) || !std::isfinite(next.surveyElevation) || !(next.scaleFactor > 0))
        return KL_ERR_BADPARS;
    journal_.record(GeoChange{geo_, next});
    geo_ = next;
    return KL_NOERROR;
}

}  // namespace kl::host
