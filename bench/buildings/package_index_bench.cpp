// The sheet index of a county package: how many bytes it inflates per sheet
// and how long it takes, against inflating every sheet whole in the same run.
//   kl_buildings_bench [ENTRIES] [BUILDINGS_PER_SHEET] [ROUNDS]
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "buildings/model_package.h"
#include "tools/geoportal/zip_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string number(double v) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 2);
  return std::string(text, r.ptr);
}

// A sheet of LOD1 blocks on a 10 m grid, its Envelope first, as the county packages write them.
std::string sheet(int index, int buildings) {
  const double x0 = 500000 + 1000.0 * (index % 20), y0 = 300000 + 1000.0 * (index / 20);
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<core:CityModel xmlns:core=\"http://www.opengis.net/citygml/2.0\""
      " xmlns:bldg=\"http://www.opengis.net/citygml/building/2.0\" xmlns:gml=\"http://www.opengis.net/gml\">\n"
      "<gml:boundedBy><gml:Envelope srsName=\"EPSG:2180\" srsDimension=\"3\"><gml:lowerCorner>" +
      number(x0) + " " + number(y0) + " 180.00</gml:lowerCorner><gml:upperCorner>" + number(x0 + 1000) + " " +
      number(y0 + 1000) + " 230.00</gml:upperCorner></gml:Envelope></gml:boundedBy>\n";
  for (int b = 0; b < buildings; ++b) {
    const double x = x0 + 10.0 * (b % 100) + 0.37 * (b % 7), y = y0 + 10.0 * (b / 100) + 0.29 * (b % 11);
    const double z = 190 + 0.01 * ((b * 37) % 997), top = z + 3 + (b % 9);
    text += "<core:cityObjectMember><bldg:Building gml:id=\"B" + std::to_string(index) + "_" + std::to_string(b) +
            "\"><bldg:measuredHeight uom=\"m\">" + number(top - z) +
            "</bldg:measuredHeight><bldg:lod1Solid><gml:Solid><gml:exterior><gml:CompositeSurface>";
    for (double h : {z, top})
      text += "<gml:surfaceMember><gml:Polygon><gml:exterior><gml:LinearRing><gml:posList>" + number(x) + " " +
              number(y) + " " + number(h) + " " + number(x + 7.3) + " " + number(y) + " " + number(h) + " " +
              number(x + 7.3) + " " + number(y + 6.1) + " " + number(h) + " " + number(x) + " " + number(y + 6.1) +
              " " + number(h) + " " + number(x) + " " + number(y) + " " + number(h) +
              "</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></gml:surfaceMember>";
    text += "</gml:CompositeSurface></gml:exterior></gml:Solid></bldg:lod1Solid></bldg:Building></core:cityObjectMember>\n";
  }
  return text + "</core:CityModel>\n";
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 300;
  const int buildings = argc > 2 ? std::atoi(argv[2]) : 200;
  const int rounds = std::max(1, argc > 3 ? std::atoi(argv[3]) : 7);
  std::vector<std::pair<std::string, std::string>> files;
  std::uint64_t total = 0;
  for (int i = 0; i < entries; ++i) {
    files.emplace_back("arkusz_" + std::to_string(i) + ".gml", sheet(i, buildings));
    total += files.back().second.size();
  }
  const std::string zip = kl::geoportal::zipArchive(files);
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "kl_buildings_bench.zip";
  std::ofstream(path, std::ios::binary).write(zip.data(), static_cast<std::streamsize>(zip.size()));
  std::printf("package: %d entries, %.1f MB of sheets, %.1f MB zipped\n", entries, static_cast<double>(total) / 1e6,
              static_cast<double>(zip.size()) / 1e6);
  std::vector<double> ratios, scans;
  for (int round = 0; round < rounds; ++round) {
    std::string error;
    auto package = kl::buildings::openPackage(path.string(), error);
    if (!package) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    auto start = Clock::now();
    const kl::buildings::SheetScan scan = kl::buildings::scanPackage(*package);
    const double scanSeconds = seconds(start);
    std::uint64_t inflated = 0, most = 0;
    for (std::uint64_t n : scan.bytesInflated) {
      inflated += n;
      most = std::max(most, n);
    }
    start = Clock::now();
    std::uint64_t whole = 0;
    for (const auto& s : package->sheets) whole += kl::buildings::readSheet(*package, s.name).bytes.value_or("").size();
    const double wholeSeconds = seconds(start);
    std::printf("round %d: index of %zu sheets in %.3f s, %.0f bytes inflated per entry (most %llu); "
                "every sheet whole: %.3f s, %.1f MB; ratio %.1fx\n",
                round + 1, package->sheets.size(), scanSeconds,
                static_cast<double>(inflated) / static_cast<double>(scan.bytesInflated.size()),
                static_cast<unsigned long long>(most), wholeSeconds, static_cast<double>(whole) / 1e6,
                wholeSeconds / scanSeconds);
    ratios.push_back(wholeSeconds / scanSeconds);
    scans.push_back(scanSeconds);
  }
  std::printf("median: index %.3f s, whole sheets take %.1fx as long\n", kl::bench::median(scans),
              kl::bench::median(ratios));
  std::filesystem::remove(path);
  return 0;
}
