#include "geodata/gml_feature_reader.h"

#include <array>

#include "geodata/axis_rule.h"
#include "geodata/utf8_text.h"
#include "geodata/xml_walk.h"

namespace kl::geo {
namespace {

constexpr std::array<std::string_view, 10> kGeometryNames = {
    "Polygon", "MultiSurface", "LineString", "MultiLineString", "Point",
    "MultiPoint", "Curve", "MultiCurve", "Surface", "MultiGeometry"};

bool isGeometryName(std::string_view name) {
  for (std::string_view g : kGeometryNames) {
    if (g == name) return true;
  }
  return false;
}

// Leaf properties only: nested structures and geometry are not attributes.
void readAttributes(const pugi::xml_node& feature, GisFeature& out) {
  auto& attributes = out.attributes;
  if (const pugi::xml_attribute id = attributeByLocalName(feature, "id")) {
    attributes["gml_id"] = validUtf8(id.value());
  }
  if (const pugi::xml_attribute fid = attributeByLocalName(feature, "fid")) {
    attributes["gml_id"] = validUtf8(fid.value());
  }
  for (pugi::xml_node child = feature.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = localName(child);
    if (isGeometryName(name) || child.find_child([](const pugi::xml_node& c) {
          return c.type() == pugi::node_element;
        })) {
      continue;
    }
    std::string value;
    for (pugi::xml_node t = child.first_child(); t; t = t.next_sibling()) {
      if (t.type() == pugi::node_pcdata || t.type() == pugi::node_cdata) value += t.value();
    }
    // Pretty-printed answers wrap values in line breaks and indentation.
    const std::string_view text = trimmedXmlSpace(value);
    if (!text.empty()) attributes.insert_or_assign(validUtf8(name), validUtf8(text));
  }
  attributes.insert_or_assign("_typ", validUtf8(localName(feature)));
}

pugi::xml_node firstChildElement(const pugi::xml_node& n) {
  return n.find_child([](const pugi::xml_node& c) { return c.type() == pugi::node_element; });
}

// Each feature element once, in document order. The search does not enter a
// feature: a member nested inside one is part of it, not another feature.
template <class Visit>
void forEachFeatureElement(const pugi::xml_node& root, Visit&& visit) {
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "member" || name == "featureMember") {
      const pugi::xml_node first = firstChildElement(n);
      // WFS 2.0 answers for several types wrap one collection per type.
      if (first && isFeatureCollectionName(localName(first))) return true;
      if (first) visit(first);
      return false;
    }
    if (name == "featureMembers") {
      // GML 3.1 / WFS 1.1 keeps all features in one container.
      for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) visit(c);
      }
      return false;
    }
    return true;
  });
}

// "budynki b.12", or "budynki nr 3" (its place in the answer) without an id.
std::string featureName(const GisFeature& feature, std::size_t position) {
  const auto typ = feature.attributes.find("_typ");
  std::string name = typ == feature.attributes.end() ? std::string("obiekt") : typ->second;
  const auto id = feature.attributes.find("gml_id");
  return name + (id != feature.attributes.end() ? " " + id->second
                                                : " nr " + std::to_string(position));
}

std::string lossWarning(const GisFeature& feature, std::size_t position, const GeometryLosses& losses,
                        bool featureDropped) {
  std::string reasons;
  if (losses.badNumbers > 0) {
    reasons += std::to_string(losses.badNumbers) + " z niepoprawna liczba we wspolrzednych";
  }
  if (losses.tooFewVertices > 0) {
    if (!reasons.empty()) reasons += ", ";
    reasons += std::to_string(losses.tooFewVertices) + " ze zbyt mala liczba wierzcholkow";
  }
  return "Obiekt " + featureName(feature, position) + ": pominieto geometrie (" + reasons + ")" +
         (featureDropped ? ", obiekt bez geometrii pominieto." : ".");
}

}  // namespace

std::string_view documentSrsNameOf(const pugi::xml_node& root) {
  if (const pugi::xml_attribute srs = root.attribute("srsName")) return srs.value();
  std::string_view name;
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    if (!name.empty()) return false;
    if (const pugi::xml_attribute srs = n.attribute("srsName")) {
      name = srs.value();
      return false;
    }
    return true;
  });
  return name;
}

bool isFeatureCollectionName(std::string_view localName) {
  return localName == "FeatureCollection" || localName == "SimpleFeatureCollection";
}

std::string malformedGmlMessage(std::ptrdiff_t offset) {
  return "Niepoprawny dokument GML (blad XML w bajcie " + std::to_string(offset) + ")";
}

std::string tooDeepGmlMessage() {
  return "Dokument GML odrzucony: elementy zagniezdzone glebiej niz " + std::to_string(kMaxGmlElementDepth) +
         " poziomow";
}

GmlParseResult cancelledGmlResult() {
  GmlParseResult result;
  result.status = GmlStatus::Cancelled;
  result.message = "Odczyt dokumentu GML przerwany";
  return result;
}

GmlParseResult outOfMemoryGmlResult() {
  GmlParseResult result;
  result.status = GmlStatus::MalformedXml;
  result.message = "Za malo pamieci na dokument GML";
  return result;
}

GmlFeatureReader::GmlFeatureReader(DataType type, std::string_view documentSrsName, const GmlParseOptions& options)
    : type_(type), options_(options), geometry_(AxisRule::fromSrsName(documentSrsName)) {}

bool GmlFeatureReader::read(const pugi::xml_node& root, const GmlFeatureSink& sink,
                            std::vector<std::string>& warnings) {
  bool cancelled = false;
  forEachFeatureElement(root, [&](const pugi::xml_node& element) {
    if (cancelled || (options_.cancelled && options_.cancelled())) {
      cancelled = true;
      return;
    }
    ++position_;
    GisFeature feature;
    feature.type = type_;
    const GeometryLosses losses = geometry_.read(element, feature);
    const bool keep = feature.hasGeometry() || options_.keepFeaturesWithoutGeometry;
    if (!keep && !losses.any()) return;
    readAttributes(element, feature);
    if (losses.any()) warnings.push_back(lossWarning(feature, position_, losses, !keep));
    if (keep) sink(std::move(feature));
  });
  return !cancelled;
}

}  // namespace kl::geo
