#pragma once
// Model packages for tests: sheets, and the byte surgery that turns zips into damaged ones.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kl::buildings::testing {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A sheet whose Envelope spans the box, holding the given members.
std::string sheetText(double minX, double minY, double maxX, double maxY, const std::string& members = {},
                      const std::string& beforeEnvelope = {});

// Sets the uncompressed size the local and central headers of every entry claim.
std::string withClaimedSize(std::string zip, std::uint32_t size);

// The central directory's signatures broken.
std::string withBrokenDirectory(std::string zip);

}  // namespace kl::buildings::testing
