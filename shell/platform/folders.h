#pragma once
// The only place that knows where the operating system keeps per-user data.
#include <filesystem>

namespace kl::platform {

// Per-user settings that roam with the user ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path roamingAppDataDir();
// Per-user machine-local data such as the download cache ($XDG_CACHE_HOME, else ~/.cache).
std::filesystem::path localAppDataDir();
// Diagnostic text files: $KL_DIAG_DIR, else <temp>/kartolink. Created on demand.
std::filesystem::path diagnosticDir();
// The system temporary directory.
std::filesystem::path tempDir();

}  // namespace kl::platform
