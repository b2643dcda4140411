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

#include "base/folders.h"
#include "tools/cli/command_line.h"
#include "tools/import/batch_import.h"
#include "tools/import/demo_environment.h"

namespace {

const char* kUsage =
    "uzycie: kartolink-import --frame W,S,E,N | --demo-frame  --layers KLUCZ[,KLUCZ...]  --out PLIK.json\n"
    "                        [--dxf PLIK.dxf] [--demo] [--timeout SEKUNDY]\n"
    "  --frame       kadr w stopniach WGS84, liczby z kropka dziesietna\n"
    "  --demo        kazde zapytanie obsluguje wbudowany lokalny geoportal (tylko petla zwrotna)\n"
    "  --demo-frame  kadr przykladowego terenu\n"
    "  --timeout     czas na jedna odpowiedz uslugi, 1..3600 s\n";

int usage(const std::string& why) {
    std::fprintf(stderr, "kartolink-import: %s\n%s", why.c_str(), kUsage);
    return 2;
}

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
        if (kl::tools::isHelpFlag(a)) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--demo-frame") {
            const kl::tools::DemoFrame f = kl::tools::demoFrame();
            o.west = f.west, o.south = f.south, o.east = f.east, o.north = f.north;
            framed = true;
        } else if (a == "--frame" && hasValue) {
            if (!parseFrame(args[++i], o)) return usage("--frame wymaga czterech liczb W,S,E,N (stopnie, kropka dziesietna)");
            framed = true;
        } else if (a == "--layers" && hasValue) {
            o.layers = split(args[++i]);
        } else if (a == "--out" && hasValue) {
            o.jsonOut = args[++i];
        } else if (a == "--dxf" && hasValue) {
            o.dxfOut = args[++i];
        } else if (a == "--timeout" && hasValue) {
            const auto seconds = kl::tools::wholeNumberArgument(args[++i], 1, 3600);
            if (!seconds) return usage("--timeout wymaga liczby calkowitej sekund od 1 do 3600");
            o.timeoutSeconds = *seconds;
        } else {
            return usage("nieznany lub niepelny argument: " + a);
        }
    }
    if (!framed) return usage("brak kadru (--frame albo --demo-frame)");
    if (o.layers.empty()) return usage("brak --layers");
    if (o.jsonOut.empty()) return usage("brak --out");
    // The drawing goes beside the JSON unless named; either way its path is
    // checked with the other before any download, which it would waste.
    if (o.dxfOut.empty()) o.dxfOut = std::filesystem::path(o.jsonOut).replace_extension(".dxf");
    // One file for both would end as the drawing alone, reported as both.
    const auto fullPath = [](const std::filesystem::path& p) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(p, ec).lexically_normal();
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
        return ec ? absolute : resolved;  // a folder that cannot be read is left to the checks below
    };
    if (fullPath(o.jsonOut) == fullPath(o.dxfOut)) return usage("plik DXF musi byc inny niz plik JSON (--dxf)");
    for (const std::filesystem::path& out : {o.jsonOut, o.dxfOut}) {
        if (const std::string problem = kl::tools::outputPathProblem(out.string()); !problem.empty())
            return fail(problem);
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
