#include "shell/settings/project_georef.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "host/core/workbench.h"
#include "tests/support/scratch_folder.h"

namespace kl::settings {
namespace {

// The georeference of a workbench project; diagnostics go to a private folder
// so the test can read exactly what was appended.
class GeorefTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("KL_DIAG_DIR", diag_.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("KL_DIAG_DIR"); }
    std::string diagText() const {
        std::ifstream in(diag_.path() / "ordvik_geo_diag.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The record as the user left it in the project.
    void setRecord(const std::function<void(KlGeoLocation&)>& change) {
        KlGeoLocation g = geo();
        change(g);
        ASSERT_EQ(wb_.setGeoLocation(&g), KL_NOERROR);
    }
    const KlGeoLocation& geo() const { return wb_.project().geoLocation(); }
    // The next calls of `function` fail with these codes, in turn.
    void failNext(const char* function, std::initializer_list<KlErr> codes, bool sticky = false) {
        for (const KlErr code : codes) wb_.faults().arm({function, 1, code, sticky, 0});
    }
    const KlHostFunctions* table() const { return &host::Workbench::hostTable(); }

    kl::test::ScratchFolder diag_{"kl_georef"};
    host::Workbench wb_;
};

TEST_F(GeorefTest, NoRecordOrAnEmptyOneIsUnreadableAndSaysWhy) {
    EXPECT_EQ(readProjectGeoref(nullptr).level, GeorefLevel::Unreadable);
    const auto empty = readProjectGeoref(table());
    EXPECT_EQ(empty.level, GeorefLevel::Unreadable);
    EXPECT_EQ(empty.message.rfind("Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\"", 0), 0u);
    failNext("GetGeoLocation", {KL_ERR_GENERAL});
    const auto failed = readProjectGeoref(table());
    EXPECT_EQ(failed.level, GeorefLevel::Unreadable);
    EXPECT_EQ(failed.message, "Nie mozna odczytac georeferencji projektu (GeoLocation).");
    EXPECT_EQ(failed.epsg, 2180);
}

TEST_F(GeorefTest, LocationOnlyIsApproximateInPl1992) {
    setRecord([](KlGeoLocation& g) {
        g.latitude = 52.2297;
        g.longitude = 21.0122;
        g.altitude = 101.5;
    });
    const auto g = readProjectGeoref(table());
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
        setRecord([&c](KlGeoLocation& g) {
            g.surveyEasting = c.easting;
            g.surveyNorthing = c.northing;
            g.surveyElevation = 84.6;
            std::memset(g.crsName, 0, sizeof g.crsName);
            std::strcpy(g.crsName, c.crs);
        });
        const auto g = readProjectGeoref(table());
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

// A host that hands out a name filling its whole field, without an end.
TEST_F(GeorefTest, UnterminatedCrsNameIsReadWithinItsField) {
    KlHostFunctions unterminated = *table();
    unterminated.GetGeoLocation = [](KlGeoLocation* out) {
        *out = KlGeoLocation{};
        out->surveyEasting = 1;
        std::memset(out->crsName, '7', sizeof out->crsName);
        return KL_NOERROR;
    };
    const auto g = readProjectGeoref(&unterminated);
    EXPECT_EQ(g.level, GeorefLevel::Exact);
    EXPECT_EQ(g.epsg, 2180);
    EXPECT_EQ(g.message.size(), std::string("Uwaga: nieobslugiwany CRS projektu \"\". Import zaklada uklad "
                                            "PL-2000/PL-1992 - sprawdz georeferencje.")
                                        .size() + sizeof KlGeoLocation{}.crsName);
}

TEST_F(GeorefTest, FullRecordIsWrittenAtLevelZero) {
    setRecord([](KlGeoLocation& g) {
        g.altitude = 33;
        std::strcpy(g.crsDescription, "opis");
    });
    const auto r = writeProjectGeoref(table(), 52.2297, 21.0122, 2178, 7501234.5, 5787654.25);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.level, 0);
    EXPECT_EQ(geo().altitude, 33);  // fields not named are kept as the host gave them
    EXPECT_STREQ(geo().crsDescription, "opis");
    EXPECT_EQ(geo().surveyNorthing, 5787654.25);
    EXPECT_STREQ(geo().crsName, "EPSG:2178");
    EXPECT_STREQ(geo().mapZone, "7");
    ASSERT_EQ(wb_.report().size(), 1u);
    // Printed without the locale: a decimal comma here would be the fault.
    EXPECT_NE(wb_.report()[0].text.find("E=7501234.500000 N=5787654.250000 (PL-2000, EPSG:2178)"), std::string::npos);
    EXPECT_NE(diagText().find("poziom_ktory_przeszedl=0 "), std::string::npos);
    EXPECT_NE(diagText().find("lat=52.2297 lon=21.0122 zone=2178 E=7501234.5 N=5787654.25 H=0\n"), std::string::npos);
}

// The fall back through the levels to the minimum record, and that record
// read back in its zone, are the import flow's against the workbench.
TEST_F(GeorefTest, AllLevelsRefusedReportsTheLastError) {
    failNext("SetGeoLocation", {KL_ERR_BADPARS, KL_ERR_BADPARS, KL_ERR_BADID});
    const auto r = writeProjectGeoref(table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.readFailed);
    EXPECT_EQ(r.level, -1);
    EXPECT_EQ(r.lastError, KL_ERR_BADID);
    EXPECT_EQ(geo().surveyEasting, 0);
    EXPECT_TRUE(wb_.report().empty());
    EXPECT_NE(diagText().find("koncowy_err=-2130311 poziom_ktory_przeszedl=-1 "), std::string::npos);
}

TEST_F(GeorefTest, UnreadableRecordIsNeverWritten) {
    failNext("GetGeoLocation", {KL_ERR_GENERAL}, true);
    const auto r = writeProjectGeoref(table(), 50.06, 19.94, 2178, 7423000, 5547000);
    EXPECT_TRUE(r.readFailed);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(setSurveyPointHeight(table(), 12));
    EXPECT_EQ(geo().surveyEasting, 0);
    EXPECT_EQ(geo().surveyElevation, 0);
}

TEST_F(GeorefTest, SurveyPointHeightIsOneWrite) {
    setRecord([](KlGeoLocation& g) {
        g.surveyEasting = 7501000;
        std::strcpy(g.crsName, "EPSG:2178");
    });
    EXPECT_TRUE(setSurveyPointHeight(table(), 84.6));
    EXPECT_EQ(geo().surveyElevation, 84.6);
    EXPECT_STREQ(geo().crsName, "EPSG:2178");
    failNext("SetGeoLocation", {KL_ERR_BADPARS});
    EXPECT_FALSE(setSurveyPointHeight(table(), 90));
    EXPECT_EQ(geo().surveyElevation, 84.6);
}

}  // namespace
}  // namespace kl::settings
