#include "tools/geoportal/model_packages.h"

#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/model_buildings.h"
#include "tools/geoportal/text_util.h"
#include "tools/geoportal/zip_writer.h"

#include <algorithm>
#include <limits>

namespace kl::geoportal {

namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<core:CityModel xmlns:core=\"http://www.opengis.net/citygml/2.0\""
    " xmlns:bldg=\"http://www.opengis.net/citygml/building/2.0\" xmlns:gml=\"http://www.opengis.net/gml\""
    " xmlns:xlink=\"http://www.w3.org/1999/xlink\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"http://www.opengis.net/citygml/building/2.0"
    " http://schemas.opengis.net/citygml/building/2.0/building.xsd\">\n";

std::string coordinate(double v) { return formatFixed(v, 2); }

std::string point(const Xyz& p) { return coordinate(p.x) + " " + coordinate(p.y) + " " + coordinate(p.z); }

// posList, or one pos per point; both closed as GML wants.
std::string linearRing(const std::vector<Xyz>& ring, bool asPos) {
    std::string out = "<gml:LinearRing>";
    std::vector<Xyz> closed = ring;
    closed.push_back(ring.front());
    if (asPos) {
        for (const Xyz& p : closed) out += "<gml:pos>" + point(p) + "</gml:pos>";
    } else {
        out += "<gml:posList srsDimension=\"3\">";
        for (size_t i = 0; i < closed.size(); ++i) out += (i ? " " : "") + point(closed[i]);
        out += "</gml:posList>";
    }
    return out + "</gml:LinearRing>";
}

std::string polygon(const ModelFace& face, const std::string& id, bool asPos) {
    std::string out = "<gml:Polygon gml:id=\"" + xmlEscape(id) + "\"><gml:exterior>" +
                      linearRing(face.exterior, asPos) + "</gml:exterior>";
    for (const auto& hole : face.holes) out += "<gml:interior>" + linearRing(hole, asPos) + "</gml:interior>";
    return out + "</gml:Polygon>";
}

std::string heightElement(double height) {
    return "<bldg:measuredHeight uom=\"m\">" + formatFixed(height, 2) + "</bldg:measuredHeight>\n";
}

// The geometry and heights of a building, either on the Building itself or on its one part.
std::string wrapped(const ModelBuilding& b, const std::string& attributes, const std::string& geometry) {
    const std::string id = xmlEscape(b.id);
    if (!b.inPart)
        return "<core:cityObjectMember><bldg:Building gml:id=\"" + id + "\">\n" + attributes + geometry +
               "</bldg:Building></core:cityObjectMember>\n";
    return "<core:cityObjectMember><bldg:Building gml:id=\"" + id +
           "\">\n<bldg:consistsOfBuildingPart><bldg:BuildingPart gml:id=\"" + id + "_P1\">\n" + attributes +
           geometry + "</bldg:BuildingPart></bldg:consistsOfBuildingPart>\n</bldg:Building></core:cityObjectMember>\n";
}

std::string lod1Member(const ModelBuilding& b) {
    std::string geometry = "<bldg:lod1Solid><gml:Solid><gml:exterior><gml:CompositeSurface>\n";
    for (size_t i = 0; i < b.lod1.size(); ++i)
        geometry += "<gml:surfaceMember>" + polygon(b.lod1[i], b.id + "_L1_" + formatInt(static_cast<long long>(i)), false) +
                    "</gml:surfaceMember>\n";
    geometry += "</gml:CompositeSurface></gml:exterior></gml:Solid></bldg:lod1Solid>\n";
    return wrapped(b, heightElement(b.height), geometry);
}

const char* surfaceName(ModelSurface s) {
    switch (s) {
        case ModelSurface::Ground: return "GroundSurface";
        case ModelSurface::Wall: return "WallSurface";
        case ModelSurface::Roof: return "RoofSurface";
    }
    return "WallSurface";
}

std::string lod2Member(const ModelBuilding& b, bool asPos) {
    std::string geometry;
    for (size_t i = 0; i < b.lod2.size(); ++i) {
        const std::string name = surfaceName(b.lod2[i].surface);
        const std::string faceId = b.id + "_L2_" + formatInt(static_cast<long long>(i));
        geometry += "<bldg:boundedBy><bldg:" + name + " gml:id=\"" + xmlEscape(faceId) +
                    "_S\"><bldg:lod2MultiSurface><gml:MultiSurface><gml:surfaceMember>" +
                    polygon(b.lod2[i], faceId, asPos) +
                    "</gml:surfaceMember></gml:MultiSurface></bldg:lod2MultiSurface></bldg:" + name +
                    "></bldg:boundedBy>\n";
    }
    const std::string attributes = "<bldg:roofType>" + formatInt(b.roofType) + "</bldg:roofType>\n" +
                                   heightElement(b.height);
    return wrapped(b, attributes, geometry);
}

// What a producer writes before the extent when it documents a sheet at
// length: enough to push the Envelope past the first 8 KB.
std::string longDescription(const std::string& entry) {
    std::string text = "Arkusz " + entry + ". Zrodla danych:";
    for (int i = 1; text.size() < 9000; ++i)
        text += " obrys budynku z ewidencji gruntow i budynkow (EGiB), wysokosc z chmury punktow LiDAR, pomiar " +
                formatInt(i) + ";";
    return "<gml:description>" + text + "</gml:description>\n";
}

std::string sheetText(const std::string& entry, const std::string& members, const Box& box, double zMin, double zMax,
                      bool late) {
    std::string out = kHeader;
    if (late) out += longDescription(entry);
    out += "<gml:boundedBy><gml:Envelope srsName=\"EPSG:2180\" srsDimension=\"3\"><gml:lowerCorner>" +
           coordinate(box.minX) + " " + coordinate(box.minY) + " " + coordinate(zMin) + "</gml:lowerCorner><gml:upperCorner>" +
           coordinate(box.maxX) + " " + coordinate(box.maxY) + " " + coordinate(zMax) +
           "</gml:upperCorner></gml:Envelope></gml:boundedBy>\n";
    return out + members + "</core:CityModel>\n";
}

ModelPackages build() {
    ModelPackages out;
    const std::vector<ModelBuilding> buildings = demoModelBuildings(DemoArea::instance());
    for (const ModelBuilding& b : buildings) {
        if (b.inPart) out.partBuildingId = b.id;
        if (out.courtyardBuildingId.empty() && !b.lod2.empty() && !b.lod2.front().holes.empty())
            out.courtyardBuildingId = b.id;
    }
    std::vector<std::pair<std::string, std::string>> lod1Entries, lod2Entries{{std::string(demo::kLod2Folder), {}}};
    size_t buildingNumber = 0;
    for (const LidarSheet& sheet : lidarSheets(demo::kModelSheetMetres)) {
        ModelSheet s;
        s.entry = sheet.godlo + ".gml";
        s.bounds = sheet.bounds;
        Box content = Box::empty();
        double zMin = std::numeric_limits<double>::infinity(), zMax = -zMin;
        std::string lod1, lod2;
        for (const ModelBuilding& b : buildings) {
            const Xy c = b.centre;
            if (c.x < sheet.bounds.minX || c.x >= sheet.bounds.maxX || c.y < sheet.bounds.minY || c.y >= sheet.bounds.maxY)
                continue;
            s.ids.push_back(b.id);
            for (const ModelFace& f : b.lod1)
                for (const Xyz& p : f.exterior) content.include({p.x, p.y});
            zMin = std::min(zMin, b.ground);
            zMax = std::max(zMax, b.ground + b.height);
            lod1 += lod1Member(b);
            lod2 += lod2Member(b, buildingNumber++ % 2 == 1);
        }
        if (s.ids.empty()) continue;
        s.envelopeLate = out.sheets.size() == 1;
        s.lod1 = sheetText(s.entry, lod1, content, zMin, zMax, s.envelopeLate);
        s.lod2 = sheetText(s.entry, lod2, content, zMin, zMax, s.envelopeLate);
        lod1Entries.emplace_back(s.entry, s.lod1);
        lod2Entries.emplace_back(std::string(demo::kLod2Folder) + s.entry, s.lod2);
        out.sheets.push_back(std::move(s));
    }
    out.lod1Zip = zipArchive(lod1Entries);
    out.lod2Zip = zipArchive(lod2Entries);
    return out;
}

}  // namespace

const ModelPackages& demoModelPackages() {
    static const ModelPackages packages = build();
    return packages;
}

}  // namespace kl::geoportal
