#include "tools/import/dxf_writer.h"

#include <gtest/gtest.h>

#include <numbers>

namespace kl::tools {
namespace {

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(DxfWriter, NonAsciiTextBecomesUnicodeEscapes) {
    EXPECT_EQ(dxfText("\xC5\x81\xC3\xB3""d\xC5\xBA 12/3"), "\\U+0141\\U+00F3d\\U+017A 12/3");
    EXPECT_EQ(dxfText("a\nb"), "a b");  // a line break would end the group value
}

TEST(DxfWriter, EntitiesLayersAndNumbersInPlainR12) {
    const std::vector<DxfEntity> e = {
        {DxfEntity::Kind::Polyline, "GIS_DZIALKI", {{0.5, 1.25}, {10, 1.25}, {10, 8}}, true, {}, 1},
        {DxfEntity::Kind::Polyline, "GIS_GESUT", {{0, 0}, {3, 4}}, false, {}, 1},
        {DxfEntity::Kind::Text, "GIS_DZIALKI", {{5, 5}}, false, "123/4", 0.75},
        // A contour at its level's height and its label turned upright.
        {DxfEntity::Kind::Polyline, "GIS_POZIOMICE_2D", {{0, 0}, {1, 1}}, false, {}, 1, 0, 7.25},
        {DxfEntity::Kind::Text, "GIS_POZIOMICE_2D", {{1, 2}}, false, "7", 2, std::numbers::pi / 2, 7.25},
        // a triangle of a body: its third corner again as the fourth
        {DxfEntity::Kind::Face, "GIS_BUDYNKI_LOD2", {{0, 0}, {4, 0}, {4, 3}}, false, {}, 1, 0, 0, {20, 20, 26.5}},
    };
    const std::string d = dxfDocument(e);
    EXPECT_NE(d.find("$ACADVER\n1\nAC1009\n"), std::string::npos);
    EXPECT_EQ(count(d, "\n0\nLAYER\n"), 4);
    EXPECT_NE(d.find("0\n3DFACE\n8\nGIS_BUDYNKI_LOD2\n10\n0.0000\n20\n0.0000\n30\n20.0000\n11\n4.0000\n21\n0.0000\n31\n"
                     "20.0000\n12\n4.0000\n22\n3.0000\n32\n26.5000\n13\n4.0000\n23\n3.0000\n33\n26.5000\n"),
              std::string::npos);
    EXPECT_EQ(count(d, "\n0\nPOLYLINE\n"), 3);
    EXPECT_EQ(count(d, "\n0\nVERTEX\n"), 7);
    EXPECT_EQ(count(d, "\n0\nSEQEND\n"), 3);
    EXPECT_EQ(count(d, "30\n7.2500\n"), 4);  // the polyline, its two vertices, the label
    EXPECT_NE(d.find("1\n7\n50\n90.0000\n"), std::string::npos);
    EXPECT_NE(d.find("0\nTEXT\n8\nGIS_DZIALKI\n10\n5.0000\n20\n5.0000\n30\n0.0000\n40\n0.7500\n1\n123/4\n"),
              std::string::npos);
    // Decimal points whatever the locale (the tests run under pl_PL).
    EXPECT_NE(d.find("10\n0.5000\n20\n1.2500\n"), std::string::npos);
    EXPECT_EQ(d.find(','), std::string::npos);
    EXPECT_EQ(d.substr(d.size() - 7), "\n0\nEOF\n");
}

}  // namespace
}  // namespace kl::tools
