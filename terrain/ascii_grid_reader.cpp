#include "terrain/ascii_grid_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

namespace kl::terrain {
namespace {

// Longer tokens are not numbers any sheet writes; refusing them bounds the
// carry-over buffer against a file without white space.
constexpr std::size_t kMaxTokenLength = 64;
constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

bool isBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// White-space separated tokens of a file read in chunks, so a sheet of
// millions of values never needs a copy of its text in memory.
class TokenStream {
 public:
  explicit TokenStream(std::FILE* file) : file_(file), buffer_(kChunkBytes) {}

  // The next token, valid until the next call; nothing at the end of the file
  // or on a read error (see failed()).
  std::optional<std::string_view> next() {
    while (true) {
      while (pos_ < end_ && isBlank(buffer_[pos_])) ++pos_;
      if (pos_ < end_) break;
      if (!refill()) return std::nullopt;
    }
    const std::size_t start = pos_;
    cutByEnd_ = false;
    while (pos_ < end_ && !isBlank(buffer_[pos_])) ++pos_;
    if (pos_ < end_) return std::string_view(buffer_.data() + start, pos_ - start);
    // The token runs on into the next chunk.
    carry_.assign(buffer_.data() + start, pos_ - start);
    cutByEnd_ = true;
    while (refill()) {
      while (pos_ < end_ && !isBlank(buffer_[pos_])) {
        if (carry_.size() <= kMaxTokenLength) carry_.push_back(buffer_[pos_]);
        ++pos_;
      }
      if (pos_ < end_) {
        cutByEnd_ = false;
        break;
      }
    }
    return std::string_view(carry_);
  }

  // Whether the last token ran into the end of the file: a download cut
  // short may have cut that number too.
  bool lastTokenCutByEnd() const noexcept { return cutByEnd_; }

  bool failed() const noexcept { return std::ferror(file_) != 0; }

 private:
  bool refill() {
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    return end_ > 0;
  }

  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::string carry_;
  bool cutByEnd_ = false;
};

// A number in C syntax; a single decimal comma stands for the point, as GDAL
// reads sheets written under a comma locale.
std::optional<double> parseNumber(std::string_view token) {
  if (token.empty() || token.size() > kMaxTokenLength) return std::nullopt;
  std::array<char, kMaxTokenLength + 1> text{};
  std::size_t length = 0;
  bool sawComma = false;
  for (std::size_t i = (token.front() == '+') ? 1 : 0; i < token.size(); ++i) {
    char c = token[i];
    if (c == ',') {
      if (sawComma) return std::nullopt;
      sawComma = true;
      c = '.';
    }
    text[length++] = c;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + length, value);
  if (error != std::errc() || end != text.data() + length) return std::nullopt;
  return value;
}

std::string lowerCase(std::string_view word) {
  std::string lower(word);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::string printable(std::string_view token) {
  std::string shown(token.substr(0, 20));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  }
  return shown;
}

enum HeaderWord { kNcols, kNrows, kXCorner, kYCorner, kXCenter, kYCenter, kCellSize, kDx, kDy, kNodata, kWordCount };
constexpr std::array<std::string_view, kWordCount> kHeaderWords = {
    "ncols", "nrows", "xllcorner", "yllcorner", "xllcenter", "yllcenter", "cellsize", "dx", "dy", "nodata_value"};

struct Header {
  std::array<std::optional<double>, kWordCount> values;
  std::optional<std::string_view> firstValue;  // the token that ended the header
};

class SheetReader {
 public:
  SheetReader(const std::filesystem::path& path, std::string_view sheetName)
      : sheet_(sheetName.empty() ? path.filename().string() : std::string(sheetName)), path_(path) {}

  AsciiGridReadResult read() {
    std::error_code error;
    const auto fileSize = std::filesystem::file_size(path_, error);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path_.c_str(), "rb"), &std::fclose);
    if (error || !file) return refuse("nie mozna otworzyc pliku");
    if (fileSize == 0) return refuse("plik jest pusty (0 bajtow)");
    TokenStream tokens(file.get());

    Header header;
    if (!readHeader(tokens, header)) return std::move(result_);
    if (!applyHeader(header)) return std::move(result_);

    const std::int64_t cells = std::int64_t{result_.grid.ncols} * result_.grid.nrows;
    if (cells > kMaxAsciiGridCells) {
      return refuse("naglowek zapowiada " + std::to_string(cells) + " komorek, wiecej niz dopuszczalne " +
                    std::to_string(kMaxAsciiGridCells));
    }
    // Every value takes at least one character and a separator: a header
    // asking for more than the file can hold is not allocated for.
    if (static_cast<std::uintmax_t>(cells) * 2 - 1 > fileSize) {
      return refuse("naglowek zapowiada " + std::to_string(cells) + " komorek, a plik ma tylko " +
                    std::to_string(fileSize) + " bajtow");
    }
    if (!readHeights(tokens, header.firstValue, static_cast<std::size_t>(cells))) return std::move(result_);
    if (tokens.failed()) return refuse("blad odczytu pliku");
    result_.ok = true;
    return std::move(result_);
  }

 private:
  AsciiGridReadResult refuse(const std::string& why) {
    fail(why);
    return std::move(result_);
  }

  bool fail(const std::string& why) {
    result_.ok = false;
    result_.message = "Arkusz " + sheet_ + " odrzucony: " + why + ".";
    result_.grid = {};
    result_.warnings.clear();
    return false;
  }

  bool readHeader(TokenStream& tokens, Header& header) {
    while (auto token = tokens.next()) {
      if (parseNumber(*token)) {
        header.firstValue = token;
        return true;
      }
      const std::string word = lowerCase(*token);
      const auto found = std::find(kHeaderWords.begin(), kHeaderWords.end(), word);
      if (found == kHeaderWords.end()) return fail("nieznane slowo naglowka '" + printable(*token) + "'");
      auto& slot = header.values[static_cast<std::size_t>(found - kHeaderWords.begin())];
      if (slot) return fail("slowo naglowka '" + word + "' powtorzone");
      const auto valueToken = tokens.next();
      const auto value = valueToken ? parseNumber(*valueToken) : std::nullopt;
      if (!value) return fail("slowo naglowka '" + word + "' bez liczby");
      slot = *value;
    }
    if (tokens.failed()) return fail("blad odczytu pliku");
    return fail("brak wartosci po naglowku");
  }

  bool applyHeader(const Header& header) {
    const auto& v = header.values;
    AsciiGrid& grid = result_.grid;
    for (const HeaderWord count : {kNcols, kNrows}) {
      const auto& n = v[count];
      const std::string word(kHeaderWords[count]);
      if (!n) return fail("brak '" + word + "' w naglowku");
      if (!(*n >= 1.0 && *n <= 2147483647.0) || *n != std::floor(*n)) {
        return fail("'" + word + "' musi byc dodatnia liczba calkowita");
      }
    }
    grid.ncols = static_cast<std::int32_t>(*v[kNcols]);
    grid.nrows = static_cast<std::int32_t>(*v[kNrows]);

    if (v[kCellSize] && (v[kDx] || v[kDy])) return fail("naglowek podaje i 'cellsize', i 'dx'/'dy'");
    if (v[kCellSize]) {
      grid.cellSize = *v[kCellSize];
    } else if (v[kDx] && v[kDy] && *v[kDx] == *v[kDy]) {
      grid.cellSize = *v[kDx];
    } else if (v[kDx] || v[kDy]) {
      return fail("komorki niekwadratowe ('dx' rozne od 'dy') nie sa obslugiwane");
    } else {
      return fail("brak 'cellsize' w naglowku");
    }
    if (!(grid.cellSize > 0.0) || !std::isfinite(grid.cellSize)) return fail("rozmiar komorki musi byc dodatni");

    const auto corner = [&](HeaderWord cornerWord, HeaderWord centreWord, double& out) {
      const std::string axis(1, kHeaderWords[cornerWord].front());
      if (v[cornerWord] && v[centreWord]) return fail("naglowek podaje dwa poczatki osi " + axis);
      if (!v[cornerWord] && !v[centreWord]) return fail("brak poczatku osi " + axis + " w naglowku");
      const double value = v[cornerWord] ? *v[cornerWord] : *v[centreWord] - grid.cellSize / 2.0;
      if (!std::isfinite(value)) return fail("poczatek osi " + axis + " nie jest liczba skonczona");
      out = value;
      return true;
    };
    if (!corner(kXCorner, kXCenter, grid.cornerX) || !corner(kYCorner, kYCenter, grid.cornerY)) return false;
    if (v[kNodata]) grid.nodata = *v[kNodata];
    return true;
  }

  bool readHeights(TokenStream& tokens, std::optional<std::string_view> first, std::size_t cells) {
    std::vector<double>& heights = result_.grid.heights;
    heights.reserve(cells);
    std::optional<std::string_view> token = first;
    while (heights.size() < cells && token) {
      const auto value = parseNumber(*token);
      if (!value || std::isinf(*value)) {
        return fail("wartosc nr " + std::to_string(heights.size() + 1) + " '" + printable(*token) +
                    "' nie jest liczba");
      }
      heights.push_back(*value);
      token = tokens.next();
    }
    if (heights.size() < cells) {
      // "196.3" cut to "19" would be a cliff: a last number the end of the
      // file may have cut is missing data too.
      if (!heights.empty() && tokens.lastTokenCutByEnd()) heights.pop_back();
      const std::size_t missing = cells - heights.size();
      heights.resize(cells, result_.grid.nodata);
      result_.warnings.push_back("Arkusz " + sheet_ + " konczy sie przed koncem siatki: brakuje " +
                                 std::to_string(missing) + " z " + std::to_string(cells) +
                                 " wartosci, uzupelniono je jako brak danych.");
    } else if (token && parseNumber(*token)) {
      // Text after the grid (some writers append "CRS"/"NOTES" lines) is
      // ignored as GDAL ignores it; more numbers mean a header that
      // undercounts, which the user should hear of.
      result_.warnings.push_back("Arkusz " + sheet_ +
                                 " ma wiecej wartosci niz zapowiada naglowek: nadmiar pominieto.");
    }
    return true;
  }

  std::string sheet_;
  std::filesystem::path path_;
  AsciiGridReadResult result_;
};

}  // namespace

AsciiGridReadResult readAsciiGrid(const std::filesystem::path& path, std::string_view sheetName) {
  return SheetReader(path, sheetName).read();
}

}  // namespace kl::terrain
