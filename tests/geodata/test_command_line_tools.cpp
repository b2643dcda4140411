// The two command-line tools end to end: coordinates in the line forms people
// paste, GML features with their count.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "tests/support/command_output.h"
#include "tests/support/scratch_folder.h"

namespace {

std::string run(const std::string& command, int* status = nullptr) {
  const kl::test::CommandRun r = kl::test::runCommand(command);
  if (status) *status = r.status;
  return r.out;
}

TEST(CoordsTool, ReadsTheLineFormsOfSpreadsheetsAndWindowsFilesAndMarksBadLines) {
  int status = 0;
  run(KL_COORDS_TOOL " --from 4326 --to 3857 < /dev/null 2>/dev/null", &status);
  EXPECT_NE(status, 0) << "an unknown code";
  const std::pair<const char*, const char*> cases[] = {
      {"52.1 21.0", "52.100\t21.000\n"},
      {"52,1 21,0", "52.100\t21.000\n"},
      {"52,1\\t21,0 x", "52.100\t21.000 x\n"},
      {"52.1,21.0,x", "52.100\t21.000,x\n"},
      {"52.1;21.0", "52.100\t21.000\n"},
      {"52,1;21,0", "52.100\t21.000\n"},
      {"52 ; 21,5", "52.000\t21.500\n"},
      {"52.1 21.0\\r", "52.100\t21.000\n"},
      {"52,1 abc", "*\t*\n"},
      {"52.1 nan", "*\t*\n"},
      {"abc\\n500000 500000", "*\t*\n500000.000\t500000.000\n"},  // a bad line ends nothing
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);  // as printf reads it
    EXPECT_EQ(run("printf '" + std::string(line) + "\\n' | " KL_COORDS_TOOL " --from 2180 --to 2180 2>/dev/null", &status),
              expected);
    EXPECT_EQ(status != 0, expected[0] == '*');
  }
  // Warsaw in PL-2000 zone 7, easting first, as cs2cs gives it (northing first).
  EXPECT_EQ(run("printf '52.2297 21.0122\\n' | " KL_COORDS_TOOL " --from 4326 --to EPSG:2178"),
            "7500833.512\t5788456.487\n");
}

// A document cut short past the first chunk has its first features written
// before the cut shows: the collection stays unclosed, so no reader takes it
// for a complete one; nor is an HTML page or an exception report a collection.
TEST(GmlTool, PrintsPl1992GeoJsonAndCountOrFailsWithoutACollection) {
  const kl::test::ScratchFolder dir;
  std::string cut = "<wfs:FeatureCollection xmlns:wfs=\"w\" xmlns:gml=\"g\" srsName=\"EPSG:2180\">";
  for (int i = 0; cut.size() < 3'000'000; ++i)
    cut += "<wfs:member><b gml:id=\"b." + std::to_string(i) + "\"><gml:Point><gml:pos>500000 600000</gml:pos>"
           "</gml:Point></b></wfs:member>";
  const struct {
    std::string path;
    std::size_t features;  // none: a failure
    const char* said;      // on standard error, in part
  } rows[] = {
      {std::string(KL_SAMPLES_DIR) + "/gml/egibplb__warszawa_gml_multiple_polygons.xml", 10, "Obiekty: 10\n"},
      {dir.write("maintenance.html", "<!DOCTYPE html><html><body><p>Przerwa techniczna</p></body></html>"), 0, ""},
      {dir.write("report.xml", "<?xml version=\"1.0\"?><ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\">"
                               "<ows:Exception exceptionCode=\"NoApplicableCode\"/></ows:ExceptionReport>"), 0, ""},
      {dir.write("cut.xml", cut), 0, "Niepoprawny dokument GML"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    int status = 0;
    const std::string out = run(KL_GML_TOOL " '" + row.path + "' 2>/dev/null", &status);
    const std::string said = run(KL_GML_TOOL " '" + row.path + "' 2>&1 >/dev/null");
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
    if (row.features > 0) {
      const auto json = nlohmann::json::parse(out);
      ASSERT_EQ(json["features"].size(), row.features);
      // Warsaw centre, PL-1992 easting
      EXPECT_NEAR(json["features"][0]["geometry"]["coordinates"][0][0][0].get<double>(), 638000.0, 5000.0);
    } else {
      EXPECT_NE(status, 0);
      EXPECT_FALSE(nlohmann::json::accept(out));
    }
  }
}

}  // namespace
