#include "net/download_cache.h"

#include "net/sha1.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <vector>

namespace kl::net {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& p, const std::string& text = "x") { std::ofstream(p, std::ios::binary) << text; }

TEST(DownloadCache, TemporaryNamesNeverRepeat) {
    kl::test::TempCacheHome home;
    const std::string final = cachePathFor("u", "zip");
    std::vector<std::string> names;
    std::mutex m;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                auto n = temporaryPathFor(final);
                std::lock_guard lock(m);
                names.push_back(n);
            }
        });
    for (auto& t : threads) t.join();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.front().rfind(final + ".part." + std::to_string(::getpid()) + ".", 0), 0u);
}

// The id of a process that has ended.
pid_t endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(DownloadCache, SweepKeepsLiveDownloadsAndRecentFiles) {
    kl::test::TempCacheHome home;
    const fs::path dir = cacheDir();
    const auto now = fs::file_time_type::clock::now();
    const std::string live = std::to_string(::getpid());
    const std::string ended = std::to_string(endedProcessId());
    struct Row {
        std::string name;
        int ageHours;
        bool kept;
    };
    const Row rows[] = {
        {"old.gml", 24 * 31, false},
        {"recent.gml", 24 * 29, true},
        {"live.zip.part." + live + ".77.0", 0, true},  // another process's download in progress
        {"ended.zip.part." + ended + ".77.0", 0, false},
        {"stalled.zip.part." + live + ".77.1", 25, false},
        {"unnamed.zip.part.1469598103934665603.4", 0, false},  // no writer to ask
    };
    for (const Row& r : rows) {
        touch(dir / r.name);
        fs::last_write_time(dir / r.name, now - std::chrono::hours(r.ageHours));
    }
    EXPECT_EQ(sweepCache(dir, now), 4);
    for (const Row& r : rows) EXPECT_EQ(fs::exists(dir / r.name), r.kept) << r.name;
}

TEST(DownloadCache, PublishWritesCompleteFileAndLeavesNoTemporaryOrFailsCleanly) {
    kl::test::TempCacheHome home;
    const std::string path = cachePathFor("http://h/x", "gml");
    touch(path, "old content that is longer");
    ASSERT_TRUE(publishCacheFile(path, "new"));
    std::string back;
    ASSERT_TRUE(readCacheFile(path, back));
    EXPECT_EQ(back, "new");
    for (const auto& e : fs::directory_iterator(cacheDir()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
    EXPECT_FALSE(publishCacheFile("/nonexistent-kl-dir/sub/file.gml", "data"));
    EXPECT_FALSE(readCacheFile("/nonexistent-kl-dir/sub/file.gml", back));
    // A folder where a file was expected is no file (its stream size is not a content size).
    EXPECT_FALSE(readCacheFile(std::filesystem::temp_directory_path().string(), back));
}

}  // namespace
}  // namespace kl::net
