// GML to PL-1992 GeoJSON on one document, as the kartolink-gml tool does it:
// the peak resident set of reading, parsing and writing the GeoJSON (to a
// stream that only counts the bytes) against the document's size, then the
// time of it against a bare pugixml parse of the same bytes, alternately round
// by round; the ratio is the median of the rounds' ratios.
//   kl_bench_geodata_gml FILE [ROUNDS]
#include <sys/resource.h>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

double peakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string text(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

// Counts what is written and keeps nothing.
class CountingBuffer : public std::streambuf {
 public:
  std::size_t count = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count += static_cast<std::size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    ++count;
    return c;
  }
};

// Bytes of GeoJSON; the document is taken over and parsed in place.
std::size_t gmlToGeoJson(std::string text, std::size_t* features) {
  const auto result = kl::geo::GmlParser::parseOwned(std::move(text), kl::geo::DataType::Buildings);
  *features = result.features.size();
  CountingBuffer counter;
  std::ostream out(&counter);
  kl::geo::writeGeoJson(out, result.features, kl::geo::GeoJsonCoordinates::Pl1992);
  return counter.count;
}

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Uzycie: kl_bench_geodata_gml PLIK [RUNDY]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 5;
  std::string text = readFile(argv[1]);
  const double mb = static_cast<double>(text.size()) / 1e6;
  std::size_t features = 0;
  const std::size_t jsonBytes = gmlToGeoJson(std::move(text), &features);
  const double peak = peakRssMb();
  std::printf("document_MB %.1f features %zu geojson_MB %.1f\n", mb, features, static_cast<double>(jsonBytes) / 1e6);
  std::printf("peak_rss_MB %.1f peak_over_document %.2f\n", peak, peak / mb);

  std::vector<double> ours, bare, ratio;
  for (int r = 0; r < rounds; ++r) {
    std::string forPugi = readFile(argv[1]);
    std::string forUs = forPugi;
    const auto t0 = Clock::now();
    {
      pugi::xml_document doc;
      if (!doc.load_buffer_inplace(forPugi.data(), forPugi.size())) return 1;
    }
    const auto t1 = Clock::now();
    gmlToGeoJson(std::move(forUs), &features);
    const auto t2 = Clock::now();
    bare.push_back(seconds(t0, t1));
    ours.push_back(seconds(t1, t2));
    ratio.push_back(ours.back() / bare.back());
  }
  std::printf("gml_to_geojson_s %.3f (%.1f MB/s) bare_pugixml_parse_s %.3f (%.1f MB/s) ours_over_pugixml %.2f\n",
              median(ours), mb / median(ours), median(bare), mb / median(bare), median(ratio));
  return 0;
}
