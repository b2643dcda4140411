// The county model fetches against the local geoportal: the edition
// fallback, the cache and its index, and every way the download can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "buildings/package_fetch.h"
#include "buildings/package_source.h"
#include "net/download_cache.h"
#include "net/service_hosts.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/geoportal_server.h"
#include "tools/geoportal/model_packages.h"
#include "tools/geoportal/zip_writer.h"

namespace kl::buildings {
namespace {

namespace fs = std::filesystem;
namespace gp = kl::geoportal;
namespace demo = kl::geoportal::demo;

const geo::Bbox kSite{demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};

class BuildingFetch : public test::GeoportalSuite {
 protected:
  PackageFetchHooks hooks() {
    return {[this](const std::string& label, int, int) { labels_.push_back(label); },
            [this] { return cancelAfterProgress_ && !labels_.empty(); },
            [this](const std::string& text) { warnings_.push_back(text); }};
  }
  std::vector<std::string> cachedFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(home_.dir()))
      if (e.is_regular_file()) names.push_back(e.path().extension().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  kl::test::TempCacheHome home_;
  net::WfsClient client_{kl::test::loopbackTimings(), hosts()};
  std::vector<std::string> labels_, warnings_;
  bool cancelAfterProgress_ = false;
};

TEST_F(BuildingFetch, Lod1FallsBackToTheNewestEditionTheCountyHas) {
  const PackageFetchInput input{kSite, std::string(demo::kCommuneTeryt), {}};
  const auto got = fetchBuildings3d(client_, input, hooks());
  EXPECT_EQ(warnings_, std::vector<std::string>{});
  EXPECT_EQ(got.buildings.size(), static_cast<std::size_t>(demo::kBuildings));
  EXPECT_EQ(got.summary, "Modele 3D: LOD1 2022, powiat 0201, budynkow w kadrze: 166");
  ASSERT_EQ(server_->log().snapshot().size(), 2u);  // the missing 2024 edition, then the 2022 one
  EXPECT_EQ(server_->log().snapshot()[1].path, demo::kLod1PackagePath);
  EXPECT_EQ(cachedFiles(), (std::vector<std::string>{".idx", ".zip"}));
}

// A cancel during the download says nothing and asks for no further edition.
TEST_F(BuildingFetch, FailuresAreSaidOnceAndGiveNothing) {
  const std::string site(demo::kCommuneTeryt);
  struct Row {
    const char* name;
    std::string teryt;
    bool lod2, cancel;
    std::string warning;  // its beginning; empty: nothing is said
    int requests;
  };
  const Row rows[] = {
      {"no county", "", false, false, "Modele 3D: nie udalo sie ustalic powiatu dla tego kadru.", 0},
      {"code too short", "021", false, false, "Modele 3D: nieprawidlowy kod TERYT dla tego kadru.", 0},
      {"letter in the code: no URL", "02A1011", false, false, "Modele 3D: brak paczki dla powiatu 02A1.", 0},
      {"404 for every edition", "0299011", false, false, "Modele 3D: ", 4},
      {"LOD2 letter in the code", "02A1011", true, false, "Budynki LOD2: nieprawidlowy kod TERYT dla tego kadru.", 0},
      {"LOD2 404", "0299011", true, false, "Budynki LOD2: ", 1},
      {"LOD2 cancelled", site, true, true, "", 1},
      {"LOD1 cancelled in the 2022 edition, after the missing 2024", site, false, true, "", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    warnings_.clear();
    labels_.clear();
    cancelAfterProgress_ = row.cancel;
    server_->log().clear();
    const PackageFetchInput input{kSite, row.teryt, {}};
    const std::size_t got = row.lod2 ? fetchBuildingsLod2(client_, input, hooks()).buildings.size()
                                     : fetchBuildings3d(client_, input, hooks()).buildings.size();
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(warnings_.size(), row.warning.empty() ? 0u : 1u);
    if (!row.warning.empty()) {
      EXPECT_EQ(warnings_[0].rfind(row.warning, 0), 0u) << warnings_[0];
      EXPECT_GT(warnings_[0].size(), row.warning.size() - (row.requests ? 0 : 1)) << "a reason follows the prefix";
    }
    // A cancel may stop the last request before the server sees it; it never asks for more.
    const int requests = static_cast<int>(server_->log().snapshot().size());
    if (row.cancel) EXPECT_LE(requests, row.requests);
    else EXPECT_EQ(requests, row.requests);
  }
  EXPECT_EQ(cachedFiles(), std::vector<std::string>{});
}

// A cached package is read as it stands: a sheet that cannot be read is named
// and the others kept. Damaged as a whole, it is dropped with its index and
// fetched again next time.
TEST_F(BuildingFetch, ACachedPackageIsReadAsItStandsAndDroppedWithItsIndexWhenDamaged) {
  const auto& sheets = gp::demoModelPackages().sheets;
  const std::string& damaged = sheets[2].lod2;
  const auto cached = net::cachePathFor(net::cacheKeyOf(hosts(), lod2PackageUrl("0201")), "zip");
  std::ofstream(cached, std::ios::binary) << gp::zipArchive(
      {{"0201_gml/good.gml", sheets[0].lod2}, {"0201_gml/cut.gml", damaged.substr(0, damaged.size() / 2)}});
  const PackageFetchInput input{kSite, std::string(demo::kCommuneTeryt), {}};
  const auto got = fetchBuildingsLod2(client_, input, hooks());
  EXPECT_EQ(got.buildings.size(), sheets[0].ids.size());
  EXPECT_EQ(got.summary, "Budynki LOD2: powiat 0201, budynkow w kadrze: " + std::to_string(sheets[0].ids.size()));
  EXPECT_EQ(warnings_,
            std::vector<std::string>{"Budynki LOD2: Arkusz 0201_gml/cut.gml pominiety: uszkodzony dokument CityGML."});
  EXPECT_EQ(server_->log().snapshot().size(), 0u);

  warnings_.clear();
  std::ofstream(cached, std::ios::binary | std::ios::trunc) << "PK broken";
  EXPECT_TRUE(fetchBuildingsLod2(client_, input, hooks()).buildings.empty());
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0].rfind("Budynki LOD2: Nie mozna otworzyc paczki modeli 3D: ", 0), 0u) << warnings_[0];
  EXPECT_NE(warnings_[0].find(" Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie."), std::string::npos);
  EXPECT_EQ(cachedFiles(), std::vector<std::string>{});
  EXPECT_EQ(fetchBuildingsLod2(client_, input, hooks()).buildings.size(), static_cast<std::size_t>(demo::kBuildings));
}

}  // namespace
}  // namespace kl::buildings
