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
      {"52.1 21.0\\r", "52.100\t21.000\n"},
      {"52,1 21,0\\r", "52.100\t21.000\n"},
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

// A document cut short past the first chunk has its first features written
// before the cut shows: the collection stays unclosed, so no reader takes it
// for a complete one.
std::string cutLargeCollection() {
  std::string doc = "<wfs:FeatureCollection xmlns:wfs=\"w\" xmlns:gml=\"g\" srsName=\"EPSG:2180\">";
  for (int i = 0; doc.size() < 3'000'000; ++i) {
    doc += "<wfs:member><b gml:id=\"b." + std::to_string(i) +
           "\"><gml:Point><gml:pos>500000 600000</gml:pos></gml:Point></b></wfs:member>";
  }
  return doc;
}

TEST(GmlTool, AnHtmlPageAReportOrACutDocumentIsAFailureNotACollection) {
  const kl::test::ScratchFolder dir;
  const std::pair<const char*, std::string> pages[] = {
      {"maintenance.html", "<!DOCTYPE html><html><body><p>Przerwa techniczna</p></body></html>"},
      {"report.xml", "<?xml version=\"1.0\"?><ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\">"
                     "<ows:Exception exceptionCode=\"NoApplicableCode\"/></ows:ExceptionReport>"},
      {"cut.xml", cutLargeCollection()}};
  for (const auto& [name, text] : pages) {
    SCOPED_TRACE(name);
    const std::string path = dir.write(name, text).string();
    int status = 0;
    const std::string out = run(KL_GML_TOOL " '" + path + "' 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(nlohmann::json::accept(out));
  }
  const std::string cut = run(KL_GML_TOOL " '" + (dir.path() / "cut.xml").string() + "' 2>&1 >/dev/null");
  EXPECT_NE(cut.find("Niepoprawny dokument GML"), std::string::npos) << cut;
}

}  // namespace
