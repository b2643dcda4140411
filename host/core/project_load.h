#pragma once
// Reading a project file (what Project::serialise(true) writes, e.g. the
// output of kartolink-import) into a fresh project. Every attribute and
// element goes through the checks the add-on's own calls go through, in one
// step: one refused part refuses the file and the project stays empty.
#include <filesystem>
#include <string>
#include <string_view>

#include "host/core/project.h"

namespace kl::host {

// Files larger than this are refused before they are read.
inline constexpr std::uintmax_t kMaxProjectFileBytes = std::uintmax_t(1) << 30;

// Empty on success, else a Polish message naming the part and the reason.
// The project must be new (nothing created yet); undo history stays empty.
std::string loadProject(Project& project, std::string_view jsonText);
std::string loadProjectFile(Project& project, const std::filesystem::path& file);

}  // namespace kl::host
