// Height grids: elevation sheets read (or refused, naming the sheet) and
// sampled; the frame cut into terrain tiles (counts, seams and the 4 x 4 cut;
// the import's missing sheet case drops the tiles without heights); the ground
// grid of the LiDAR points (layout and the clouds that must not break it;
// where its nodes sit, upper medians, hole filling and water are compared with
// the numpy reference on random clouds).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "terrain/ascii_grid_reader.h"
#include "terrain/ascii_grid_sampler.h"
#include "terrain/cloud_ground_grid.h"
#include "terrain/terrain_tiles.h"
#include "tests/support/scratch_folder.h"

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ReadCase {
  const char* name;
  std::optional<std::string> text;  // none: no such file
  // Refusal: a part of the message; empty when the sheet must be read.
  std::string refusal;
  // Read sheets: the first and last height and a part of the one warning.
  double first = 0.0, last = 0.0;
  std::string warning = {};
};

std::string header(const std::string& size, const std::string& rest = "xllcorner 10\nyllcorner 20\ncellsize 2\n") {
  return size + rest;
}

const std::string kWithNodata = "xllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9999\n";

// Headers as understood (decimal commas, DX/DY, CRLF and centre headers, and
// sheets without a nodata value) are compared with GDAL's reading of real and
// served sheets in the GDAL oracle test.
const ReadCase kReadCases[] = {
    {"fortran_exponents_plus_sign", header("ncols 2\nnrows 1\n") + "+.100E+03 1.5e-1\n", "", 100.0, 0.15},
    {"ends_early_nodata_warned", header("ncols 4\nnrows 3\n", kWithNodata) + "100.25 100.25 100.25 100.25 100.25\n", "",
     100.25, -9999.0, "brakuje 7 z 12 wartosci"},
    // A download cut inside "100.25" leaves "10": the last number of a
    // sheet that ends without a separator is missing data, not a cliff.
    {"cut_inside_last_number", header("ncols 4\nnrows 1\n", kWithNodata) + "100.25 100.25 10", "", 100.25, -9999.0,
     "brakuje 2 z 4 wartosci"},
    {"values_beyond_grid_warned", header("ncols 1\nnrows 1\n") + "1 2\n", "", 1.0, 1.0, "nadmiar"},
    {"unknown_word", header("ncols 2\nnrows 1\nfoo 3\n") + "1 2\n", "nieznane slowo naglowka 'foo'"},
    {"repeated_word", header("ncols 2\nnrows 1\nNROWS 1\n") + "1 2\n", "'nrows' powtorzone"},
    {"word_without_number", header("ncols 2\nnrows\n") + "1 2\n", "'nrows' bez liczby"},
    {"negative_cell_size", header("ncols 2\nnrows 1\n", "xllcorner 0\nyllcorner 0\ncellsize -1\n") + "1 2\n", "musi byc dodatni"},
    {"unequal_dx_dy", "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ndx 10\ndy 5\n3\n", "niekwadratowe"},
    {"missing_nrows", header("ncols 2\n") + "1 2\n", "brak 'nrows'"},
    {"corner_and_centre", header("ncols 1\nnrows 1\nxllcenter 3\n") + "1\n", "dwa poczatki osi x"},
    {"fractional_ncols", header("ncols 2.5\nnrows 1\n") + "1 2 3\n", "'ncols' musi byc"},
    {"non_numeric_value", header("ncols 4\nnrows 1\n") + "1 2 x 4\n", "wartosc nr 3 'x' nie jest liczba"},
    {"two_decimal_commas", header("ncols 2\nnrows 1\n") + "3 1,5,2\n", "wartosc nr 2 '1,5,2'"},
    {"infinite_value", header("ncols 2\nnrows 1\n") + "1 inf\n", "wartosc nr 2 'inf'"},
    {"header_only", header("ncols 2\nnrows 1\n"), "brak wartosci"},
    {"empty_file", "", "pusty (0 bajtow)"},
    {"N-34-1", std::nullopt, "nie mozna otworzyc pliku"},
    // A 32-bit product would wrap for 70 000 x 70 000 (tens of GB as it
    // stands): the header is checked before anything is allocated.
    {"header_wrapping_32_bits", header("ncols 70000\nnrows 70000\n") + "1 2 3\n", "4900000000 komorek, wiecej niz"},
    {"header_beyond_file", header("ncols 5000\nnrows 5000\n") + "1 2 3\n", "25000000 komorek, a plik ma tylko"},
};

TEST(ReadAsciiGrid, ReadsOrRefusesNamingTheSheet) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.name);
    test::ScratchFolder folder;
    const std::string file = std::string(c.name) + ".asc";
    const auto result = readAsciiGrid(c.text ? folder.write(file, *c.text) : folder.path() / file);
    const std::string sheet = "Arkusz " + file;
    if (!c.refusal.empty()) {
      EXPECT_FALSE(result.ok);
      EXPECT_EQ(result.message.rfind(sheet + " odrzucony: ", 0), 0u) << result.message;
      EXPECT_NE(result.message.find(c.refusal), std::string::npos) << result.message;
      EXPECT_TRUE(result.grid.heights.empty());
      continue;
    }
    ASSERT_TRUE(result.ok) << result.message;
    const AsciiGrid& g = result.grid;
    ASSERT_EQ(g.heights.size(), static_cast<std::size_t>(g.ncols) * static_cast<std::size_t>(g.nrows));
    EXPECT_DOUBLE_EQ(g.heights.front(), c.first);
    EXPECT_DOUBLE_EQ(g.heights.back(), c.last);
    std::string warnings;
    for (const std::string& w : result.warnings) warnings += w + "|";
    EXPECT_EQ(warnings.find(sheet), c.warning.empty() ? std::string::npos : 0u) << warnings;
    EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
    EXPECT_EQ(result.warnings.size(), c.warning.empty() ? 0u : 1u);
  }
}

// 3 x 3 cells of 10 m from (1000, 2000); file rows north first, one hole.
AsciiGrid sampledGrid() {
  return {3, 3, 1000.0, 2000.0, 10.0, -9999.0,
          {70, 80, 90,  //
           40, 50, -9999,
           10, 20, 30}};
}

struct SampleCase {
  const char* name;
  double x, y;
  std::optional<double> height;
};

const SampleCase kSampleCases[] = {
    {"west_edge_uses_column_0", 1000.0, 2005.0, 10.0},
    {"south_west_corner_clamped", 1000.0, 2000.0, 10.0},
    {"east_edge_is_outside", 1030.0, 2005.0, std::nullopt},
    {"north_edge_is_outside", 1005.0, 2030.0, std::nullopt},
    {"west_of_grid", 999.999, 2005.0, std::nullopt},
    {"next_to_hole_takes_own_cell", 1018.0, 2012.0, 50.0},
    {"inside_hole", 1025.0, 2015.0, std::nullopt},
    {"nan_x", kNaN, 2005.0, std::nullopt},
    {"far_beyond_int_range", 1e300, 2005.0, std::nullopt},
};

TEST(SampleAsciiGrid, BilinearWithHolesAndEdges) {
  for (const SampleCase& c : kSampleCases) {
    const auto height = sampleAsciiGrid(sampledGrid(), c.x, c.y);
    ASSERT_EQ(height.has_value(), c.height.has_value()) << c.name;
    if (c.height) {
      EXPECT_DOUBLE_EQ(*height, *c.height) << c.name;
    }
  }
}

struct GridCase {
  const char* what;
  geo::Bbox frame;
  double cell;
  std::vector<CloudXyz> ground;
  int nx, ny;
  std::int64_t valid;
  bool tooLarge = false;
  double origin = kNaN;  // the height of node (0, 0), when given
};

const GridCase kCases[] = {
    {"a cell size that is not positive is 1 m", {0, 0, 3, 0.5}, -2.0, {}, 4, 1, 0},
    {"points over half a cell beyond the outer nodes, and NaN coordinates or heights, are left out",
     {0, 0, 0.5, 0.5}, 1.0,
     {{0.2, 0.2, 100.0}, {-0.6, 0.2, 500.0}, {0.2, 0.5, 500.0}, {kNaN, 0.2, 500.0}, {0.3, 0.3, kNaN},
      {0.3, 0.3, std::numeric_limits<double>::infinity()}},
     1, 1, 1, false, 100.0},
    {"a frame of more cells than the cap is refused", {0, 0, 1e6, 1e6}, 0.1, {{1, 1, 1}}, 0, 0, 0, true},
    {"a frame whose cell count overflows 32 bits is refused", {0, 0, 1e12, 1e3}, 1.0, {}, 0, 0, 0, true},
    {"an inverted frame has no cells", {5, 0, 0, 5}, 1.0, {{1, 1, 1}}, 0, 0, 0},
    {"a NaN frame has no cells", {0, 0, kNaN, 5}, 1.0, {{1, 1, 1}}, 0, 0, 0},
};

TEST(CloudGround, CellsAndCounters) {
  for (const GridCase& k : kCases) {
    SCOPED_TRACE(k.what);
    const CloudGroundGrid g = buildCloudGroundGrid(k.ground, k.frame, k.cell, {}, false);
    EXPECT_EQ(g.tooLarge, k.tooLarge);
    ASSERT_EQ(g.heights.nx, k.nx);
    ASSERT_EQ(g.heights.ny, k.ny);
    ASSERT_EQ(g.heights.values.size(), static_cast<std::size_t>(k.nx) * static_cast<std::size_t>(k.ny));
    ASSERT_EQ(g.water.size(), g.heights.values.size());
    EXPECT_EQ(g.validCells, k.valid);
    if (!std::isnan(k.origin)) { EXPECT_DOUBLE_EQ(g.heights.at(0, 0), k.origin); }
  }
}

struct TileCase {
  const char* what;
  geo::Bbox frame;
  double step;
  std::size_t tiles;
  double coveredMaxX;  // east edge of the easternmost tile, metres from minX
  double coveredMaxY;
  std::size_t points;  // over all tiles, seams counted in each tile
  std::string message;
};

const TileCase kTileCases[] = {
    {"150 x 150 at 1 m: one tile of 151 x 151", {0, 0, 150, 150}, 1, 1, 150, 150, 151 * 151, ""},
    {"a step that is not positive is 1 m", {0, 0, 150, 150}, 0, 1, 150, 150, 151 * 151, ""},
    // Nx = 451: 3 tiles of 151 columns, seams at 151 and 302; Ny = 251: 2
    // tiles of 126 rows, seam at 126.
    {"450 x 250 at 1 m: 3 x 2 tiles sharing seams", {0, 0, 450, 250}, 1, 6, 450, 250,
     (152 + 152 + 149) * (127 + 125), ""},
    // Nx = 1001 wants 6 tiles, cut to 4 of 200 columns: 0..799; Ny = 601 in 4
    // rows of 151.
    {"1000 x 600 at 1 m: cut to 4 x 4", {0, 0, 1000, 600}, 1, 16, 799, 600, (201 * 3 + 200) * (152 * 3 + 148),
     "Kadr za duzy dla kroku 1 m - teren ograniczony do 4x4 platek. Zwieksz krok do >= 2 m, aby pokryc caly kadr."},
    {"a frame of kilometres at 1 m stays within 800 nodes per axis", {0, 0, 1e9, 1e9}, 1, 16, 799, 799, 803 * 803,
     "Kadr za duzy dla kroku 1 m - teren ograniczony do 4x4 platek. Zwieksz krok do >= 1251565 m, aby pokryc caly kadr."},
    {"a frame that is not a number gives nothing", {0, 0, kNaN, 10}, 1, 0, 0, 0, 0, ""},
};

TEST(BuildTerrainTiles, TilesMeetOnSeamsWithinTheirOwnExtent) {
  for (const TileCase& c : kTileCases) {
    SCOPED_TRACE(c.what);
    const geo::Bbox f = c.frame;
    const TerrainTiles got = buildTerrainTiles(f, c.step, [](double x, double y) -> std::optional<double> { return x + y; });
    ASSERT_EQ(got.tiles.size(), c.tiles);
    EXPECT_EQ(got.message, c.message);
    std::size_t points = 0;
    double maxX = 0, maxY = 0;
    for (const TerrainTile& t : got.tiles) {
      points += t.points.size();
      // A tile's extent is that of its own nodes, never the whole frame when
      // there is more than one tile.
      for (const TerrainPoint& p : t.points) {
        EXPECT_TRUE(p.x >= t.minX && p.x <= t.maxX && p.y >= t.minY && p.y <= t.maxY);
        EXPECT_DOUBLE_EQ(p.height, p.x + p.y);
      }
      if (c.tiles > 1) {
        EXPECT_LT((t.maxX - t.minX) * (t.maxY - t.minY), (f.maxX - f.minX) * (f.maxY - f.minY));
      }
      maxX = std::max(maxX, t.maxX - f.minX);
      maxY = std::max(maxY, t.maxY - f.minY);
    }
    if (c.tiles == 0) continue;
    EXPECT_EQ(points, c.points);
    EXPECT_DOUBLE_EQ(maxX, c.coveredMaxX);
    EXPECT_DOUBLE_EQ(maxY, c.coveredMaxY);
    // Each tile after the first of its row starts on the previous one's east seam.
    for (std::size_t i = 1; i < got.tiles.size(); ++i) {
      const TerrainTile& a = got.tiles[i - 1];
      const TerrainTile& b = got.tiles[i];
      if (a.minY == b.minY) {
        EXPECT_DOUBLE_EQ(b.minX, a.maxX);
      }
    }
  }
}

}  // namespace
}  // namespace kl::terrain
