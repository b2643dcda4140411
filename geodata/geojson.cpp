#include "geodata/geojson.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

// Writes compact JSON text in the very form nlohmann::json's dump() gives a
// tree of it (keys in order, the same number text), through a buffer that goes
// to the stream in blocks, so no tree and no whole text is held.
class GeoJsonWriter {
 public:
  GeoJsonWriter(std::ostream& out, GeoJsonCoordinates coordinates) : out_(out), coordinates_(coordinates) {
    buffer_.reserve(kBlock + 256);
  }
  ~GeoJsonWriter() { flush(); }

  void open() {
    text("{");
    if (coordinates_ == GeoJsonCoordinates::Pl1992) {
      text(R"("crs":{"properties":{"name":"urn:ogc:def:crs:EPSG::2180"},"type":"name"},)");
    }
    text(R"("features":[)");
  }

  void add(const GisFeature& f) {
    if (written_ > 0) text(",");
    feature(f);
    ++written_;
  }

  void close() {
    text(R"(],"type":"FeatureCollection"})");
    flush();
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  static constexpr std::ptrdiff_t kNumberRoom = 64;

  void text(std::string_view s) {
    buffer_.append(s);
    if (buffer_.size() >= kBlock) flush();
  }
  void flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

  // Runs of characters that need no escape go in one piece.
  void string(std::string_view s) {
    buffer_ += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const char c = s[i];
      if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) continue;
      buffer_.append(s, plainFrom, i - plainFrom);
      plainFrom = i + 1;
      switch (c) {
        case '"': buffer_ += "\\\""; break;
        case '\\': buffer_ += "\\\\"; break;
        case '\b': buffer_ += "\\b"; break;
        case '\f': buffer_ += "\\f"; break;
        case '\n': buffer_ += "\\n"; break;
        case '\r': buffer_ += "\\r"; break;
        case '\t': buffer_ += "\\t"; break;
        default: {
          static constexpr char kHex[] = "0123456789abcdef";
          buffer_ += "\\u00";
          buffer_ += kHex[(c >> 4) & 0xF];
          buffer_ += kHex[c & 0xF];
        }
      }
    }
    buffer_.append(s, plainFrom);
    buffer_ += '"';
  }

  // The number's text at `at`, which has room for kNumberRoom characters; returns its end.
  static char* number(char* at, double v) {
    if (!std::isfinite(v)) {
      static constexpr std::string_view kNull = "null";
      return std::copy(kNull.begin(), kNull.end(), at);
    }
    // The library's own shortest form, so the text reads back to the same double
    // and matches what a dump() of the value prints, whatever the locale.
    return nlohmann::detail::to_chars(at, at + kNumberRoom, v);
  }

  // "[x,y]" put together on the stack and appended once.
  void position(const Point2d& p) {
    double a = p.x, b = p.y;
    if (coordinates_ == GeoJsonCoordinates::Wgs84) {
      const LatLon g = pl1992ToWgs84(p.x, p.y);
      a = g.lon;
      b = g.lat;
    }
    char text[2 * kNumberRoom + 3];
    char* at = text;
    *at++ = '[';
    at = number(at, a);
    *at++ = ',';
    at = number(at, b);
    *at++ = ']';
    buffer_.append(text, static_cast<std::size_t>(at - text));
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
  std::size_t written_ = 0;
};

}  // namespace

struct GeoJsonCollectionWriter::Text : GeoJsonWriter {
  using GeoJsonWriter::GeoJsonWriter;
};

GeoJsonCollectionWriter::GeoJsonCollectionWriter(std::ostream& out, GeoJsonCoordinates coordinates)
    : text_(std::make_unique<Text>(out, coordinates)) {
  text_->open();
}

GeoJsonCollectionWriter::~GeoJsonCollectionWriter() = default;

void GeoJsonCollectionWriter::add(const GisFeature& feature) { text_->add(feature); }

void GeoJsonCollectionWriter::finish() { text_->close(); }

void writeGeoJson(std::ostream& out, const std::vector<GisFeature>& features, GeoJsonCoordinates coordinates) {
  GeoJsonCollectionWriter writer(out, coordinates);
  for (const GisFeature& feature : features) writer.add(feature);
  writer.finish();
}

nlohmann::json toGeoJson(const std::vector<GisFeature>& features, GeoJsonCoordinates coordinates) {
  std::ostringstream text;
  writeGeoJson(text, features, coordinates);
  return nlohmann::json::parse(text.view());
}

}  // namespace kl::geo
