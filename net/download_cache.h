#pragma once
// The on-disk download cache: names, publication and ageing of cached files.
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace kl::net {

// <local app data>/KARTOLINK/cache, created on demand. The first call in the
// process also sweeps abandoned partial downloads and files older than 30 days.
std::string cacheDir();

// cacheDir() + "/" + SHA-1 of the URL + "." + extension ("bin" when empty).
std::string cachePathFor(std::string_view url, std::string_view extension);

// A name beside the final one that no other download (thread or process)
// uses; it carries the writer's process id for the sweep.
std::string temporaryPathFor(const std::string& finalPath);

// Deletes files last written more than maxAge before now, and partial
// downloads whose writer has ended or that nobody wrote to for a day; a
// download another process is still making stays. Returns how many files
// were removed.
int sweepCache(const std::filesystem::path& dir, std::filesystem::file_time_type now,
               std::chrono::hours maxAge = std::chrono::hours(24 * 30));

// Writes the bytes under a temporary name and renames it to the final path,
// so that readers only ever see a complete file. False on any failure; then
// nothing is left behind.
bool publishCacheFile(const std::string& finalPath, std::string_view bytes);

// Moves a completed temporary file into place (replacing an older one).
bool publishTemporaryFile(const std::string& temporaryPath, const std::string& finalPath);

// Reads a whole cached file; false when it does not exist or cannot be read.
bool readCacheFile(const std::string& path, std::string& out);

void removeCacheFile(const std::string& path);

}  // namespace kl::net
