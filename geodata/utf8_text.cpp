#include "geodata/utf8_text.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

namespace kl::geo {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at s[i], 0 when there is none.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  std::size_t length = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

constexpr char asciiLower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Owns an iconv descriptor for the length of one conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const noexcept { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const noexcept { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

std::string validUtf8(std::string_view text) {
  // Nearly every text is valid already and is copied in one piece.
  std::size_t valid = 0;
  while (valid < text.size()) {
    const std::size_t n = sequenceLength(text, valid);
    if (n == 0) break;
    valid += n;
  }
  if (valid == text.size()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  out.append(text.substr(0, valid));
  for (std::size_t i = valid; i < text.size();) {
    const std::size_t n = sequenceLength(text, i);
    if (n == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string declaredXmlEncoding(std::string_view xml) {
  if (xml.substr(0, 3) == "\xEF\xBB\xBF") return "utf-8";  // the byte order mark outranks the declaration
  if (xml.substr(0, 5) != "<?xml") return {};
  const std::size_t end = xml.find("?>");
  const std::string_view declaration = xml.substr(0, end);
  const std::size_t key = declaration.find("encoding");
  if (key == std::string_view::npos) return {};
  std::size_t i = key + 8;
  while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '=')) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
  const std::size_t close = declaration.find(declaration[i], i + 1);
  if (close == std::string_view::npos) return {};
  std::string name(declaration.substr(i + 1, close - i - 1));
  for (char& c : name) c = asciiLower(c);
  return name;
}

bool isUnicodeOrAscii(std::string_view encoding) {
  return encoding.empty() || encoding == "utf-8" || encoding == "utf8" ||
         encoding.substr(0, 6) == "utf-16" || encoding.substr(0, 6) == "utf-32" ||
         encoding == "ucs-2" || encoding == "ucs-4" || encoding == "us-ascii" ||
         encoding == "ascii";
}

Utf8Conversion convertToUtf8(std::string_view text, const std::string& encoding) {
  Utf8Conversion result;
  const Converter converter("UTF-8", encoding.c_str());
  if (!converter.valid()) {
    result.unknownEncoding = true;
    return result;
  }
  // Every single-byte encoding takes at most three UTF-8 bytes a character;
  // larger growth (multi-byte sources) is handled by the E2BIG loop.
  std::string out(text.size() * 3 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  std::size_t written = 0;
  while (inLeft > 0) {
    char* to = out.data() + written;
    std::size_t outLeft = out.size() - written;
    const std::size_t r = iconv(converter.get(), &in, &inLeft, &to, &outLeft);
    written = out.size() - outLeft;
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    result.failedAt = text.size() - inLeft;
    return result;
  }
  out.resize(written);
  result.ok = true;
  result.text = std::move(out);
  return result;
}

}  // namespace kl::geo
