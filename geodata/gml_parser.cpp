#include "geodata/gml_parser.h"

#include <pugixml.hpp>

#include <array>
#include <string>

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

int documentEpsgOf(const pugi::xml_node& root) {
  if (const pugi::xml_attribute srs = root.attribute("srsName")) {
    if (const int code = epsgFromSrsName(srs.value())) return code;
  }
  int code = 0;
  bool found = false;
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    if (found) return false;
    if (const pugi::xml_attribute srs = n.attribute("srsName")) {
      code = epsgFromSrsName(srs.value());
      found = true;
      return false;
    }
    return true;
  });
  return code;
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

template <class Visit>
void forEachFeatureElement(const pugi::xml_node& root, Visit&& visit) {
  auto memberOf = [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "member" || name == "featureMember") {
      if (const pugi::xml_node first = n.find_child([](const pugi::xml_node& c) {
            return c.type() == pugi::node_element;
          })) {
        visit(first);
      }
    } else if (name == "featureMembers") {
      // GML 3.1 / WFS 1.1 keeps all features in one container.
      for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) visit(c);
      }
    }
    return true;
  };
  memberOf(root);
  forEachDescendantElement(root, memberOf);
}

GmlParseResult readDocument(std::string_view gml, std::string* ownedBuffer, DataType type,
                            const GmlParseOptions& options) {
  GmlParseResult result;
  try {
    pugi::xml_document doc;
    const pugi::xml_parse_result xml =
        ownedBuffer ? doc.load_buffer_inplace(ownedBuffer->data(), ownedBuffer->size(),
                                              pugi::parse_default, pugi::encoding_auto)
                    : doc.load_buffer(gml.data(), gml.size(), pugi::parse_default,
                                      pugi::encoding_auto);
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
    result.documentEpsg = documentEpsgOf(root);
    GmlGeometryReader geometry(result.documentEpsg);
    forEachFeatureElement(root, [&](const pugi::xml_node& element) {
      GisFeature feature;
      feature.type = type;
      geometry.read(element, feature);
      if (!feature.hasGeometry() && !options.keepFeaturesWithoutGeometry) return;
      readAttributes(element, feature);
      result.features.push_back(std::move(feature));
    });
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
