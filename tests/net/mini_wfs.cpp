#include "tests/net/mini_wfs.h"

#include "geodata/polish_crs.h"
#include "net/url_text.h"
#include "tests/support/c_number.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace kl::test {
namespace {

const char* kException =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\" "
    "version=\"2.0.0\"><ows:Exception exceptionCode=\"InvalidParameterValue\"><ows:ExceptionText>nope"
    "</ows:ExceptionText></ows:Exception></ows:ExceptionReport>";

}  // namespace

std::vector<geo::Point2d> squareRing(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

MiniWfs::MiniWfs(FaultServer& server, std::string path, std::string typeName, std::vector<MiniFeature> features,
                 MiniWfsBehaviour behaviour)
    : server_(server),
      path_(std::move(path)),
      typeName_(std::move(typeName)),
      features_(std::move(features)),
      behaviour_(behaviour) {
    server_.on(path_, [this](const httplib::Request& rq, httplib::Response& rs) { answer(rq, rs); });
}

std::vector<std::map<std::string, std::string>> MiniWfs::requests() {
    std::lock_guard lock(mutex_);
    return log_;
}

void MiniWfs::answer(const httplib::Request& rq, httplib::Response& rs) {
    std::map<std::string, std::string> q;
    for (const auto& [k, v] : rq.params) q[net::lowerAscii(k)] = v;
    {
        std::lock_guard lock(mutex_);
        log_.push_back(q);
    }
    auto fail = [&] {
        rs.status = 400;
        rs.set_content(kException, "application/xml");
    };
    if (q["request"] == "GetCapabilities") {
        rs.set_content(capabilities_, "application/xml");
        return;
    }
    const bool v110 = q["version"] == "1.1.0";
    if (behaviour_.only110 && !v110) return fail();
    const std::string requested = v110 ? q["typename"] : q["typenames"];
    if (requested != typeName_) return fail();
    const bool hits = q["resulttype"] == "hits";

    int srs = 2180;
    if (q.count("srsname")) {
        const std::string s = q["srsname"];
        srs = std::stoi(s.substr(s.rfind(':') + 1));
    } else if (behaviour_.onlyPl2000 && !hits) {
        srs = -1;  // answers nothing useful
    }

    std::vector<const MiniFeature*> matching;
    if (q.count("bbox")) {
        double v[4] = {0, 0, 0, 0};
        std::stringstream ss(q["bbox"]);
        std::string part;
        for (int i = 0; i < 4 && std::getline(ss, part, ','); ++i)
            std::from_chars(part.data(), part.data() + part.size(), v[i]);
        geo::Bbox box = behaviour_.boxEastingFirst ? geo::Bbox{v[0], v[1], v[2], v[3]}
                                                   : geo::Bbox{v[1], v[0], v[3], v[2]};
        for (const auto& f : features_) {
            std::vector<geo::Point2d> pts = f.ring.empty() ? std::vector<geo::Point2d>{f.point} : f.ring;
            if (geo::isPl2000Epsg(srs))
                for (auto& p : pts) p = geo::pl1992ToPl2000(p.x, p.y, srs);
            const auto [left, right] = std::ranges::minmax_element(pts, {}, &geo::Point2d::x);
            const auto [low, high] = std::ranges::minmax_element(pts, {}, &geo::Point2d::y);
            if (srs != -1 && left->x <= box.maxX && right->x >= box.minX && low->y <= box.maxY && high->y >= box.minY)
                matching.push_back(&f);
        }
    } else if (srs != -1) {
        for (const auto& f : features_) matching.push_back(&f);
    }

    const std::size_t start =
        q.count("startindex") && !behaviour_.ignoresStartIndex ? std::stoul(q["startindex"]) : 0;
    if (start > 0 && behaviour_.refusesPaging) return fail();
    std::size_t count = v110 ? std::stoul(q.count("maxfeatures") ? q["maxfeatures"] : "1000000")
                             : std::stoul(q.count("count") ? q["count"] : "1000000");
    if (behaviour_.cap > 0) count = std::min<std::size_t>(count, static_cast<std::size_t>(behaviour_.cap));
    const std::size_t end = hits ? start : std::min(matching.size(), start + count);

    const int outSrs = geo::isPl2000Epsg(srs) ? srs : 2180;
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (v110) {
        x << "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs\" xmlns:gml=\"http://www.opengis.net/gml\" "
             "xmlns:ms=\"http://mapserver.gis.umn.edu/mapserver\" numberOfFeatures=\""
          << (end > start ? end - start : 0) << "\">\n";
    } else {
        x << "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
             "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"http://mapserver.gis.umn.edu/mapserver\"";
        if (behaviour_.withNumberMatched) x << " numberMatched=\"" << matching.size() << "\"";
        else x << " numberMatched=\"unknown\"";
        x << " numberReturned=\"" << (end > start ? end - start : 0) << "\">\n";
    }
    const std::string member = v110 ? "gml:featureMember" : "wfs:member";
    const std::string local = typeName_.substr(typeName_.find(':') + 1);
    for (std::size_t i = start; i < end; ++i) {
        const MiniFeature& f = *matching[i];
        x << "<" << member << "><ms:" << local;
        if (!f.id.empty()) x << " gml:id=\"" << f.id << "\"";
        x << "><ms:msGeometry>";
        auto pos = [&](geo::Point2d p) {
            if (geo::isPl2000Epsg(outSrs)) p = geo::pl1992ToPl2000(p.x, p.y, outSrs);
            // northing first, as the urn form says
            return cNumber(p.y, std::chars_format::fixed, 3) + " " + cNumber(p.x, std::chars_format::fixed, 3);
        };
        const std::string srsName = "urn:ogc:def:crs:EPSG::" + std::to_string(outSrs);
        if (f.ring.empty()) {
            x << "<gml:Point srsName=\"" << srsName << "\"><gml:pos>" << pos(f.point) << "</gml:pos></gml:Point>";
        } else {
            x << "<gml:Polygon srsName=\"" << srsName << "\"><gml:exterior><gml:LinearRing><gml:posList>";
            for (std::size_t k = 0; k < f.ring.size(); ++k) x << (k ? " " : "") << pos(f.ring[k]);
            x << "</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon>";
        }
        x << "</ms:msGeometry>";
        if (!f.teryt.empty()) x << "<ms:JPT_KOD_JE>" << f.teryt << "</ms:JPT_KOD_JE>";
        x << "<ms:NAZWA>obiekt " << f.id << "</ms:NAZWA></ms:" << local << "></" << member << ">\n";
    }
    x << "</wfs:FeatureCollection>\n";
    rs.set_content(x.str(), "text/xml; subtype=gml/3.2.1");
}

}  // namespace kl::test
