#include "import/fetch_request.h"

#include <gtest/gtest.h>

#include <limits>

namespace kl::import {
namespace {

using nlohmann::json;

json fetchMessage(json box, json layers = json::array({"dzialki"})) {
    return {{"type", "fetch"}, {"bboxWgs84", std::move(box)}, {"layers", std::move(layers)}};
}

json withOption(const char* key, json value) {
    json m = fetchMessage({15.56, 51.26, 15.57, 51.27});
    m[key] = value;
    return m;
}

struct Refusal {
    const char* name;
    json message;
    const char* startOfError;
};

const double kInf = std::numeric_limits<double>::infinity();

TEST(FetchRequest, RefusalsAreAnsweredWithAPolishTextAndNoRequest) {
    const Refusal cases[] = {
        {"ThreeNumbers", fetchMessage({15.5, 51.2, 15.6}), "Nieprawidlowy bbox"},
        {"NoBox", json{{"type", "fetch"}}, "Nieprawidlowy bbox"},
        {"BoxNotArray", json{{"type", "fetch"}, {"bboxWgs84", "15,51,16,52"}}, "Nieprawidlowy bbox"},
        {"Infinite", fetchMessage({15.5, 51.2, kInf, 51.3}), "Nieprawidlowy bbox: wspolrzedne"},
        {"ZeroWidth", fetchMessage({15.5, 51.2, 15.5, 51.3}), "Nieprawidlowy bbox: kadr ma zerowy"},
        {"Negative", fetchMessage({15.6, 51.3, 15.5, 51.2}), "Nieprawidlowy bbox: kadr ma zerowy"},
        {"OutsidePoland", fetchMessage({2.30, 48.80, 2.35, 48.85}), "Kadr lezy poza Polska"},
        {"CrossesTheBorder", fetchMessage({13.9, 52.0, 14.1, 52.1}), "Kadr lezy poza Polska"},
        {"ZoomedOutCountry", fetchMessage({14.5, 49.5, 23.5, 54.5}), "Kadr za duzy: "},
        {"JustOverTheCap", fetchMessage({19.0, 52.0, 19.0 + 0.0816, 52.0 + 0.042}), "Kadr za duzy: "},
        {"RasterScaleBeyondInt", withOption("rasterScale", 1e30), "Nieprawidlowa skala rastra"},
        {"RasterScaleNotFinite", withOption("rasterScale", -kInf), "Nieprawidlowa skala rastra"},
        {"TerrainStepFraction", withOption("terrainStep", 2.5), "Nieprawidlowy krok terenu"},
        {"TerrainStepZero", withOption("terrainStep", 0), "Nieprawidlowy krok terenu"},
        {"UnknownLayer", fetchMessage({15.56, 51.26, 15.57, 51.27}, {"dzialki", "chmury"}),
                "Nieznany rodzaj danych: \"chmury\""},
        {"TextCorners", fetchMessage({"15.5", "51.2", "15.6", "51.3"}),
                "Pole \"bboxWgs84\" ma nieprawidlowy typ."},
        {"LayersNotAList", fetchMessage({15.5, 51.2, 15.6, 51.3}, "dzialki"),
                "Pole \"layers\" ma nieprawidlowy typ."},
        {"LayerNotText", fetchMessage({15.5, 51.2, 15.6, 51.3}, {"dzialki", 4}),
                "Pole \"layers\" ma nieprawidlowy typ."},
        {"ScaleAsText", withOption("rasterScale", "1000"), "Pole \"rasterScale\" ma nieprawidlowy typ."},
        {"SmoothingAsNumber", withOption("poziomiceWygladz", 1), "Pole \"poziomiceWygladz\" ma nieprawidlowy typ."}};
    for (const Refusal& c : cases) {
        const FetchRequestCheck check = readFetchRequest(c.message);
        EXPECT_FALSE(check.request.has_value()) << c.name;
        EXPECT_EQ(check.error.rfind(c.startOfError, 0), 0u) << c.name << ": " << check.error;
    }
}

TEST(FetchRequest, ASmallFrameIsReadWithItsOptionsAndDefaults) {
    json m = fetchMessage({15.56456, 51.26013, 15.57373, 51.26409}, {"dzialki", "gesut", "teren"});
    m["terrainStep"] = 5;
    m["poziomiceWygladz"] = true;
    const FetchRequestCheck check = readFetchRequest(m);
    ASSERT_TRUE(check.request.has_value()) << check.error;
    const FetchRequest& r = *check.request;
    EXPECT_EQ(r.layers, (std::vector<std::string>{"dzialki", "gesut", "teren"}));
    EXPECT_EQ(r.rasterScale, 1000);
    EXPECT_EQ(r.terrainStep, 5);
    EXPECT_DOUBLE_EQ(r.contourInterval, 1.0);
    EXPECT_TRUE(r.smoothContours);
    EXPECT_EQ(r.workingZone, 2176);  // the zone of 15 degrees east
    // The PL-1992 box of the demo frame: about 640 x 440 m around E 260720, N 382860.
    EXPECT_NEAR((r.frame.minX + r.frame.maxX) / 2, 260720, 15);
    EXPECT_NEAR((r.frame.minY + r.frame.maxY) / 2, 382860, 15);
    EXPECT_NEAR(r.frame.maxX - r.frame.minX, 640, 20);
}

TEST(FetchRequest, AFrameJustUnderTheCapIsTaken) {
    const FetchRequestCheck check = readFetchRequest(fetchMessage({19.0, 52.0, 19.07, 52.04}));
    ASSERT_TRUE(check.request.has_value()) << check.error;
    const geo::Bbox& f = check.request->frame;
    EXPECT_LT((f.maxX - f.minX) * (f.maxY - f.minY) / 1e6, kMaxFrameAreaKm2);
}

}  // namespace
}  // namespace kl::import
