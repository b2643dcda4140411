#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kl::geo {

// The UTF-8 byte order mark a document may start with.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The text with every byte sequence that is not well-formed UTF-8 replaced by
// U+FFFD, so that JSON output of parsed values cannot fail.
std::string validUtf8(std::string_view text);

// The encoding named by the XML declaration at the start of a document that
// is written in an ASCII-compatible encoding, lower-cased; empty when there
// is no such declaration or it names none, "utf-8" after a UTF-8 byte order
// mark whatever the declaration says.
std::string declaredXmlEncoding(std::string_view xml);

// True for names the XML parser reads itself (UTF-8, UTF-16, UTF-32, ASCII);
// documents in any other declared encoding are converted first.
bool isUnicodeOrAscii(std::string_view encoding);

struct Utf8Conversion {
  bool ok = false;
  std::string text;             // UTF-8 when ok
  std::size_t failedAt = 0;     // byte offset of the first byte the encoding lacks
  bool unknownEncoding = false;  // the system converter does not know the name
};

// The text converted from the named encoding (ISO-8859-2, windows-1250 and
// whatever else the C library's iconv knows) to UTF-8. Stops at the first
// byte the encoding does not define rather than dropping it.
Utf8Conversion convertToUtf8(std::string_view text, const std::string& encoding);

}  // namespace kl::geo
