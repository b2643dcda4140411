#pragma once
// The only place that knows where the operating system keeps per-user data.
#include <filesystem>
#include <string>

namespace kl::platform {

// Per-user settings that roam with the user ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path roamingAppDataDir();
// Per-user machine-local data such as the download cache ($XDG_CACHE_HOME, else ~/.cache).
std::filesystem::path localAppDataDir();
// Diagnostic text files: $KL_DIAG_DIR, else the private working folder "kartolink".
// Created on demand.
std::filesystem::path diagnosticDir();
// A working folder of this user: <temp>/name, created 0700. The temporary
// folder is shared, so a folder someone else made there (or a link planted in
// its place) is refused, and then <local data>/kartolink/tmp/name is used.
std::filesystem::path privateWorkDir(const std::string& name);
// Creates dir (and its parents) and makes sure it is a real folder owned by
// this user that nobody else can enter; false when it is not and cannot be.
bool makePrivateFolder(const std::filesystem::path& dir);
// The system temporary directory.
std::filesystem::path tempDir();

}  // namespace kl::platform
