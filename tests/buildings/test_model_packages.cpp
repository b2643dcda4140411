// The package machinery on damaged and hostile zips, and the sheet index
// beside a package: what is refused, what is said, what is left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "buildings/model_package.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/scratch_folder.h"
#include "tools/geoportal/zip_writer.h"

namespace kl::buildings {
namespace {

namespace fs = std::filesystem;
using kl::test::ScratchFolder;
using geoportal::zipArchive;

// A sheet whose Envelope spans the box, after `beforeEnvelope`.
std::string sheetText(int minX, int minY, int maxX, int maxY, const std::string& beforeEnvelope = {}) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<core:CityModel xmlns:core=\"http://www.opengis.net/citygml/2.0\""
         " xmlns:gml=\"http://www.opengis.net/gml\">" + beforeEnvelope +
         "<gml:boundedBy><gml:Envelope srsDimension=\"3\"><gml:lowerCorner>" + std::to_string(minX) + " " +
         std::to_string(minY) + " 0</gml:lowerCorner><gml:upperCorner>" + std::to_string(maxX) + " " +
         std::to_string(maxY) + " 10</gml:upperCorner></gml:Envelope></gml:boundedBy></core:CityModel>\n";
}

// Sets the uncompressed size the local and central headers of every entry claim.
std::string withClaimedSize(std::string zip, std::uint32_t size) {
  for (const auto& [signature, offset] : {std::pair{"PK\x03\x04", 22}, std::pair{"PK\x01\x02", 24}})
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4))
      for (int i = 0; i < 4; ++i) zip[at + offset + i] = static_cast<char>((size >> (8 * i)) & 0xff);
  return zip;
}

const std::string kSheet = sheetText(100, 200, 300, 400);
// A sheet whose Envelope only comes after the first 8 KB.
const std::string kLateSheet = sheetText(100, 200, 300, 400, "<!--" + std::string(9000, 'x') + "-->");

struct BadPackage {
  const char* name;
  std::string zip;
  ReadLimits limits;
  const char* error;    // scan or open failure; empty when the package opens with sheets
  const char* warning;  // expected in one scan warning; empty for none
  std::vector<std::string> sheets;
  bool indexBlocked = false;  // a folder where the index goes, so its rename must fail
};

std::string bomb() {
  std::string text = kLateSheet;
  text.insert(text.find("<gml:boundedBy>"), std::string(20 * 1024 * 1024, ' '));
  return text;
}

std::vector<BadPackage> badPackages() {
  const std::string good = zipArchive({{"a.gml", kSheet}});
  return {
      {"directory-only zip", zipArchive({{"0201/", {}}, {"0201/LOD1/", {}}}), {},
       "Paczka modeli 3D nie zawiera czytelnych arkuszy.", "", {}},
      {"entry that is not XML", zipArchive({{"a.gml", std::string(10000, '\x01')}}), {},
       "Paczka modeli 3D nie zawiera czytelnych arkuszy.", "", {}},
      {"entry claiming 3 GB", withClaimedSize(zipArchive({{"late.gml", kLateSheet}}), 3000000000u), {},
       "Paczka modeli 3D nie zawiera czytelnych arkuszy.", "przekracza limit", {}},
      {"zip bomb beside a good sheet", zipArchive({{"bomb.gml", bomb()}, {"a.gml", kSheet}}), {}, "",
       "mozliwa bomba zip", {"a.gml"}},
      {"entry above the cap", zipArchive({{"big.gml", kLateSheet + std::string(300000, ' ')}, {"a.gml", kSheet}}),
       ReadLimits{200000, 200, 1024 * 1024}, "", "przekracza limit", {"a.gml"}},
      {"entry inflating past the cap while claiming 100 bytes",
       withClaimedSize(zipArchive({{"late.gml", kLateSheet}}), 100), ReadLimits{9000, 200, 1024 * 1024},
       "Paczka modeli 3D nie zawiera czytelnych arkuszy.", "po rozpakowaniu przekracza limit", {}},
      {"names that climb out or are absolute", zipArchive({{"../../evil.gml", kSheet}, {"/tmp/kl_abs.gml", kSheet}}),
       {}, "", "", {"../../evil.gml", "/tmp/kl_abs.gml"}},
      {"names with tab, newline and Polish letters",
       zipArchive({{"a\tb\nc\\d.gml", kSheet}, {"Bolesławiec_łąka.gml", kSheet}}), {}, "", "",
       {"a\tb\nc\\d.gml", "Bolesławiec_łąka.gml"}},
      {"an index that cannot be written", good, {}, "",
       "Nie zapisano indeksu arkuszy paczki modeli 3D - kolejne pobranie przejrzy paczke ponownie.", {"a.gml"}, true},
  };
}

TEST(ModelPackage, DamagedAndHostilePackagesAreRefusedWithAReasonAndNothingIsWrittenByEntryName) {
  const bool absoluteExisted = fs::exists("/tmp/kl_abs.gml");
  for (const BadPackage& row : badPackages()) {
    SCOPED_TRACE(row.name);
    ScratchFolder dir;
    const fs::path inner = dir.path() / "cache" / "deeper";
    fs::create_directories(inner);
    const std::string path = (inner / "0201.zip").string();
    std::ofstream(path, std::ios::binary).write(row.zip.data(), static_cast<std::streamsize>(row.zip.size()));
    if (row.indexBlocked) fs::create_directory(indexPathOf(path));
    std::string error;
    std::unique_ptr<ModelPackage> package = openPackage(path, error);
    SheetScan scan;
    if (package) {
      scan = loadSheets(*package, row.limits);
      error = scan.error;
    }
    EXPECT_EQ(error.substr(0, std::string(row.error).size()), row.error) << error;
    std::string warnings;
    for (const std::string& w : scan.warnings) warnings += w + "|";
    if (*row.warning) {
      EXPECT_NE(warnings.find(row.warning), std::string::npos) << warnings;
    } else {
      EXPECT_EQ(warnings, "");
    }
    if (!package) continue;
    std::vector<std::string> names;
    for (const SheetEntry& s : package->sheets) names.push_back(s.name);
    EXPECT_EQ(names, row.sheets);
    for (const std::string& name : row.sheets) EXPECT_EQ(readSheet(*package, name).bytes.value_or(""), kSheet);
    // Only the package and, for a package read whole, its index.
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      if (e.is_regular_file()) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    const std::vector<std::string> indexed{"0201.zip", "0201.zip.idx"}, bare{"0201.zip"};
    EXPECT_EQ(files, scan.ok && scan.warnings.empty() ? indexed : bare);
  }
  EXPECT_EQ(fs::exists("/tmp/kl_abs.gml"), absoluteExisted);
}

TEST(ModelPackage, TheIndexIsReusedOnlyForTheDownloadItDescribes) {
  ScratchFolder dir;
  const std::string path = dir.write("0201.zip", zipArchive({{"a.gml", kSheet}}));
  const std::string index = indexPathOf(path);
  std::string error;
  auto package = openPackage(path, error);
  ASSERT_TRUE(package) << error;
  EXPECT_FALSE(loadSheets(*package).fromIndex);
  const std::vector<SheetEntry> first = package->sheets;
  EXPECT_EQ(first, (std::vector<SheetEntry>{{"a.gml", 100, 200, 300, 400}}));

  const std::string text = geo::testing::readWholeFile(index);
  const std::string firstLine = text.substr(0, text.find('\n'));
  const std::string sheetLines = text.substr(text.find('\n'));
  struct Row {
    const char* name;
    std::string index;
    bool trusted;
  };
  const Row rows[] = {
      {"as written", text, true},
      {"first line ended by a carriage return", firstLine + "\r" + sheetLines, true},
      {"a malformed sheet line beside a good one", text + "b.gml\t1\t2\tx\t4\nno tab here\n", true},
      {"first line of six characters", "B3DIDX" + sheetLines, false},
      {"written without the package's size and time", "B3DIDX1" + sheetLines, false},
      {"written for another download of the package", "B3DIDX1\t1\t2" + sheetLines, false},
      {"no valid sheet line", firstLine + "\na.gml\t1\t2\t3\n", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(index, std::ios::binary | std::ios::trunc) << row.index;
    EXPECT_EQ(loadSheets(*package).fromIndex, row.trusted);
    EXPECT_EQ(package->sheets, first);
  }
}

}  // namespace
}  // namespace kl::buildings
