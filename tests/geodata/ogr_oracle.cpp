#include "tests/geodata/ogr_oracle.h"

#include <cstdlib>
#include <regex>
#include <sstream>

#include "tests/support/command_output.h"

namespace kl::geo::testing {
namespace {

const std::string kGdalEnvironment =
    "env -u no_proxy -u NO_PROXY http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9 "
    "GDAL_HTTP_PROXY=127.0.0.1:9 GDAL_HTTP_TIMEOUT=1 GDAL_HTTP_MAX_RETRY=0 LC_ALL=C ";
const std::string kGmlOptions = "--config GML_DOWNLOAD_WFS_SCHEMA NO -oo WRITE_GFS=NO ";

std::string quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

int runGdalCommand(const std::string& arguments) {
  return std::system((kGdalEnvironment + arguments).c_str());
}

std::vector<std::string> ogrLayers(const std::string& path) {
  std::vector<std::string> layers;
  const std::string command =
      kGdalEnvironment + "ogrinfo " + kGmlOptions + "-ro -q " + quoted(path) + " 2>/dev/null";
  const std::regex line(R"(^\d+: (\S+))");
  std::istringstream lines(test::runCommand(command).out);
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (std::regex_search(text, m, line)) layers.push_back(m[1].str());
  }
  return layers;
}

std::optional<nlohmann::json> ogrLayerAsGeoJson(const std::string& path, const std::string& layer,
                                                const std::string& options) {
  const test::CommandRun run = test::runCommand(kGdalEnvironment + "ogr2ogr " + kGmlOptions + "-f GeoJSON " + options +
                                                " -lco COORDINATE_PRECISION=6 /vsistdout/ " + quoted(path) + " " +
                                                quoted(layer) + " 2>/dev/null");
  nlohmann::json parsed = nlohmann::json::parse(run.out, nullptr, false);
  if (run.status != 0 || parsed.is_discarded()) return std::nullopt;
  return parsed;
}

}  // namespace kl::geo::testing
