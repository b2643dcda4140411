#include "geodata/feature_dedup.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kl::geo {
namespace {

GisFeature feature(const std::string& id, double x, const std::string& typ = "budynki") {
  GisFeature f;
  f.polygons.push_back({{{x, 0}, {x + 1, 0}, {x + 1, 1}, {x, 0}}, {}});
  f.attributes["_typ"] = typ;
  if (!id.empty()) f.attributes["gml_id"] = id;
  return f;
}

// The feature with one change made to it.
GisFeature with(GisFeature f, const std::function<void(GisFeature&)>& change) {
  change(f);
  return f;
}

struct DedupCase {
  const char* what;
  std::vector<std::vector<GisFeature>> answers;
  std::size_t kept;
};

TEST(FeatureDedup, KeepsEachFeatureOnceAndTheFirstCopyInItsPlace) {
  const DedupCase rows[] = {
      {"same id, two tiles", {{feature("b.1", 0)}, {feature("b.1", 0)}}, 1},
      {"new id with every answer", {{feature("budynki.fid--d0b-6d77", 0)}, {feature("budynki.fid--d0b-6d76", 0)}}, 1},
      {"a stable id on two distinct features", {{feature("b.1", 0)}, {feature("b.1", 5)}}, 2},
      {"one answer with one content twice", {{feature("a", 0), feature("b", 0)}, {feature("c", 0), feature("d", 0)}}, 2},
      {"no id, same geometry", {{feature("", 0)}, {feature("", 0)}}, 1},
      {"no id, moved", {{feature("", 0)}, {feature("", 0.5)}}, 2},
      {"below a millimetre apart", {{feature("", 0)}, {feature("", 0.0001)}}, 1},
      {"other attributes", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) { f.attributes["RODZAJ"] = "m"; })}}, 2},
      {"same id in another layer", {{feature("1", 0, "budynki")}, {feature("1", 0, "dzialki")}}, 2},
      {"a hole more", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) {
                          f.polygons[0].holes.push_back({{0.2, 0.2}, {0.4, 0.2}, {0.4, 0.4}, {0.2, 0.2}});
                        })}}, 2},
      {"a point more", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) { f.hasPoint = true; })}}, 2}};
  for (const DedupCase& r : rows) EXPECT_EQ(deduplicateAnswers(r.answers).size(), r.kept) << r.what;
  const auto kept = deduplicateAnswers({{feature("b.1", 0), feature("b.2", 5)}, {feature("x.9", 0)}});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].attributes.at("gml_id"), "b.1");
  EXPECT_EQ(kept[1].attributes.at("gml_id"), "b.2");
}

}  // namespace
}  // namespace kl::geo
