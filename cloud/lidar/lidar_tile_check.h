#pragma once
#include <string>

namespace kl::cloud {

// Why a downloaded LAS/LAZ tile cannot be whole, or empty when it can: the
// header must be readable and its points must fit in the file; a LAZ file
// must have a chunk table inside the file whose chunks hold the header's
// point count. A server that closes the connection half way without having
// announced a length delivers exactly such a file.
std::string lidarTileDamage(const std::string& path);

}  // namespace kl::cloud
