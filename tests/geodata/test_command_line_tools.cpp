// The two command-line tools end to end: coordinates against cs2cs, GML
// features with their count.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <string>

#include "tests/geodata/proj_oracle.h"

namespace {

std::string run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int rc = pclose(pipe);
  if (status) *status = rc;
  return out;
}

TEST(CoordsTool, AgreesWithCs2csBothWays) {
  const std::vector<std::pair<double, double>> latLon = {{52.2297, 21.0122}, {54.35, 18.65},
                                                         {50.06, 19.94}, {53.13, 23.16}};
  const auto proj = kl::geo::testing::runCs2cs("EPSG:4326", "EPSG:2178", latLon);
  if (!proj) GTEST_SKIP() << "cs2cs is not available";
  std::string input;
  for (const auto& [la, lo] : latLon) input += std::to_string(la) + " " + std::to_string(lo) + "\n";
  const std::string out = run("printf '" + input + "' | " KL_COORDS_TOOL " --from 4326 --to EPSG:2178");
  std::size_t pos = 0;
  for (const auto& [north, east] : *proj) {
    double e = 0;
    double n = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + pos, "%lf %lf", &e, &n), 2);
    EXPECT_NEAR(e, east, 1e-3);
    EXPECT_NEAR(n, north, 1e-3);
    pos = out.find('\n', pos) + 1;
  }
}

TEST(CoordsTool, RejectsUnknownCodesAndMarksBadLines) {
  int status = 0;
  run(KL_COORDS_TOOL " --from 4326 --to 3857 < /dev/null 2>/dev/null", &status);
  EXPECT_NE(status, 0);
  const std::string out = run("printf 'abc\\n500000 500000\\n' | " KL_COORDS_TOOL
                              " --from 2180 --to 2180 2>/dev/null", &status);
  EXPECT_EQ(out, "*\t*\n500000.000\t500000.000\n");
  EXPECT_NE(status, 0);
}

TEST(GmlTool, PrintsPl1992GeoJsonAndCount) {
  const std::string sample =
      std::string(KL_SAMPLES_DIR) + "/gml/egibplb__warszawa_gml_multiple_polygons.xml";
  const std::string out = run(KL_GML_TOOL " '" + sample + "' 2>&1 >/dev/null");
  EXPECT_EQ(out, "Obiekty: 10\n");
  const auto json = nlohmann::json::parse(run(KL_GML_TOOL " '" + sample + "' 2>/dev/null"));
  ASSERT_EQ(json["features"].size(), 10u);
  const double x = json["features"][0]["geometry"]["coordinates"][0][0][0].get<double>();
  EXPECT_NEAR(x, 638000.0, 5000.0);  // Warsaw centre, PL-1992 easting
}

}  // namespace
