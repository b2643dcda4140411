#pragma once
// The body of main() of a benchmark against the local geoportal: a fresh
// temporary folder, the geoportal with the demo registry in it, the
// benchmarks, and the folder removed again.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/import/demo_environment.h"

namespace kl::bench {

inline int runAgainstDemoGeoportal(int argc, char** argv, const std::string& name, std::filesystem::path& root) {
    root = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    ::setenv("KL_DIAG_DIR", (root / "diag").c_str(), 1);
    tools::DemoGeoportal geoportal;
    if (const std::string error = geoportal.start(root); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}

}  // namespace kl::bench
