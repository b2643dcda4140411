// Speed of the duplicate cleanup: one long closed contour canonicalised, and
// the whole command on a plan of 100 000 elements in the workbench.
//   kl_cleanup_bench [CONTOURS]   CONTOURS closed contours of 20 000 vertices
//                                 among the 100 000 elements (default 10)
#include <charconv>
#include <chrono>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <string>
#include <vector>

#include "cleanup/drawing_reader.h"
#include "cleanup/duplicate_finder.h"
#include "cleanup/element_keys.h"
#include "cleanup/remove_duplicates_command.h"
#include "tests/cleanup/drawing_builder.h"
#include "tests/support/host_binding.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string fixed(double v, int decimals) {
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    return std::string(text, end);
}

// A wobbly closed ring round (cx, cy), drawn from vertex `from` on.
std::vector<KlCoord> contour(double cx, double cy, size_t vertices, size_t from, bool reversed) {
    std::vector<KlCoord> ring;
    for (size_t i = 0; i < vertices; ++i) {
        const double t = 2 * std::numbers::pi * static_cast<double>((from + i) % vertices) / static_cast<double>(vertices);
        const double r = 50 + 3 * std::sin(17 * t);
        ring.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    }
    if (reversed) std::reverse(ring.begin(), ring.end());
    ring.push_back(ring.front());
    return ring;
}

}  // namespace

int main(int argc, char** argv) {
    int contours = 10;
    if (argc > 1) std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), contours);
    constexpr size_t kVertices = 20000;
    constexpr int kElements = 100000;

    kl::cleanup::PolylineRecord one;
    one.vertices = contour(0, 0, kVertices, 0, false);
    one.segmentAngles.assign(kVertices, 0.0);
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto t0 = Clock::now();
        const auto key = kl::cleanup::polylineKey(one);
        best = std::min(best, seconds(t0));
        if (!key) return 1;
    }
    std::printf("one closed contour of %zu vertices canonicalised: %s ms (best of 5)\n", kVertices,
                fixed(best * 1000, 2).c_str());

    kl::host::Workbench wb;
    bindAddonToHost(&kl::host::Workbench::hostTable());
    kl::testing::DrawingBuilder draw(wb);
    size_t vertices = 0;
    for (int i = 0; i < contours; ++i) {  // pairs: the second from another vertex, the other way round
        const auto ring = contour(200.0 * (i / 2), 0, kVertices, i % 2 ? 7919 : 0, i % 2 == 1);
        draw.polyline(ring);
        vertices += ring.size();
    }
    for (int i = contours; i < kElements; ++i) {
        const KlCoord at{(i / 2) * 0.01, 100};
        if (i % 4 < 2) {
            draw.polyline(i % 2 ? std::vector<KlCoord>{{at.x + 1, 101}, {at.x + 0.5, 102}, at}
                                : std::vector<KlCoord>{at, {at.x + 0.5, 102}, {at.x + 1, 101}});
            vertices += 3;
        } else {
            draw.text(at, "Dz. " + std::to_string(i / 2));
        }
    }
    std::printf("plan: %zu elements, %zu polyline vertices, %d closed contours of %zu vertices\n",
                wb.project().elements().size(), vertices, contours, kVertices);

    auto t0 = Clock::now();
    const kl::cleanup::Drawing drawing = kl::cleanup::readDrawing();
    const double read = seconds(t0);
    t0 = Clock::now();
    const kl::cleanup::DuplicatePlan plan = kl::cleanup::findDuplicates(drawing);
    const double group = seconds(t0);
    std::printf("read %s s, keys and groups %s s: %d polylines and %d texts to delete\n", fixed(read, 3).c_str(),
                fixed(group, 3).c_str(), plan.polylines, plan.texts);

    wb.alerts().script({1, 1});
    t0 = Clock::now();
    kl::cleanup::runRemoveDuplicatesCommand();
    const double whole = seconds(t0);
    std::printf("whole command (read, group, delete in one undo step): %s s; %zu elements left; said: %s\n",
                fixed(whole, 3).c_str(), wb.project().elements().size(),
                wb.alerts().all().size() == 2 ? wb.alerts().all()[1].text.c_str() : "?");
    bindAddonToHost(nullptr);
    return 0;
}
