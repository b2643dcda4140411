#include "net/wfs_requests.h"


#include <gtest/gtest.h>

namespace kl::net {
namespace {

const geo::Bbox kFrame{637000.5, 486000.25, 638200.5, 486700.25};

// Each request as the parameters give it: what its URL holds (a piece of it,
// or the whole when it starts with the base) and what it must not hold.
TEST(GetFeatureUrl, FollowsTheVersionAxisOrderPagingAndSystem) {
    const auto params = [](const char* base, const char* type, auto&& change) {
        GetFeatureParams p;
        p.baseUrl = base;
        p.typeName = type;
        p.frame = kFrame;
        change(p);
        return p;
    };
    const struct {
        const char* name;
        GetFeatureParams params;
        std::string holds, lacks;
    } cases[] = {
        {"WFS 2.0 northing first in 2180", params("https://county.example/wfs", "ms:dzialki", [](auto&) {}),
         "https://county.example/wfs?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki"
         "&COUNT=1000&BBOX=486000.25%2C637000.5%2C486700.25%2C638200.5%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180",
         "SRSNAME"},
        {"easting first, a start index and an existing query",
         params("https://county.example/cgi-bin/x?map=egib", "budynki",
                [](auto& p) {
                    p.count = 500;
                    p.startIndex = 1500;
                    p.northingFirst = false;
                }),
         "https://county.example/cgi-bin/x?map=egib&service=WFS&version=2.0.0&request=GetFeature&typenames=budynki"
         "&COUNT=500&STARTINDEX=1500&BBOX=637000.5%2C486000.25%2C638200.5%2C486700.25%2Curn%3Aogc%3Adef%3Acrs"
         "%3AEPSG%3A%3A2180",
         ""},
        {"WFS 1.1.0 uses maxFeatures and never pages", params("http://h/wfs", "ewns:dzialki", [](auto& p) {
             p.startIndex = 1000;
             p.wfs110 = true;
         }),
         "?service=WFS&version=1.1.0&request=GetFeature&typename=ewns%3Adzialki&maxFeatures=1000&BBOX=", "STARTINDEX"},
        {"ten significant digits", params("http://h/wfs", "t", [](auto& p) {
             p.frame = {637000.123456, 486000.987654, 637500.5, 486500.5};
             p.northingFirst = false;
         }),
         "BBOX=637000.1235%2C486000.9877%2C637500.5%2C486500.5%2C", ""},
        // The box itself is the polish_crs tests' (all four corners converted).
        {"PL-2000 names its system", params("http://h/wfs", "t", [](auto& p) { p.epsg = 2176; }),
         "&SRSNAME=EPSG%3A2176&BBOX=", "EPSG%3A%3A2180"},
        {"other codes fall back to 2180", params("http://h/wfs", "t", [](auto& p) { p.epsg = 4326; }),
         "EPSG%3A%3A2180", "SRSNAME"},
    };
    for (const auto& c : cases) {
        const std::string url = buildGetFeatureUrl(c.params);
        if (c.holds.rfind(c.params.baseUrl, 0) == 0) {
            EXPECT_EQ(url, c.holds) << c.name;
        } else {
            EXPECT_NE(url.find(c.holds), std::string::npos) << c.name << ": " << url;
        }
        EXPECT_TRUE(c.lacks.empty() || url.find(c.lacks) == std::string::npos) << c.name << ": " << url;
    }
}

}  // namespace
}  // namespace kl::net
