#pragma once
// The placement tests run the add-on's code against a fresh workbench
// project with the default settings and a private diagnostics folder, inside
// one undo step as the import does, and read the project back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "host/core/workbench.h"
#include "shell/settings/settings.h"
#include "tests/support/host_binding.h"
#include "tests/support/scratch_folder.h"

namespace kl::placement_tests {

class WorkbenchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KL_DIAG_DIR", diag_.path().c_str(), 1);
        freshProject();
    }
    // A new, empty project with the default settings, as each table row starts.
    void freshProject() {
        wb_ = std::make_unique<host::Workbench>();
        bindAddonToHost(&host::Workbench::hostTable());
        settings_ = settings::defaultSettings();
    }
    void TearDown() override {
        bindAddonToHost(nullptr);
        wb_.reset();
        ::unsetenv("KL_DIAG_DIR");
    }

    KlErr inStep(const std::function<KlErr()>& body) {
        return wb_->undoableCommand(
            "Import GIS", [](void* c) -> KlErr { return (*static_cast<const std::function<KlErr()>*>(c))(); },
            const_cast<std::function<KlErr()>*>(&body));
    }

    std::vector<const host::ElementRecord*> elements(int32_t type) const {
        std::vector<const host::ElementRecord*> out;
        for (const auto& [seq, rec] : wb_->project().elements().all())
            if (rec->element.type == type) out.push_back(rec.get());
        return out;
    }

    std::string layerName(int32_t index) const {
        const auto* layer = wb_->project().attributes().find(KL_ATTR_LAYER, index);
        return layer ? layer->name : "";
    }

    kl::test::ScratchFolder diag_{"kl_placement_diag"};
    std::unique_ptr<host::Workbench> wb_;
    settings::Settings settings_;
};

// The loops of a body's polygons, each as the points it walks.
inline std::vector<std::vector<KlCoord3>> polygonLoops(const host::MorphBody& body) {
    std::vector<std::vector<KlCoord3>> loops;
    for (const auto& poly : body.polygons) {
        std::vector<KlCoord3> loop;
        for (int32_t e : poly.edges) {
            const auto& edge = body.edges[static_cast<size_t>(std::abs(e) - 1)];
            loop.push_back(body.vertices[static_cast<size_t>((e > 0 ? edge.first : edge.second) - 1)]);
        }
        loops.push_back(loop);
    }
    return loops;
}

// A closed, outward-facing solid: every directed edge (by position, to the
// millimetre) has its reverse, and the signed volume is positive. (No edge
// used twice the same way is the host's own check of every body.)
inline void expectClosedOutward(const host::MorphBody& body) {
    using Key = std::tuple<long long, long long, long long>;
    const auto keyOf = [](const KlCoord3& p) {
        return Key{std::llround(p.x * 1000), std::llround(p.y * 1000), std::llround(p.z * 1000)};
    };
    std::set<std::pair<Key, Key>> edges;
    double volume6 = 0;
    for (const auto& loop : polygonLoops(body)) {
        for (size_t i = 0; i < loop.size(); ++i) edges.insert({keyOf(loop[i]), keyOf(loop[(i + 1) % loop.size()])});
        const KlCoord3& o = loop[0];
        for (size_t i = 1; i + 1 < loop.size(); ++i) {
            const KlCoord3 &a = loop[i], &b = loop[i + 1];
            volume6 += o.x * (a.y * b.z - a.z * b.y) - o.y * (a.x * b.z - a.z * b.x) + o.z * (a.x * b.y - a.y * b.x);
        }
    }
    for (const auto& [from, to] : edges) EXPECT_TRUE(edges.count({to, from}));
    EXPECT_GT(volume6, 0.0);
}

}  // namespace kl::placement_tests
