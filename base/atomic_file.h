#pragma once
// Replacing a small file so that a reader sees either the old content or the
// complete new one, never a torn write: the data goes to a temporary file in
// the same folder, is flushed to the disk, and only then renamed over the
// target. A symlinked target is written at the file the link names, and
// the file's permissions are kept.
#include <filesystem>
#include <string>
#include <string_view>

namespace kl::settings {

struct FileWriteResult {
    bool ok = false;
    std::string message;  // Polish, empty on success
};

FileWriteResult replaceFileAtomically(const std::filesystem::path& target, std::string_view content);

}  // namespace kl::settings
