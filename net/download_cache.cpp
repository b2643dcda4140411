#include "net/download_cache.h"

#include "net/sha1.h"
#include "base/folders.h"
#include "base/process_liveness.h"

#include <atomic>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace kl::net {
namespace {

namespace fs = std::filesystem;

std::atomic<std::uint32_t> g_downloadCounter{0};
std::once_flag g_sweepOnce;

std::uint32_t numericThreadId() {
#if defined(__linux__)
    return static_cast<std::uint32_t>(gettid());
#else
    return static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
#endif
}

std::uint64_t fnv1aOfThreadId() {
    std::uint64_t h = 0xcbf29ce484222325ull;
    const std::uint32_t id = numericThreadId();
    for (int i = 0; i < 4; ++i) {
        h ^= (id >> (8 * i)) & 0xFFu;
        h *= 0x100000001b3ull;
    }
    return h;
}

// A download nobody has written to for this long is abandoned whoever wrote
// it: receive time-outs end a stalled transfer within minutes.
constexpr std::chrono::hours kAbandonedPartialAge{24};

constexpr std::string_view kPartialMark = ".part.";

std::int64_t currentProcessId() {
#if defined(__linux__)
    return static_cast<std::int64_t>(getpid());
#else
    return 0;
#endif
}

// The writer's process id from "<final>.part.<pid>.<thread>.<n>"; none for
// names of other forms.
std::optional<std::int64_t> writerOf(std::string_view name) {
    const auto mark = name.find(kPartialMark);
    if (mark == std::string_view::npos) return std::nullopt;
    const std::string_view rest = name.substr(mark + kPartialMark.size());
    std::int64_t pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (ec != std::errc() || end == rest.data() || pid <= 0) return std::nullopt;
    return pid;
}

bool writerMayBeRunning(std::string_view name) {
    const std::optional<std::int64_t> pid = writerOf(name);
    return pid && platform::processMayBeRunning(*pid);
}

}  // namespace

std::string cacheDir() {
    std::error_code ec;
    fs::path app = kl::platform::localAppDataDir() / "KARTOLINK";
    fs::create_directories(app, ec);
    fs::path cache = app / "cache";
    fs::create_directory(cache, ec);
    std::call_once(g_sweepOnce, [&] { sweepCache(cache, fs::file_time_type::clock::now()); });
    return cache.string();
}

std::string cachePathFor(std::string_view url, std::string_view extension) {
    return cacheDir() + "/" + sha1Hex(url) + "." + std::string(extension.empty() ? "bin" : extension);
}

std::string temporaryPathFor(const std::string& finalPath) {
    const std::uint32_t n = g_downloadCounter.fetch_add(1);
    return finalPath + std::string(kPartialMark) + std::to_string(currentProcessId()) + "." +
           std::to_string(fnv1aOfThreadId()) + "." + std::to_string(n);
}

int sweepCache(const fs::path& dir, fs::file_time_type now, std::chrono::hours maxAge) {
    int removed = 0;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return 0;
    for (const auto& entry : it) {
        std::error_code fec;
        if (!entry.is_regular_file(fec)) continue;
        const std::string name = entry.path().filename().string();
        const auto written = entry.last_write_time(fec);
        const auto age = fec ? fs::file_time_type::duration::zero() : now - written;
        // Another process (the workbench and kartolink-cloud share the
        // cache) may be downloading into a partial file right now.
        const bool partial = name.find(".part") != std::string::npos;
        const bool stale = partial ? age > kAbandonedPartialAge || !writerMayBeRunning(name) : age > maxAge;
        if (stale && fs::remove(entry.path(), fec)) ++removed;
    }
    return removed;
}

bool publishTemporaryFile(const std::string& temporaryPath, const std::string& finalPath) {
    std::error_code ec;
    // rename() replaces an existing target atomically on POSIX.
    fs::rename(temporaryPath, finalPath, ec);
    if (ec) {
        fs::remove(temporaryPath, ec);
        return false;
    }
    return true;
}

bool publishCacheFile(const std::string& finalPath, std::string_view bytes) {
    const std::string tmp = temporaryPathFor(finalPath);
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(tmp, ec);
            return false;
        }
    }
    return publishTemporaryFile(tmp, finalPath);
}

bool readCacheFile(const std::string& path, std::string& out) {
    // A directory opens as a stream too, with a size that is not its content.
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    out.resize(static_cast<std::size_t>(size));
    in.read(out.data(), size);
    return static_cast<bool>(in) || in.gcount() == size;
}

void removeCacheFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace kl::net
