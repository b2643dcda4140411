#include "geodata/xml_member_scanner.h"

#include "geodata/xml_walk.h"

namespace kl::geo {
namespace {

bool startsName(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::size_t nameEnd(std::string_view text, std::size_t from) {
  std::size_t i = from;
  while (i < text.size() && !isXmlSpace(text[i]) && text[i] != '/' && text[i] != '>') ++i;
  return i;
}

XmlPiece incomplete() { return {}; }

// A piece from `from` to just past the first `terminator` after `bodyFrom`.
XmlPiece upTo(std::string_view text, std::size_t bodyFrom, std::string_view terminator, XmlPieceKind kind) {
  const std::size_t at = text.find(terminator, bodyFrom);
  if (at == std::string_view::npos) return incomplete();
  return {kind, at + terminator.size(), {}};
}

// Whether `text` from `from` opens with `opener`; Incomplete when what is held
// is too short to tell.
enum class Opens { Yes, No, CannotTell };
Opens opensWith(std::string_view text, std::size_t from, std::string_view opener) {
  const std::string_view held = text.substr(from, opener.size());
  if (held.size() < opener.size()) return opener.substr(0, held.size()) == held ? Opens::CannotTell : Opens::No;
  return held == opener ? Opens::Yes : Opens::No;
}

XmlPiece bang(std::string_view text, std::size_t from) {
  static constexpr std::string_view kComment = "<!--";
  static constexpr std::string_view kCdata = "<![CDATA[";
  const Opens comment = opensWith(text, from, kComment);
  const Opens cdata = opensWith(text, from, kCdata);
  if (comment == Opens::Yes) return upTo(text, from + kComment.size(), "-->", XmlPieceKind::Inert);
  if (cdata == Opens::Yes) return upTo(text, from + kCdata.size(), "]]>", XmlPieceKind::Inert);
  if (comment == Opens::CannotTell || cdata == Opens::CannotTell) return incomplete();
  return {XmlPieceKind::Declaration, from + 2, {}};
}

XmlPiece endTag(std::string_view text, std::size_t from) {
  const std::size_t close = text.find('>', from + 2);
  if (close == std::string_view::npos) return incomplete();
  return {XmlPieceKind::EndTag, close + 1, text.substr(from + 2, nameEnd(text, from + 2) - (from + 2))};
}

XmlPiece startTag(std::string_view text, std::size_t from) {
  const std::size_t afterName = nameEnd(text, from + 1);
  for (std::size_t i = afterName; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      i = text.find(c, i + 1);
      if (i == std::string_view::npos) return incomplete();
    } else if (c == '>') {
      const XmlPieceKind kind = text[i - 1] == '/' ? XmlPieceKind::EmptyTag : XmlPieceKind::StartTag;
      return {kind, i + 1, text.substr(from + 1, afterName - (from + 1))};
    } else if (c == '<') {
      return {XmlPieceKind::Malformed, i, {}};
    }
  }
  return incomplete();
}

}  // namespace

XmlPiece nextXmlPiece(std::string_view text, std::size_t from) {
  if (text[from] != '<') {
    const std::size_t next = text.find('<', from);
    return {XmlPieceKind::Text, next == std::string_view::npos ? text.size() : next, {}};
  }
  if (from + 1 >= text.size()) return incomplete();
  const char second = text[from + 1];
  if (second == '/') return endTag(text, from);
  if (second == '?') return upTo(text, from + 2, "?>", XmlPieceKind::Inert);
  if (second == '!') return bang(text, from);
  if (startsName(second)) return startTag(text, from);
  return {XmlPieceKind::Malformed, from + 1, {}};
}

}  // namespace kl::geo
