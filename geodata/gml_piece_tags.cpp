#include "geodata/gml_piece_tags.h"

#include "geodata/utf8_text.h"
#include "geodata/xml_walk.h"

namespace kl::geo {

bool isPlainUtf8(std::string_view head) {
  const std::string encoding = declaredXmlEncoding(head);
  if (!(encoding.empty() || encoding == "utf-8" || encoding == "utf8" || encoding == "us-ascii" ||
        encoding == "ascii")) {
    return false;
  }
  const std::string_view body = head.substr(head.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0);
  if (body.empty() || body.substr(0, 4).find('\0') != std::string_view::npos) return false;
  const char first = body.front();
  return first == '<' || first == ' ' || first == '\t' || first == '\r' || first == '\n';
}

std::string tagForDescendants(std::string_view tag, std::string_view name) {
  std::string kept = "<" + std::string(name);
  std::size_t i = 1 + name.size();
  for (;;) {
    while (i < tag.size() && isXmlSpace(tag[i])) ++i;
    if (i >= tag.size() || tag[i] == '>' || tag[i] == '/') break;
    const std::size_t attributeFrom = i;
    while (i < tag.size() && tag[i] != '=' && !isXmlSpace(tag[i])) ++i;
    const std::string_view local = localName(tag.substr(attributeFrom, i - attributeFrom));
    const std::size_t open = tag.find_first_of("\"'", i);
    const std::size_t close = open == std::string_view::npos ? open : tag.find(tag[open], open + 1);
    if (close == std::string_view::npos) break;
    i = close + 1;
    if (local == "srsName" || local == "srsDimension" || local == "dimension") {
      kept += ' ';
      kept += tag.substr(attributeFrom, i - attributeFrom);
    }
  }
  return kept + ">";
}

}  // namespace kl::geo
