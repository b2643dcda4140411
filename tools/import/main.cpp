// kartolink-import: frames an area, fetches the chosen kinds and places them
// into an in-memory project, written as JSON and DXF.
//
//   kartolink-import --frame W,S,E,N --layers dzialki,budynki,gesut --demo --out site.json [--dxf site.dxf]
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform/folders.h"
#include "tools/import/batch_import.h"
#include "tools/import/demo_environment.h"

namespace {

const char* kUsage =
    "usage: kartolink-import --frame W,S,E,N | --demo-frame  --layers KEY[,KEY...]  --out FILE.json\n"
    "                        [--dxf FILE.dxf] [--demo] [--timeout SECONDS]\n"
    "  --demo        serve every request from the built-in local geoportal (loopback only)\n"
    "  --demo-frame  the frame of the demo site\n";

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        parts.emplace_back(text.substr(at, comma - at));
        at = comma + 1;
    }
    return parts;
}

bool parseFrame(std::string_view text, kl::tools::BatchOptions& o) {
    const auto parts = split(text);
    if (parts.size() != 4) return false;
    double* targets[] = {&o.west, &o.south, &o.east, &o.north};
    for (std::size_t i = 0; i < 4; ++i) {
        const char* end = parts[i].data() + parts[i].size();
        const auto r = std::from_chars(parts[i].data(), end, *targets[i]);
        if (r.ec != std::errc() || r.ptr != end) return false;
    }
    return true;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "kartolink-import: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    kl::tools::BatchOptions o;
    bool demo = false, framed = false;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--demo") {
            demo = true;
        } else if (a == "--demo-frame") {
            const kl::tools::DemoFrame f = kl::tools::demoFrame();
            o.west = f.west, o.south = f.south, o.east = f.east, o.north = f.north;
            framed = true;
        } else if (a == "--frame" && hasValue) {
            if (!parseFrame(args[++i], o)) return fail("--frame wants four numbers W,S,E,N (degrees, dot decimals)");
            framed = true;
        } else if (a == "--layers" && hasValue) {
            o.layers = split(args[++i]);
        } else if (a == "--out" && hasValue) {
            o.jsonOut = args[++i];
        } else if (a == "--dxf" && hasValue) {
            o.dxfOut = args[++i];
        } else if (a == "--timeout" && hasValue) {
            o.timeoutSeconds = std::stoi(args[++i]);
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!framed || o.layers.empty() || o.jsonOut.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    kl::tools::DemoGeoportal geoportal;
    if (demo) {
        const std::string error = geoportal.start(kl::platform::tempDir() / ("kartolink-import-" + std::to_string(::getpid())));
        if (!error.empty()) return fail(error);
        std::fprintf(stderr, "Geoportal: %s\n", geoportal.baseUrl().c_str());
    }

    const kl::tools::BatchResult r = kl::tools::runBatchImport(o);
    if (!r.ok) return fail(r.message);
    if (!r.message.empty()) std::fprintf(stderr, "KARTOLINK: %s\n", r.message.c_str());
    for (const auto& [key, n] : r.placed) std::printf("placed %s %d\n", key.c_str(), n);
    for (const auto& [key, n] : r.elements) std::printf("elements %s %d\n", key.c_str(), n);
    std::printf("dxf entities %zu\n", r.dxfEntities);
    return 0;
}
