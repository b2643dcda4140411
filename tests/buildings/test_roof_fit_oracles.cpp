// The plane fit (of roofs and of flat roofs from the cloud alike) against numpy's least squares and
// the mesh fit error against an independent point-to-triangle distance, both in a Python reference.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <random>

#include "buildings/lod2fit/mesh_fit_error.h"
#include "buildings/lod2fit/plane_search.h"
#include "buildings/lod2fit/roof_plane.h"
#include "buildings/lod2fit/roof_reconstruction.h"
#include "roof_samples.h"
#include "tests/support/script_reference.h"

namespace kl::buildings::lod2fit {
namespace {

using nlohmann::json;

json asJson(const std::vector<Point3d>& points) {
  json out = json::array();
  for (const Point3d& p : points) out.push_back({p.x, p.y, p.z});
  return out;
}

json reference(const json& job) {
  return json::parse(kl::test::runScriptReference("/usr/bin/python3 " KL_ROOF_REFERENCE, job.dump()), nullptr, false);
}

// A roof face z = 200 + a u + b v at PL-1992 magnitudes, with eaves noise.
std::vector<Point3d> roofFace(double a, double b, int n, double noise, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> across(0, 15);
  std::normal_distribution<double> eaves(0, noise);
  std::vector<Point3d> out;
  for (int i = 0; i < n; ++i) {
    const double u = across(gen), v = across(gen) * 0.7;
    out.push_back({260500 + u, 382700 + v, 200 + a * u + b * v + eaves(gen)});
  }
  return out;
}

TEST(RoofFitOracles, PlanesAndErrorsMatchTheReference) {
  json job{{"planes", json::array()}, {"meshes", json::array()}};
  // Flat, steep and every pitch between, from three points to two thousand.
  std::vector<std::vector<Point3d>> sets{roofFace(0, 0, 400, 0.05, 17), roofFace(2.5, 0.3, 150, 0.03, 18),
                                         roofFace(0.577, 0, 2000, 0.08, 19)};
  for (unsigned seed = 1; seed <= 12; ++seed)
    sets.push_back(roofFace(0.08 * seed - 0.5, 0.45 - 0.07 * seed, seed == 1 ? 3 : 40 * seed, 0.1, seed));
  for (const auto& set : sets) job["planes"].push_back(asJson(set));
  // Fitted roofs of every kind, and the every-k-th sampling of a large cloud.
  std::vector<double> errors;
  const auto& roofs = geoportal::demoRoofs();
  for (size_t i = 0; i < roofs.size(); i += 25) {
    RoofFitInput in = fitInput(roofs[i], i == 0 ? 0.1 : 0.6);
    const RoofFitResult fit = reconstructRoof(in);
    ASSERT_TRUE(i != 0 || in.points.size() > 10000u) << "the sampling of large clouds goes untested";
    errors.push_back(meshFitError(fit.mesh, in.points));
    json vertices = json::array(), faces = json::array();
    for (const Point3d& v : fit.mesh.vertices) vertices.push_back({v.x, v.y, v.z});
    for (const auto& f : fit.mesh.faces) faces.push_back(f);
    job["meshes"].push_back({{"vertices", vertices}, {"faces", faces}, {"points", asJson(in.points)}});
  }
  // A triangle squashed to a segment counts as its edges.
  RoofMesh squashed{{{0, 0, 0}, {4, 0, 0}, {8, 0, 0}}, {{0, 1, 2}}};
  const std::vector<Point3d> probes{{2, 3, 0}, {-1, 0, 4}, {9, 1, 1}};
  errors.push_back(meshFitError(squashed, probes));
  job["meshes"].push_back({{"vertices", asJson(squashed.vertices)}, {"faces", squashed.faces}, {"points", asJson(probes)}});

  const json answer = reference(job);
  ASSERT_TRUE(answer.is_object()) << "the reference script did not answer";
  ASSERT_EQ(answer["planes"].size(), sets.size());
  for (size_t i = 0; i < sets.size(); ++i) {
    const RoofPlane p = fitRoofPlane(sets[i]).value();
    double mx = 0, my = 0;
    for (const Point3d& q : sets[i]) {
      mx += q.x / static_cast<double>(sets[i].size());
      my += q.y / static_cast<double>(sets[i].size());
    }
    const auto& abc = answer["planes"][i];
    EXPECT_NEAR(-p.nx / p.nz, abc[0].get<double>(), 1e-9) << "set " << i;
    EXPECT_NEAR(-p.ny / p.nz, abc[1].get<double>(), 1e-9) << "set " << i;
    EXPECT_NEAR(-(p.nx * mx + p.ny * my + p.d) / p.nz, abc[2].get<double>(), 1e-9) << "set " << i;
  }
  ASSERT_EQ(answer["errors"].size(), errors.size());
  for (size_t i = 0; i < errors.size(); ++i) EXPECT_NEAR(errors[i], answer["errors"][i].get<double>(), 1e-9) << i;
}

}  // namespace
}  // namespace kl::buildings::lod2fit
