#include "buildings/sheet_index.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "base/number_text.h"
#include "net/download_cache.h"

namespace kl::buildings {
namespace {

constexpr std::string_view kMagic = "B3DIDX1";

std::string escaped(std::string_view name) {
  std::string out;
  for (char c : name) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

// Three decimals, as the extents are metres; independent of the locale.
std::string metres(double v) { return numberText(v, std::chars_format::fixed, 3); }

// Tab-separated fields of one line.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t from = 0;
  while (true) {
    const std::size_t tab = line.find('\t', from);
    out.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
    if (tab == std::string_view::npos) return out;
    from = tab + 1;
  }
}

template <class Number>
bool readWhole(std::string_view text, Number& value) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

std::optional<SheetEntry> sheetLine(std::string_view line) {
  const std::vector<std::string_view> f = fields(line);
  if (f.size() != 5) return std::nullopt;
  std::optional<std::string> name = unescaped(f[0]);
  if (!name || name->empty()) return std::nullopt;
  SheetEntry e{std::move(*name)};
  double* const values[] = {&e.minX, &e.minY, &e.maxX, &e.maxY};
  for (int i = 0; i < 4; ++i)
    if (!readWhole(f[static_cast<std::size_t>(i) + 1], *values[i]) || !std::isfinite(*values[i])) return std::nullopt;
  return e;
}

bool stampLine(std::string_view line, const PackageStamp& stamp) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::vector<std::string_view> f = fields(line);
  PackageStamp read;
  return f.size() == 3 && f[0] == kMagic && readWhole(f[1], read.size) && readWhole(f[2], read.time) &&
         read == stamp;
}

}  // namespace

std::optional<PackageStamp> stampOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  const auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return PackageStamp{size, static_cast<std::int64_t>(time.time_since_epoch().count())};
}

std::vector<SheetEntry> readSheetIndex(const std::string& indexPath, const PackageStamp& stamp) {
  std::string text;
  if (!net::readCacheFile(indexPath, text)) return {};
  std::vector<SheetEntry> sheets;
  std::size_t from = 0;
  bool first = true;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + from, end - from);
    from = end + 1;
    if (first) {
      if (!stampLine(line, stamp)) return {};
      first = false;
    } else if (std::optional<SheetEntry> e = sheetLine(line)) {
      sheets.push_back(std::move(*e));
    }
  }
  return sheets;
}

bool writeSheetIndex(const std::string& indexPath, const PackageStamp& stamp, const std::vector<SheetEntry>& sheets) {
  std::string text = std::string(kMagic) + '\t' + std::to_string(stamp.size) + '\t' + std::to_string(stamp.time) + '\n';
  for (const SheetEntry& s : sheets)
    text += escaped(s.name) + '\t' + metres(s.minX) + '\t' + metres(s.minY) + '\t' + metres(s.maxX) + '\t' +
            metres(s.maxY) + '\n';
  return net::publishCacheFile(indexPath, text);
}

}  // namespace kl::buildings
