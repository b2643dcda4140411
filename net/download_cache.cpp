#include "net/download_cache.h"

#include "net/sha1.h"
#include "shell/platform/folders.h"

#include <atomic>
#include <cstdint>
#include <fstream>
#include <mutex>
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
    return finalPath + ".part." + std::to_string(fnv1aOfThreadId()) + "." + std::to_string(n);
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
        bool stale = name.find(".part") != std::string::npos;
        if (!stale) {
            const auto written = entry.last_write_time(fec);
            stale = !fec && now - written > maxAge;
        }
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
