#include "net/wfs_requests.h"

#include "geodata/polish_crs.h"

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

TEST(GetFeatureUrl, Pl2000BoxCoversAllFourConvertedCorners) {
    GetFeatureParams p;
    p.baseUrl = "http://h/wfs";
    p.typeName = "t";
    p.frame = {400000, 300000, 400500, 300500};  // far from the zone meridian: the box turns most
    p.northingFirst = false;
    p.epsg = 2176;
    const std::string url = buildGetFeatureUrl(p);
    EXPECT_NE(url.find("&SRSNAME=EPSG%3A2176&BBOX="), std::string::npos);
    const geo::Bbox box = geo::pl2000BoxFromPl1992(p.frame, 2176);
    for (const auto& c : {geo::Point2d{400000, 300000}, geo::Point2d{400500, 300000}, geo::Point2d{400000, 300500},
                          geo::Point2d{400500, 300500}}) {
        const geo::Point2d t = geo::pl1992ToPl2000(c.x, c.y, 2176);
        EXPECT_GE(t.x, box.minX - 1e-6);
        EXPECT_LE(t.x, box.maxX + 1e-6);
        EXPECT_GE(t.y, box.minY - 1e-6);
        EXPECT_LE(t.y, box.maxY + 1e-6);
    }
    // Two corners alone would leave out a visible strip.
    const geo::Point2d ll = geo::pl1992ToPl2000(400000, 300000, 2176);
    const geo::Point2d ur = geo::pl1992ToPl2000(400500, 300500, 2176);
    const double twoCornerWidth = std::abs(ur.x - ll.x);
    EXPECT_GT(box.maxX - box.minX - twoCornerWidth, 1.0);
    EXPECT_NE(url.find("%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2176"), std::string::npos);
}

TEST(GetMapUrl, IsWms111EastingFirst) {
    EXPECT_EQ(buildGetMapUrl("https://w.example/wms", "dzialki,budynki", 1024, 768, 2178, 7500000, 5780000.5, 7500500,
                             5780300),
              "https://w.example/wms?service=WMS&version=1.1.1&request=GetMap&layers=dzialki%2Cbudynki&styles=&format="
              "image%2Fpng&transparent=true&SRS=EPSG%3A2178&WIDTH=1024&HEIGHT=768&BBOX=7500000%2C5780000.5%2C7500500"
              "%2C5780300");
}

TEST(OtherUrls, CapabilitiesAndWholeLayer) {
    EXPECT_EQ(buildCapabilitiesUrl("http://h/wfs", "WFS"), "http://h/wfs?service=WFS&request=GetCapabilities");
    EXPECT_EQ(buildCapabilitiesUrl("http://h/ows?x=1", "WFS", "2.0.0"),
              "http://h/ows?x=1&service=WFS&version=2.0.0&request=GetCapabilities");
    EXPECT_EQ(buildWholeLayerUrl("http://h/wfs", "ms:dzialki", true),
              "http://h/wfs?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki&resultType=hits");
    EXPECT_EQ(buildWholeLayerUrl("http://h/wfs", "ms:dzialki", false),
              "http://h/wfs?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki");
}

}  // namespace
}  // namespace kl::net
