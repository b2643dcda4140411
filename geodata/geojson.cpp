#include "geodata/geojson.h"

#include <cmath>
#include <sstream>

#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

// Writes the collection as compact JSON text in the very form nlohmann::json's
// dump() gives a tree of it (keys in order, the same number text), through a
// buffer that goes to the stream in blocks, so no tree and no whole text is held.
class GeoJsonWriter {
 public:
  GeoJsonWriter(std::ostream& out, GeoJsonCoordinates coordinates) : out_(out), coordinates_(coordinates) {
    buffer_.reserve(kBlock + 256);
  }
  ~GeoJsonWriter() { flush(); }

  void collection(const std::vector<GisFeature>& features) {
    text("{");
    if (coordinates_ == GeoJsonCoordinates::Pl1992) {
      text(R"("crs":{"properties":{"name":"urn:ogc:def:crs:EPSG::2180"},"type":"name"},)");
    }
    text(R"("features":[)");
    for (std::size_t i = 0; i < features.size(); ++i) {
      if (i > 0) text(",");
      feature(features[i]);
    }
    text(R"(],"type":"FeatureCollection"})");
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;

  void text(std::string_view s) {
    buffer_.append(s);
    if (buffer_.size() >= kBlock) flush();
  }
  void flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

  void string(std::string_view s) {
    buffer_ += '"';
    for (const char c : s) {
      switch (c) {
        case '"': buffer_ += "\\\""; break;
        case '\\': buffer_ += "\\\\"; break;
        case '\b': buffer_ += "\\b"; break;
        case '\f': buffer_ += "\\f"; break;
        case '\n': buffer_ += "\\n"; break;
        case '\r': buffer_ += "\\r"; break;
        case '\t': buffer_ += "\\t"; break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            buffer_ += "\\u00";
            buffer_ += kHex[(c >> 4) & 0xF];
            buffer_ += kHex[c & 0xF];
          } else {
            buffer_ += c;
          }
      }
    }
    buffer_ += '"';
  }

  void number(double v) {
    if (!std::isfinite(v)) {
      buffer_ += "null";
      return;
    }
    char digits[64];
    // The library's own shortest form, so the text reads back to the same double
    // and matches what a dump() of the value prints, whatever the locale.
    const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, v);
    buffer_.append(digits, static_cast<std::size_t>(end - digits));
  }

  void position(const Point2d& p) {
    buffer_ += '[';
    if (coordinates_ == GeoJsonCoordinates::Pl1992) {
      number(p.x);
      buffer_ += ',';
      number(p.y);
    } else {
      const LatLon g = pl1992ToWgs84(p.x, p.y);
      number(g.lon);
      buffer_ += ',';
      number(g.lat);
    }
    buffer_ += ']';
  }

  void pointList(const std::vector<Point2d>& points) {
    buffer_ += '[';
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (i > 0) buffer_ += ',';
      position(points[i]);
      if (buffer_.size() >= kBlock) flush();
    }
    buffer_ += ']';
  }

  void polygonRings(const Polygon& polygon) {
    buffer_ += '[';
    pointList(polygon.exterior);
    for (const Ring& hole : polygon.holes) {
      buffer_ += ',';
      pointList(hole);
    }
    buffer_ += ']';
  }

  template <class Part, class Write>
  void geometry(const char* single, const char* multi, const std::vector<Part>& parts, Write write) {
    text(R"("geometry":{"coordinates":)");
    if (parts.size() == 1) {
      write(parts.front());
    } else {
      buffer_ += '[';
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) buffer_ += ',';
        write(parts[i]);
      }
      buffer_ += ']';
    }
    text(R"(,"type":")");
    text(parts.size() == 1 ? single : multi);
    text(R"("},)");
  }

  // Attributes with "_kind" in its place among them (it replaces an attribute of that name).
  void properties(const GisFeature& f) {
    static constexpr std::string_view kKind = "_kind";
    text(R"("properties":{)");
    bool first = true;
    bool kindWritten = false;
    auto member = [&](std::string_view key, std::string_view value) {
      if (!first) buffer_ += ',';
      first = false;
      string(key);
      buffer_ += ':';
      string(value);
      if (buffer_.size() >= kBlock) flush();
    };
    const std::string_view kind = dataTypePreviewKind(f.type);
    for (const auto& [key, value] : f.attributes) {
      if (!kindWritten && std::string_view(key) >= kKind) {
        member(kKind, kind);
        kindWritten = true;
      }
      if (key != kKind) member(key, value);
    }
    if (!kindWritten) member(kKind, kind);
    text("},");
  }

  void feature(const GisFeature& f) {
    text("{");
    if (!f.polygons.empty()) {
      geometry("Polygon", "MultiPolygon", f.polygons, [this](const Polygon& p) { polygonRings(p); });
    } else if (!f.lines.empty()) {
      geometry("LineString", "MultiLineString", f.lines, [this](const Polyline& l) { pointList(l); });
    } else if (f.hasPoint) {
      text(R"("geometry":{"coordinates":)");
      position(f.point);
      text(R"(,"type":"Point"},)");
    }
    properties(f);
    text(R"("type":"Feature"})");
  }

  std::ostream& out_;
  GeoJsonCoordinates coordinates_;
  std::string buffer_;
};

}  // namespace

void writeGeoJson(std::ostream& out, const std::vector<GisFeature>& features, GeoJsonCoordinates coordinates) {
  GeoJsonWriter(out, coordinates).collection(features);
}

nlohmann::json toGeoJson(const std::vector<GisFeature>& features, GeoJsonCoordinates coordinates) {
  std::ostringstream text;
  writeGeoJson(text, features, coordinates);
  return nlohmann::json::parse(text.view());
}

}  // namespace kl::geo
