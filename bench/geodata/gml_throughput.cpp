// Parse speed and peak memory of one GML document.
//   kl_bench_geodata_gml FILE
// Prints MB/s of GmlParser::parse, of parse plus PL-1992 GeoJSON output, and
// the process's peak resident set after parsing (text included) relative to
// the document size, and with the GeoJSON text built as well.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"

namespace {

double peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Uzycie: kl_bench_geodata_gml PLIK\n");
    return 2;
  }
  std::string text;
  {
    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    text.resize(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const double mb = static_cast<double>(text.size()) / 1e6;
  const double rssBefore = peakRssMb();
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  std::size_t features = 0;
  std::size_t jsonBytes = 0;
  {
    const auto result =
        kl::geo::GmlParser::parseOwned(std::move(text), kl::geo::DataType::Buildings);
    features = result.features.size();
    const auto t1 = Clock::now();
    std::printf("parse_peak_rss_MB %.1f parse_peak_over_document %.2f\n", peakRssMb(),
                peakRssMb() / mb);
    std::printf("parse_s %.3f parse_MB_per_s %.1f\n",
                std::chrono::duration<double>(t1 - t0).count(),
                mb / std::chrono::duration<double>(t1 - t0).count());
    jsonBytes = kl::geo::toGeoJson(result.features, kl::geo::GeoJsonCoordinates::Pl1992)
                    .dump()
                    .size();
    const auto t2 = Clock::now();
    std::printf("parse_geojson_s %.3f parse_geojson_MB_per_s %.1f\n",
                std::chrono::duration<double>(t2 - t0).count(),
                mb / std::chrono::duration<double>(t2 - t0).count());
  }
  const double rssPeak = peakRssMb();
  std::printf("document_MB %.1f features %zu geojson_MB %.1f\n", mb, features,
              static_cast<double>(jsonBytes) / 1e6);
  std::printf("peak_rss_with_geojson_MB %.1f rss_with_text_loaded_MB %.1f\n", rssPeak,
              rssBefore);
  return 0;
}
