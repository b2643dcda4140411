#include "geodata/gml_parser.h"

#include <pugixml.hpp>

#include <array>
#include <string>

#include "geodata/axis_rule.h"
#include "geodata/epsg_code.h"
#include "geodata/gml_geometry.h"
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

std::string_view trimmed(std::string_view s) {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = s.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

// The srsName that governs geometries without one of their own: the root's,
// else the first in document order (the collection's envelope comes first).
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
    const std::string_view text = trimmed(value);
    if (!text.empty()) attributes.insert_or_assign(validUtf8(name), validUtf8(text));
  }
  attributes.insert_or_assign("_typ", validUtf8(localName(feature)));
}

bool isExceptionReport(std::string_view rootName) {
  return rootName == "ExceptionReport" || rootName == "ServiceExceptionReport";
}

std::string exceptionText(const pugi::xml_node& root) {
  std::string text;
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "ExceptionText" || name == "ServiceException") {
      const std::string_view t = trimmed(n.child_value());
      if (!t.empty()) {
        if (!text.empty()) text += ' ';
        text += t;
      }
    }
    return true;
  });
  return text;
}

pugi::xml_node firstChildElement(const pugi::xml_node& n) {
  return n.find_child([](const pugi::xml_node& c) { return c.type() == pugi::node_element; });
}

bool isCollectionName(std::string_view name) {
  return name == "FeatureCollection" || name == "SimpleFeatureCollection";
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
      if (first && isCollectionName(localName(first))) return true;
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

// The document as UTF-8: ASCII-compatible documents in another declared
// encoding (ISO-8859-2, windows-1250) are converted, so Polish letters
// survive. False with the reason in `result` when that is not possible.
bool convertDeclaredEncoding(std::string_view gml, std::string& converted, GmlParseResult& result) {
  const std::string encoding = declaredXmlEncoding(gml);
  if (isUnicodeOrAscii(encoding)) return true;
  Utf8Conversion c = convertToUtf8(gml, encoding);
  if (c.ok) {
    converted = std::move(c.text);
    return true;
  }
  result.status = GmlStatus::BadEncoding;
  result.errorOffset = static_cast<std::ptrdiff_t>(c.failedAt);
  result.message = c.unknownEncoding
                       ? "Nieobslugiwane kodowanie dokumentu GML: " + validUtf8(encoding)
                       : "Dokument GML ma w bajcie " + std::to_string(c.failedAt) +
                             " znak spoza kodowania " + validUtf8(encoding);
  return false;
}

GmlParseResult readDocument(std::string_view gml, std::string* ownedBuffer, DataType type,
                            const GmlParseOptions& options) {
  GmlParseResult result;
  try {
    std::string converted;
    if (!convertDeclaredEncoding(gml, converted, result)) return result;
    pugi::xml_encoding encoding = pugi::encoding_auto;
    if (!converted.empty()) {
      ownedBuffer = &converted;
      encoding = pugi::encoding_utf8;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result xml =
        ownedBuffer ? doc.load_buffer_inplace(ownedBuffer->data(), ownedBuffer->size(),
                                              pugi::parse_default, encoding)
                    : doc.load_buffer(gml.data(), gml.size(), pugi::parse_default, encoding);
    const pugi::xml_node root = doc.document_element();
    if (!xml || !root) {
      result.status = GmlStatus::MalformedXml;
      result.errorOffset = xml.offset;
      result.message = gml.empty() ? std::string("Pusty dokument GML")
                                   : "Niepoprawny dokument GML (blad XML w bajcie " +
                                         std::to_string(xml.offset) + ")";
      return result;
    }
    if (isExceptionReport(localName(root))) {
      result.status = GmlStatus::ExceptionReport;
      result.message = "Serwer zwrocil raport bledu: " + exceptionText(root);
      return result;
    }
    if (nestedDeeperThan(root, kMaxGmlElementDepth)) {
      result.status = GmlStatus::TooDeep;
      result.message = "Dokument GML odrzucony: elementy zagniezdzone glebiej niz " +
                       std::to_string(kMaxGmlElementDepth) + " poziomow";
      return result;
    }
    const std::string_view documentSrsName = documentSrsNameOf(root);
    result.documentEpsg = epsgFromSrsName(documentSrsName);
    GmlGeometryReader geometry(AxisRule::fromSrsName(documentSrsName));
    std::size_t position = 0;
    bool cancelled = false;
    forEachFeatureElement(root, [&](const pugi::xml_node& element) {
      if (cancelled || (options.cancelled && options.cancelled())) {
        cancelled = true;
        return;
      }
      ++position;
      GisFeature feature;
      feature.type = type;
      const GeometryLosses losses = geometry.read(element, feature);
      const bool keep = feature.hasGeometry() || options.keepFeaturesWithoutGeometry;
      if (!keep && !losses.any()) return;
      readAttributes(element, feature);
      if (losses.any()) result.warnings.push_back(lossWarning(feature, position, losses, !keep));
      if (keep) result.features.push_back(std::move(feature));
    });
    if (cancelled) {
      result = GmlParseResult{};
      result.status = GmlStatus::Cancelled;
      result.message = "Odczyt dokumentu GML przerwany";
    }
  } catch (const std::exception&) {
    result = GmlParseResult{};
    result.status = GmlStatus::MalformedXml;
    result.message = "Za malo pamieci na dokument GML";
  }
  return result;
}

}  // namespace

GmlParseResult GmlParser::parse(std::string_view gml, DataType type,
                                const GmlParseOptions& options) {
  return readDocument(gml, nullptr, type, options);
}

GmlParseResult GmlParser::parseOwned(std::string gml, DataType type,
                                     const GmlParseOptions& options) {
  return readDocument(gml, &gml, type, options);
}

std::vector<GisFeature> GmlParser::parseFeatureCollection(std::string_view gml, DataType type) {
  return parse(gml, type).features;
}

}  // namespace kl::geo
