// GML to PL-1992 GeoJSON on one document, as the kartolink-gml tool does it
// (member by member from the file): the peak resident set of reading, parsing
// and writing the GeoJSON (to a stream that only counts the bytes) against the
// document's size, then the time of it against a bare pugixml parse of the
// same bytes held in memory, alternately round by round; the ratio is the
// median of the rounds' ratios. The processor time (every thread of the
// process) is given beside the elapsed time: on a shared machine the elapsed
// time says as much about the neighbours as about the work.
//   kl_bench_geodata_gml FILE [ROUNDS]
#include <time.h>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include "geodata/geojson.h"
#include "geodata/gml_stream.h"
#include "bench/measure.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// Bytes of GeoJSON of the document in the file.
std::size_t gmlToGeoJson(const char* path, std::size_t* features) {
  std::ifstream in(path, std::ios::binary);
  CountingBuffer counter;
  std::ostream out(&counter);
  *features = 0;
  kl::geo::GeoJsonCollectionWriter writer(out, kl::geo::GeoJsonCoordinates::Pl1992);
  const auto result = kl::geo::streamGmlFeatures(in, kl::geo::DataType::Buildings, [&](kl::geo::GisFeature&& f) {
    writer.add(f);
    ++*features;
  });
  if (!result.ok()) std::fprintf(stderr, "%s\n", result.message.c_str());
  writer.finish();
  return counter.count;
}

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

using kl::bench::median;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Uzycie: kl_bench_geodata_gml PLIK [RUNDY]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 5;
  std::size_t features = 0;
  const std::size_t jsonBytes = gmlToGeoJson(argv[1], &features);
  const double peak = static_cast<double>(kl::bench::peakRssKb()) / 1024.0;
  const double mb = static_cast<double>(readFile(argv[1]).size()) / 1e6;
  std::printf("document_MB %.1f features %zu geojson_MB %.1f\n", mb, features, static_cast<double>(jsonBytes) / 1e6);
  std::printf("peak_rss_MB %.1f peak_over_document %.2f\n", peak, peak / mb);

  std::vector<double> ours, bare, ratio, oursCpu, bareCpu, cpuRatio;
  for (int r = 0; r < rounds; ++r) {
    std::string forPugi = readFile(argv[1]);
    const auto t0 = Clock::now();
    const double c0 = kl::bench::cpuSeconds();
    {
      pugi::xml_document doc;
      if (!doc.load_buffer_inplace(forPugi.data(), forPugi.size())) return 1;
    }
    const auto t1 = Clock::now();
    const double c1 = kl::bench::cpuSeconds();
    gmlToGeoJson(argv[1], &features);
    const auto t2 = Clock::now();
    const double c2 = kl::bench::cpuSeconds();
    bareCpu.push_back(c1 - c0);
    oursCpu.push_back(c2 - c1);
    cpuRatio.push_back(oursCpu.back() / bareCpu.back());
    bare.push_back(seconds(t0, t1));
    ours.push_back(seconds(t1, t2));
    ratio.push_back(ours.back() / bare.back());
  }
  std::printf("gml_to_geojson_s %.3f (%.1f MB/s) bare_pugixml_parse_s %.3f (%.1f MB/s) ours_over_pugixml %.2f\n",
              median(ours), mb / median(ours), median(bare), mb / median(bare), median(ratio));
  std::printf("processor_s gml_to_geojson %.3f bare_pugixml_parse %.3f ours_over_pugixml %.2f\n", median(oursCpu),
              median(bareCpu), median(cpuRatio));
  return 0;
}
