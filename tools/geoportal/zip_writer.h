#pragma once
// Zip archives built in memory with libzip, for the county model packages
// (and for tests that need packages of their own).

#include <string>
#include <utility>
#include <vector>

namespace kl::geoportal {

// (name, bytes) in archive order; a name ending in "/" adds a directory.
// Entries are deflated. Empty on failure.
std::string zipArchive(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace kl::geoportal
