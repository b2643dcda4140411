#include "geodata/gml_parser.h"

#include <pugixml.hpp>

#include <string>

#include "geodata/epsg_code.h"
#include "geodata/gml_feature_reader.h"
#include "geodata/utf8_text.h"
#include "geodata/xml_walk.h"

namespace kl::geo {
namespace {

bool isExceptionReport(std::string_view rootName) {
  return rootName == "ExceptionReport" || rootName == "ServiceExceptionReport";
}

std::string exceptionText(const pugi::xml_node& root) {
  std::string text;
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    const std::string_view name = localName(n);
    if (name == "ExceptionText" || name == "ServiceException") {
      const std::string_view t = trimmedXmlSpace(n.child_value());
      if (!t.empty()) {
        if (!text.empty()) text += ' ';
        text += t;
      }
    }
    return true;
  });
  return text;
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
      result.message = gml.empty() ? std::string("Pusty dokument GML") : malformedGmlMessage(xml.offset);
      return result;
    }
    if (isExceptionReport(localName(root))) {
      result.status = GmlStatus::ExceptionReport;
      result.message = "Serwer zwrocil raport bledu: " + exceptionText(root);
      return result;
    }
    if (nestedDeeperThan(root, kMaxGmlElementDepth)) {
      result.status = GmlStatus::TooDeep;
      result.message = tooDeepGmlMessage();
      return result;
    }
    const std::string_view documentSrsName = documentSrsNameOf(root);
    result.documentEpsg = epsgFromSrsName(documentSrsName);
    GmlFeatureReader reader(type, documentSrsName, options);
    const bool cancelled = !reader.read(
        root, [&](GisFeature&& feature) { result.features.push_back(std::move(feature)); }, result.warnings);
    if (cancelled) result = cancelledGmlResult();
  } catch (const std::exception&) {
    result = outOfMemoryGmlResult();
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
