#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cloud/pipeline/cloud_output.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {
// The pid of a process that has ended.
long deadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
}  // namespace

TEST(CloudOutput, OnlyStaleTemporariesOfTheTargetAreSwept) {
    const kl::test::ScratchFolder scratch("kl_cloud_output");
    const fs::path& dir = scratch.path();
    const std::string dead = std::to_string(deadPid());
    const std::string live = std::to_string(::getpid());
    const struct {
        std::string name;
        bool swept;
    } rows[] = {
        {"import.e57." + dead + ".1a2b3c4d.part", true},   // the E57 writer of a killed run
        {"import.e57." + dead + ".part", true},            // a staged file of a killed run
        {"import.e57." + dead + ".part.tmp", true},
        {"import.e57." + live + ".1a2b3c4d.part", false},  // a write in progress
        {"import.e57", false},
        {"import.e57.backup", false},
        {"import.e57.x" + dead + ".part", false},
        {"other.e57." + dead + ".part", false},
        {"import.e57." + dead + ".txt", false},
    };
    for (const auto& row : rows) std::ofstream(dir / row.name) << "x";
    EXPECT_EQ(kl::cloud::sweepStaleTemporaries((dir / "import.e57").string()), 3);
    for (const auto& row : rows) EXPECT_EQ(fs::exists(dir / row.name), !row.swept) << row.name;
    // A temporary of a running writer that has not been touched for days is stale too.
    fs::last_write_time(dir / rows[3].name, fs::file_time_type::clock::now() - std::chrono::hours(49));
    EXPECT_EQ(kl::cloud::sweepStaleTemporaries((dir / "import.e57").string()), 1);
}
