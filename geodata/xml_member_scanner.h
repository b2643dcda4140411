#pragma once

#include <cstddef>
#include <string_view>

namespace kl::geo {

// One piece of an XML text as found by looking for its delimiters only, so a
// document can be cut into elements without parsing it.
enum class XmlPieceKind {
  Text,         // character data up to the next '<' or the end of what is held
  StartTag,     // <name ...>
  EmptyTag,     // <name .../>
  EndTag,       // </name>
  Inert,        // comment, CDATA section, processing instruction: no element in it
  Declaration,  // <!DOCTYPE ...> and the like
  Incomplete,   // the piece runs past the end of what is held
  Malformed,    // a '<' that starts no markup
};

struct XmlPiece {
  XmlPieceKind kind = XmlPieceKind::Incomplete;
  std::size_t end = 0;    // offset just past the piece
  std::string_view name;  // qualified name of a tag, a view into the text
};

// The piece that starts at `from` (< text.size()). Quoted attribute values
// may hold '>' and '<'; comments and CDATA may hold anything.
XmlPiece nextXmlPiece(std::string_view text, std::size_t from);

}  // namespace kl::geo
