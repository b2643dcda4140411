// Converts "a b" lines between WGS84 (4326, latitude longitude) and the
// Polish grids 2176..2180 (easting northing), like cs2cs but without PROJ.
// Further columns of a line are passed through unchanged.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "geodata/polish_crs.h"
#include "tools/coords/point_line.h"

namespace {

using kl::geo::LatLon;
using kl::geo::Point2d;

bool isSupported(int epsg) {
  return epsg == kl::geo::kEpsgWgs84 || epsg == kl::geo::kEpsgPl1992 ||
         kl::geo::isPl2000Epsg(epsg);
}

LatLon toGeographic(int epsg, double a, double b) {
  if (epsg == kl::geo::kEpsgWgs84) return {a, b};
  if (epsg == kl::geo::kEpsgPl1992) return kl::geo::pl1992ToWgs84(a, b);
  return kl::geo::pl2000ToWgs84(a, b, epsg);
}

std::pair<double, double> fromGeographic(int epsg, LatLon g) {
  if (epsg == kl::geo::kEpsgWgs84) return {g.lat, g.lon};
  const Point2d p = epsg == kl::geo::kEpsgPl1992 ? kl::geo::wgs84ToPl1992(g.lat, g.lon)
                                                 : kl::geo::wgs84ToPl2000(g.lat, g.lon, epsg);
  return {p.x, p.y};
}

std::pair<double, double> convert(int from, int to, double a, double b) {
  if (from == to) return {a, b};
  // Between the grids directly, so that the common path is the library's.
  if (from == kl::geo::kEpsgPl1992 && kl::geo::isPl2000Epsg(to)) {
    const Point2d p = kl::geo::pl1992ToPl2000(a, b, to);
    return {p.x, p.y};
  }
  if (kl::geo::isPl2000Epsg(from) && to == kl::geo::kEpsgPl1992) {
    const Point2d p = kl::geo::pl2000ToPl1992(a, b, from);
    return {p.x, p.y};
  }
  return fromGeographic(to, toGeographic(from, a, b));
}

int parseEpsg(std::string_view text) {
  if (text.size() > 5 && (text.substr(0, 5) == "EPSG:" || text.substr(0, 5) == "epsg:")) {
    text.remove_prefix(5);
  }
  int code = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), code);
  return (r.ec == std::errc() && r.ptr == text.data() + text.size()) ? code : 0;
}

void appendNumber(std::string& out, double v, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  out.append(buf, r.ptr);
}

constexpr const char* kUsage =
    "Uzycie: kartolink-coords --from EPSG --to EPSG < punkty\n"
    "  EPSG: 4326 (szerokosc dlugosc), 2176..2180 (wschodnia polnocna)\n"
    "  Linia: dwie liczby oddzielone spacja, tabulatorem, ';' lub ',' (\"52.1 21.0\", \"52,1 21,0\").\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  int from = 0;
  int to = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    if (flag == "--from") {
      from = parseEpsg(argv[i + 1]);
    } else if (flag == "--to") {
      to = parseEpsg(argv[i + 1]);
    } else {
      return usage();
    }
  }
  if (argc != 5 || !isSupported(from) || !isSupported(to)) return usage();
  const int decimals = to == kl::geo::kEpsgWgs84 ? 9 : 3;
  std::ios::sync_with_stdio(false);
  std::string line;
  std::string out;
  long lineNumber = 0;
  int status = 0;
  while (std::getline(std::cin, line)) {
    ++lineNumber;
    out.clear();
    const auto point = kl::tools::readPointLine(line);
    if (!point) {
      std::fprintf(stderr, "Linia %ld: oczekiwano dwoch liczb\n", lineNumber);
      out = "*\t*";
      status = 1;
    } else {
      const auto [x, y] = convert(from, to, point->a, point->b);
      appendNumber(out, x, decimals);
      out += '\t';
      appendNumber(out, y, decimals);
      out.append(point->rest);
    }
    out += '\n';
    std::cout << out;
  }
  return status;
}
