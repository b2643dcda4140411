#include "geodata/feature_dedup.h"

#include <gtest/gtest.h>

namespace kl::geo {
namespace {

GisFeature feature(const std::string& id, double x, const std::string& typ = "budynki") {
  GisFeature f;
  f.polygons.push_back({{{x, 0}, {x + 1, 0}, {x + 1, 1}, {x, 0}}, {}});
  f.attributes["_typ"] = typ;
  if (!id.empty()) f.attributes["gml_id"] = id;
  return f;
}

TEST(FeatureDedup, SameIdIsKeptOnceInFirstPosition) {
  auto a = feature("b.1", 0);
  auto b = feature("b.2", 5);
  auto a2 = feature("b.1", 0.001);  // clipped differently by the next tile
  const auto kept = deduplicateFeatures({a, b, a2});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], a);
  EXPECT_EQ(kept[1], b);
}

TEST(FeatureDedup, SameIdInAnotherLayerIsAnotherFeature) {
  EXPECT_EQ(deduplicateFeatures({feature("1", 0, "budynki"), feature("1", 0, "dzialki")}).size(), 2u);
}

TEST(FeatureDedup, WithoutIdTheGeometryAndAttributesDecide) {
  auto a = feature("", 0);
  auto same = feature("", 0);
  auto moved = feature("", 0.5);
  auto other = feature("", 0);
  other.attributes["RODZAJ"] = "m";
  const auto kept = deduplicateFeatures({a, same, moved, other});
  EXPECT_EQ(kept.size(), 3u);
}

TEST(FeatureDedup, GeometryHashSeesEveryPart) {
  auto a = feature("", 0);
  auto b = a;
  b.polygons[0].holes.push_back({{0.2, 0.2}});
  auto c = a;
  c.hasPoint = true;
  EXPECT_NE(geometryHash(a), geometryHash(b));
  EXPECT_NE(geometryHash(a), geometryHash(c));
  auto d = a;
  d.attributes["x"] = "y";
  EXPECT_EQ(geometryHash(a), geometryHash(d));
}

}  // namespace
}  // namespace kl::geo
