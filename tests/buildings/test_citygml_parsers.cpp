// The LOD1 and LOD2 building parsers on small sheets that each hold one case,
// and on the real CityGML files of the shared samples, read in place.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "buildings/lod1_parser.h"
#include "buildings/lod2_parser.h"
#include "buildings/sheet_extent.h"
#include "tests/geodata/sample_files.h"

namespace kl::buildings {
namespace {

const geo::Bbox kEverywhere{-1e9, -1e9, 1e9, 1e9};

std::string sample(const std::string& name) {
  return geo::testing::readWholeFile(std::string(KL_SAMPLES_DIR) + "/citygml/" + name);
}

std::string doc(const std::string& body) {
  return "<core:CityModel xmlns:core=\"c\" xmlns:bldg=\"b\" xmlns:gml=\"g\">" + body + "</core:CityModel>";
}

std::string ring(const std::string& positions) {
  return "<gml:Polygon><gml:exterior><gml:LinearRing>" + positions + "</gml:LinearRing></gml:exterior></gml:Polygon>";
}

std::string posList(const std::string& numbers) { return "<gml:posList>" + numbers + "</gml:posList>"; }

const std::string kGround = ring(posList("0 0 100 10 0 100 10 10 100 0 10 100 0 0 100"));
const std::string kTop = ring(posList("0 0 109 10 0 109 10 10 109 0 10 109 0 0 109"));

std::string building(const std::string& id, const std::string& inner) {
  return "<bldg:Building gml:id=\"" + id + "\">" + inner + "</bldg:Building>";
}

struct Lod1Row {
  const char* name;
  std::string sheet;
  geo::Bbox frame;
  std::vector<std::string> ids;
  int unusable;
  std::size_t footprintPoints;  // of the first building
  double height;                // of the first building
};

// Rings from pos elements, rings whose heights stop short and nested buildings
// are read by code both parsers share: they are the LOD2 rows (and the GDAL
// comparison reads the malformed samples with both parsers).
TEST(Lod1Parser, EachBuildingOnceWithAnOpenFootprintItsBaseAndHeight) {
  const Lod1Row rows[] = {
      {"closing point stripped, height from the spread", doc(building("a", kGround + kTop)), kEverywhere, {"a"}, 0, 4, 9},
      {"measuredHeight wins", doc(building("a", "<bldg:measuredHeight>12.5</bldg:measuredHeight>" + kGround + kTop)),
       kEverywhere, {"a"}, 0, 4, 12.5},
      {"measuredHeight 0 with a 9 m spread", doc(building("a", "<bldg:measuredHeight>0</bldg:measuredHeight>" + kGround + kTop)),
       kEverywhere, {"a"}, 0, 4, 9},
      {"measuredHeight 0 and one height for all points",
       doc(building("a", "<bldg:measuredHeight>0</bldg:measuredHeight>" + kGround)), kEverywhere, {}, 1, 0, 0},
      {"no ring", doc(building("a", "<bldg:measuredHeight>5</bldg:measuredHeight>")), kEverywhere, {}, 1, 0, 0},
      {"geometry held by a BuildingPart",
       doc(building("a", "<bldg:consistsOfBuildingPart><bldg:BuildingPart gml:id=\"a_1\">" + kGround + kTop +
                             "</bldg:BuildingPart></bldg:consistsOfBuildingPart>")),
       kEverywhere, {"a"}, 0, 4, 9},
      // The closed-interval frame test the package's sheet selection shares.
      {"footprint touching the frame edge", doc(building("a", kGround + kTop)), {10, 10, 20, 20}, {"a"}, 0, 4, 9},
      {"footprint outside the frame", doc(building("a", kGround + kTop)), {10.5, 10.5, 20, 20}, {}, 0, 0, 0},
      {"not XML", "Budynek;0 0 100", kEverywhere, {}, 0, 0, 0},
      {"unclosed three-point ring sample", sample("gocitygml__malformed_ring.gml"), kEverywhere, {"BLDG_BAD_RING"}, 0,
       3, 10},
  };
  for (const Lod1Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SheetBuildings<Lod1Building> got = parseLod1Buildings(row.sheet, row.frame);
    std::vector<std::string> ids;
    for (const Lod1Building& b : got.buildings) ids.push_back(b.id);
    EXPECT_EQ(ids, row.ids);
    EXPECT_EQ(got.unusable, row.unusable);
    if (got.buildings.empty()) continue;
    EXPECT_EQ(got.buildings[0].footprint.size(), row.footprintPoints);
    if (row.height > 0) {
      EXPECT_DOUBLE_EQ(got.buildings[0].height, row.height);
    }
  }
}

std::string surface(const char* kind, const std::string& polygon) {
  return std::string("<bldg:boundedBy><bldg:") + kind + "><bldg:lod2MultiSurface><gml:MultiSurface><gml:surfaceMember>" +
         polygon + "</gml:surfaceMember></gml:MultiSurface></bldg:lod2MultiSurface></bldg:" + kind + "></bldg:boundedBy>";
}

struct Lod2Row {
  const char* name;
  std::string sheet;
  geo::Bbox frame;
  std::vector<std::size_t> facePoints;  // exterior points per face of the first building
  std::string roofType;
  int unusable;
};

TEST(Lod2Parser, FacesInDocumentOrderFromPosAndPosList) {
  const std::string fourPos =
      ring("<gml:pos>0 0 1</gml:pos><gml:pos>4 0 1</gml:pos><gml:pos>4 4 1</gml:pos><gml:pos>0 4 1</gml:pos>");
  const Lod2Row rows[] = {
      {"four pos elements", doc(building("a", fourPos)), kEverywhere, {4}, "", 0},
      {"two pos elements: no face", doc(building("a", ring("<gml:pos>0 0 1</gml:pos><gml:pos>4 0 1</gml:pos>"))),
       kEverywhere, {}, "", 1},
      {"a pos then a posList of two triples",
       doc(building("a", ring("<gml:pos>0 0 1</gml:pos>" + posList("4 0 1 4 4 1")))), kEverywhere, {3}, "", 0},
      {"roofType kept as written", doc(building("a", "<bldg:roofType> 3100 </bldg:roofType>" + kGround)), kEverywhere,
       {4}, "3100", 0},
      {"heights short of the points: that face skipped, the next kept",
       doc(building("a", ring(posList("0 0 1 4 0 1 4 4 1 0 4")) + kTop)), kEverywhere, {4}, "", 0},
      {"a hole that cannot be read drops its face",
       doc(building("a", "<gml:Polygon><gml:exterior><gml:LinearRing>" + posList("0 0 1 9 0 1 9 9 1") +
                             "</gml:LinearRing></gml:exterior><gml:interior><gml:LinearRing>" + posList("1 1 1 2 2") +
                             "</gml:LinearRing></gml:interior></gml:Polygon>" + kTop)),
       kEverywhere, {4}, "", 0},
      {"all faces outside the frame", doc(building("a", kGround)), {20, 20, 30, 30}, {}, "", 0},
      {"nested Building and a BuildingPart belong to the outer building",
       doc(building("a", kGround + building("b", kTop) +
                             "<bldg:consistsOfBuildingPart><bldg:BuildingPart>" + fourPos +
                             "</bldg:BuildingPart></bldg:consistsOfBuildingPart>")),
       kEverywhere, {4, 4, 4}, "", 0},
  };
  for (const Lod2Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SheetBuildings<Lod2Building> got = parseLod2Buildings(row.sheet, row.frame);
    EXPECT_EQ(got.unusable, row.unusable);
    if (row.facePoints.empty()) {
      EXPECT_TRUE(got.buildings.empty());
      continue;
    }
    ASSERT_EQ(got.buildings.size(), 1u);
    std::vector<std::size_t> points;
    for (const Lod2Face& f : got.buildings[0].faces) points.push_back(f.exterior.size());
    EXPECT_EQ(points, row.facePoints);
    EXPECT_EQ(got.buildings[0].roofType, row.roofType);
  }
}

// Which surface gives which kind is read from the real samples below.
TEST(Lod2Parser, ACourtyardStaysAHoleOfItsFaceAndAFaceOutsideEverySurfaceIsOther) {
  const std::string courtyard =
      "<gml:Polygon><gml:exterior><gml:LinearRing>" + posList("0 0 0 30 0 0 30 30 0 0 30 0 0 0 0") +
      "</gml:LinearRing></gml:exterior><gml:interior><gml:LinearRing>" + posList("10 10 0 10 20 0 20 20 0 20 10 0 10 10 0") +
      "</gml:LinearRing></gml:interior></gml:Polygon>";
  const std::string solid = "<bldg:lod2Solid>" + kTop + "</bldg:lod2Solid>";
  const auto got = parseLod2Buildings(doc(building("a", surface("GroundSurface", courtyard) + solid)), kEverywhere);
  ASSERT_EQ(got.buildings.size(), 1u);
  const auto& faces = got.buildings[0].faces;
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[1].kind, FaceKind::Other);
  ASSERT_EQ(faces[0].holes.size(), 1u);
  EXPECT_EQ(faces[0].exterior.size(), 4u);
  EXPECT_EQ(faces[0].holes[0], (std::vector<Point3d>{{10, 10, 0}, {10, 20, 0}, {20, 20, 0}, {20, 10, 0}}));
}

// Every real sample: the kinds of faces its text has surfaces of, holes where it has interior rings.
TEST(Lod2Parser, RealSamplesGiveTheirSemanticFaces) {
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KL_SAMPLES_DIR) + "/citygml")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = geo::testing::readWholeFile(entry.path().string());
    const auto got = parseLod2Buildings(text, kEverywhere);
    EXPECT_GE(got.buildings.size() + static_cast<std::size_t>(got.unusable), 1u);
    std::set<FaceKind> kinds;
    bool hole = false;
    for (const Lod2Building& b : got.buildings)
      for (const Lod2Face& f : b.faces) {
        if (f.kind != FaceKind::Other) kinds.insert(f.kind);
        hole = hole || !f.holes.empty();
        EXPECT_GE(f.exterior.size(), 3u);
        EXPECT_NE(f.exterior.front(), f.exterior.back());
      }
    std::set<FaceKind> surfaces;
    for (const auto& [name, kind] : {std::pair{"RoofSurface", FaceKind::Roof}, std::pair{"WallSurface", FaceKind::Wall},
                                     std::pair{"GroundSurface", FaceKind::Ground}})
      if (text.find(name) != std::string::npos) surfaces.insert(kind);
    EXPECT_EQ(kinds, surfaces);
    EXPECT_EQ(hole, text.find("interior>") != std::string::npos);
  }
}

TEST(SheetExtent, TheFirstEnvelopeOnlyOnceItIsWhole) {
  const std::string envelope =
      "<gml:Envelope><gml:lowerCorner>1 2 3</gml:lowerCorner><gml:upperCorner>4 5 6</gml:upperCorner></gml:Envelope>";
  const std::string full = doc("<gml:boundedBy>" + envelope + "</gml:boundedBy>" + kGround);
  const std::size_t cut = full.find("</gml:upperCorner>");
  EXPECT_EQ(sheetExtent(full.substr(0, full.find("</gml:Envelope>") + 15)), (geo::Bbox{1, 2, 4, 5}));
  for (std::size_t at : {cut - 2, cut, cut + 5}) EXPECT_FALSE(sheetExtent(full.substr(0, at))) << at;
  EXPECT_FALSE(sheetExtent(doc("<gml:Envelope><gml:lowerCorner>1 2</gml:lowerCorner><gml:upperCorner>4 5 6"
                               "</gml:upperCorner></gml:Envelope>")));
}

}  // namespace
}  // namespace kl::buildings
