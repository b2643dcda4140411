// Prints the features of a GML document as GeoJSON in PL-1992 coordinates;
// the number of features goes to stderr.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "geodata/geojson.h"
#include "geodata/gml_stream.h"
#include "net/body_kind.h"
#include "tools/cli/command_line.h"

namespace {

constexpr const char* kUsage =
    "Uzycie: kartolink-gml PLIK.gml [--kind KLUCZ]\n"
    "  Wypisuje obiekty dokumentu GML jako GeoJSON w ukladzie PL-1992; ich liczba idzie na stderr.\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kl::geo;
  const char* path = nullptr;
  DataType type = DataType::Parcels;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (kl::tools::isHelpFlag(arg)) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--kind" && i + 1 < argc) {
      const auto parsed = dataTypeFromKey(argv[++i]);
      if (!parsed) {
        std::fprintf(stderr, "Nieznany rodzaj danych: %s\n", argv[i]);
        return 2;
      }
      type = *parsed;
    } else if (!path && !arg.empty() && arg[0] != '-') {
      path = argv[i];
    } else {
      return usage();
    }
  }
  if (!path) return usage();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "Nie mozna otworzyc pliku: %s\n", path);
    return 1;
  }
  // An HTML error page or an exception report saved in place of an answer
  // is not an empty feature collection.
  std::string head(kl::net::kBodyHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (const std::string mismatch = kl::net::bodyMismatch(kl::net::ExpectedBody::Xml, head); !mismatch.empty()) {
    std::fprintf(stderr, "%s: %s\n", path, mismatch.c_str());
    return 1;
  }
  in.clear();
  in.seekg(0);
  // Member by member: each feature is written as soon as it is read, so the
  // document is never held whole. A document cut short leaves the collection
  // unclosed on stdout besides the message and the failure status.
  std::size_t features = 0;
  GmlParseResult result;
  {
    GeoJsonCollectionWriter writer(std::cout, GeoJsonCoordinates::Pl1992);
    result = streamGmlFeatures(in, type, [&](GisFeature&& feature) {
      writer.add(feature);
      ++features;
    });
    if (result.ok()) writer.finish();
  }
  if (in.bad()) {
    std::fprintf(stderr, "Blad odczytu pliku: %s\n", path);
    return 1;
  }
  if (result.ok()) std::cout << '\n';
  if (!std::cout.flush()) {
    std::fprintf(stderr, "Blad zapisu wyniku (pelny dysk?)\n");
    return 1;
  }
  std::fprintf(stderr, "Obiekty: %zu\n", features);
  for (const std::string& warning : result.warnings) std::fprintf(stderr, "Uwaga: %s\n", warning.c_str());
  if (!result.ok()) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
  }
  return 0;
}
