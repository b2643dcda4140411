#pragma once
// Unpacking a palette's page files from the module's data resources into a
// folder the browser can open.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace kl::shell {

struct WebResource {
    int32_t id;
    const char* fileName;
};

struct WebFilesSpec {
    const char* paletteName;   // "MapPalette", used in the log marker
    const char* folderName;    // under the temporary directory
    const char* reportPrefix;  // "KARTOLINK: "
    std::span<const WebResource> resources;
};

struct WebExtraction {
    bool ok = false;
    std::filesystem::path webDir;
};

// Writes every resource of spec into <temp>/<folder>/web, in table order,
// stopping at the first one that is missing or not written completely (with
// a log line and, for a failed write, a report line). Each file is written
// under a temporary name and renamed, so it is either complete or absent;
// an existing page file that cannot be written to aborts at that entry.
WebExtraction extractWebResources(const WebFilesSpec& spec);

// "file://" address of startPage inside webDir, every path segment
// percent-encoded (UTF-8), with exactly three slashes after "file:".
std::string pageAddress(const std::filesystem::path& webDir, std::string_view startPage);

// Percent-encodes everything but unreserved characters and ':'.
std::string percentEncodeSegment(std::string_view segment);

}  // namespace kl::shell
