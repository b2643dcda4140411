#include "shell/settings/project_georef.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/settings/fake_host.h"
#include "tests/support/scratch_folder.h"

namespace kl::settings {
namespace {

namespace fs = std::filesystem;
using kl::testing::FakeGeoHost;

void setName(KlGeoLocation& rec, const char* name) {
    std::strncpy(rec.crsName, name, sizeof rec.crsName - 1);
}

// Diagnostics go to a private folder so the test can read exactly what was appended.
class GeorefTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("KL_DIAG_DIR", diag_.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("KL_DIAG_DIR"); }
    std::string diagText() const {
        std::ifstream in(diag_.path() / "ordvik_geo_diag.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    kl::test::ScratchFolder diag_{"kl_georef"};
    FakeGeoHost host;
};

TEST_F(GeorefTest, NoRecordOrAnEmptyOneIsUnreadableAndSaysWhy) {
    EXPECT_EQ(readProjectGeoref(nullptr).level, GeorefLevel::Unreadable);
    const auto empty = readProjectGeoref(host.table());
    EXPECT_EQ(empty.level, GeorefLevel::Unreadable);
    EXPECT_EQ(empty.message.rfind("Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\"", 0), 0u);
    host.readError = KL_ERR_GENERAL;
    const auto failed = readProjectGeoref(host.table());
    EXPECT_EQ(failed.level, GeorefLevel::Unreadable);
    EXPECT_EQ(failed.message, "Nie mozna odczytac georeferencji projektu (GeoLocation).");
    EXPECT_EQ(failed.epsg, 2180);
}

TEST_F(GeorefTest, LocationOnlyIsApproximateInPl1992) {
    host.record.latitude = 52.2297;
    host.record.longitude = 21.0122;
    host.record.altitude = 101.5;
    const auto g = readProjectGeoref(host.table());
    EXPECT_EQ(g.level, GeorefLevel::Approximate);
    EXPECT_EQ(g.epsg, 2180);
    EXPECT_EQ(g.message, "Georeferencja przyblizona (z lokalizacji projektu, nie Survey Pointu).");
    // Warsaw centre in PL-1992 lies near E 637 km, N 487 km.
    EXPECT_NEAR(g.easting, 637000, 2000);
    EXPECT_NEAR(g.northing, 487000, 2000);
    EXPECT_DOUBLE_EQ(g.height, 101.5);
}

// A survey point is exact: in the system its name gives, or, without a name,
// the one its coordinates belong to; a name the import cannot use is warned about.
TEST_F(GeorefTest, SurveyPointIsExactInTheNamedSystemOrTheOneOfItsCoordinates) {
    struct Case {
        const char* crs;
        double easting, northing;
        int epsg;
        bool warned;
    };
    const Case cases[] = {
        {"EPSG:2178", 7501000.25, 5787000.5, 2178, false},
        {"urn:ogc:def:crs:EPSG::2177", 7501000.25, 5787000.5, 2177, false},
        {"ETRF2000-PL / CS2000/21 (Poland zone VII) 2178", 7501000.25, 5787000.5, 2178, false},
        {"ETRF2000-PL / CS92 EPSG:2180", 7501000.25, 5787000.5, 2180, false},
        {"EPSG:4326", 7501000.25, 5787000.5, 2178, true},
        {"EPSG:21781", 7501000.25, 5787000.5, 2178, true},
        {"", 7501000.25, 5787000.5, 2178, false},
        {"", 5'453'000, 5'700'000, 2176, false},
        {"", 8'610'000, 5'570'000, 2179, false},
        {"", 637'000, 487'000, 2180, false},
        {"", 3'000'000, 100, 2180, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.crs) + " " + std::to_string(static_cast<long long>(c.easting)));
        host.record.surveyEasting = c.easting;
        host.record.surveyNorthing = c.northing;
        host.record.surveyElevation = 84.6;
        std::memset(host.record.crsName, 0, sizeof host.record.crsName);
        setName(host.record, c.crs);
        const auto g = readProjectGeoref(host.table());
        EXPECT_EQ(g.level, GeorefLevel::Exact);
        EXPECT_EQ(g.epsg, c.epsg);
        EXPECT_DOUBLE_EQ(g.easting, c.easting);
        EXPECT_DOUBLE_EQ(g.northing, c.northing);
        EXPECT_DOUBLE_EQ(g.height, 84.6);
        if (c.warned && *c.crs) {
            EXPECT_EQ(g.message, std::string("Uwaga: nieobslugiwany CRS projektu \"") + c.crs +
                                     "\". Import zaklada uklad PL-2000/PL-1992 - sprawdz georeferencje.");
        } else {
            EXPECT_EQ(g.message.empty(), !c.warned) << g.message;
        }
    }
}

TEST_F(GeorefTest, UnterminatedCrsNameIsReadWithinItsField) {
    host.record.surveyEasting = 1;
    std::memset(host.record.crsName, '7', sizeof host.record.crsName);
    const auto g = readProjectGeoref(host.table());
    EXPECT_EQ(g.level, GeorefLevel::Exact);
    EXPECT_EQ(g.epsg, 2180);
    EXPECT_EQ(g.message.size(), std::string("Uwaga: nieobslugiwany CRS projektu \"\". Import zaklada uklad "
                                            "PL-2000/PL-1992 - sprawdz georeferencje.")
                                        .size() + sizeof host.record.crsName);
}

TEST_F(GeorefTest, FullRecordIsWrittenAtLevelZero) {
    host.record.altitude = 33;
    std::strcpy(host.record.crsDescription, "opis");
    const auto r = writeProjectGeoref(host.table(), 52.2297, 21.0122, 2178, 7501234.5, 5787654.25);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.level, 0);
    ASSERT_EQ(host.writes.size(), 1u);
    const KlGeoLocation& w = host.writes[0];
    EXPECT_EQ(w.altitude, 33);  // fields not named are kept as the host gave them
    EXPECT_STREQ(w.crsDescription, "opis");
    EXPECT_EQ(w.surveyNorthing, 5787654.25);
    EXPECT_STREQ(w.crsName, "EPSG:2178");
    EXPECT_STREQ(w.mapZone, "7");
    ASSERT_EQ(host.reports.size(), 1u);
    // Printed without the locale: a decimal comma here would be the fault.
    EXPECT_NE(host.reports[0].find("E=7501234.500000 N=5787654.250000 (PL-2000, EPSG:2178)"), std::string::npos);
    EXPECT_NE(diagText().find("poziom_ktory_przeszedl=0 "), std::string::npos);
    EXPECT_NE(diagText().find("lat=52.2297 lon=21.0122 zone=2178 E=7501234.5 N=5787654.25 H=0\n"), std::string::npos);
}

// The fall back through the levels to the minimum record, and that record
// read back in its zone, are the import flow's against the workbench.
TEST_F(GeorefTest, AllLevelsRefusedReportsTheLastError) {
    host.writeErrors = {KL_ERR_BADPARS, KL_ERR_BADPARS, KL_ERR_BADID};
    const auto r = writeProjectGeoref(host.table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.readFailed);
    EXPECT_EQ(r.level, -1);
    EXPECT_EQ(r.lastError, KL_ERR_BADID);
    EXPECT_EQ(host.writes.size(), 3u);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_NE(diagText().find("koncowy_err=-2130311 poziom_ktory_przeszedl=-1 "), std::string::npos);
}

TEST_F(GeorefTest, UnreadableRecordIsNeverWritten) {
    host.readError = KL_ERR_GENERAL;
    const auto r = writeProjectGeoref(host.table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_TRUE(r.readFailed);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(host.writes.empty());
    EXPECT_FALSE(setSurveyPointHeight(host.table(), 12));
}

TEST_F(GeorefTest, SurveyPointHeightIsOneWrite) {
    host.record.surveyEasting = 7501000;
    setName(host.record, "EPSG:2178");
    EXPECT_TRUE(setSurveyPointHeight(host.table(), 84.6));
    ASSERT_EQ(host.writes.size(), 1u);
    EXPECT_EQ(host.record.surveyElevation, 84.6);
    EXPECT_STREQ(host.record.crsName, "EPSG:2178");
    host.writeErrors = {KL_NOERROR, KL_ERR_BADPARS};
    EXPECT_FALSE(setSurveyPointHeight(host.table(), 90));
    EXPECT_EQ(host.writes.size(), 2u);
}

}  // namespace
}  // namespace kl::settings
