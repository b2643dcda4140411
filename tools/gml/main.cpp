// Prints the features of a GML document as GeoJSON in PL-1992 coordinates;
// the number of features goes to stderr.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"
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
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    std::fprintf(stderr, "Nie mozna otworzyc pliku: %s\n", path);
    return 1;
  }
  // Read in one piece into a string of the file's size, which the parser then
  // takes over and reads in place: the document is held once.
  std::string text(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
    std::fprintf(stderr, "Blad odczytu pliku: %s\n", path);
    return 1;
  }
  // An HTML error page or an exception report saved in place of an answer
  // is not an empty feature collection.
  if (const std::string mismatch = kl::net::wholeBodyMismatch(kl::net::ExpectedBody::Xml, text); !mismatch.empty()) {
    std::fprintf(stderr, "%s: %s\n", path, mismatch.c_str());
    return 1;
  }
  const GmlParseResult result = GmlParser::parseOwned(std::move(text), type);
  writeGeoJson(std::cout, result.features, GeoJsonCoordinates::Pl1992);
  std::cout << '\n';
  if (!std::cout.flush()) {
    std::fprintf(stderr, "Blad zapisu wyniku (pelny dysk?)\n");
    return 1;
  }
  std::fprintf(stderr, "Obiekty: %zu\n", result.features.size());
  for (const std::string& warning : result.warnings) std::fprintf(stderr, "Uwaga: %s\n", warning.c_str());
  if (!result.ok()) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
  }
  return 0;
}
