#pragma once
// Model packages for tests: zips built in memory, written into a private
// folder, and the byte surgery that turns them into damaged ones.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace kl::buildings::testing {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A sheet whose Envelope spans the box, holding the given members.
std::string sheetText(double minX, double minY, double maxX, double maxY, const std::string& members = {},
                      const std::string& beforeEnvelope = {});

// Sets the uncompressed size the local and central headers of every entry claim.
std::string withClaimedSize(std::string zip, std::uint32_t size);

// The central directory's signatures broken.
std::string withBrokenDirectory(std::string zip);

// A folder of its own for one test, removed afterwards, and the files written into it.
class ScratchDir : public kl::test::ScratchFolder {
 public:
  ScratchDir() : ScratchFolder("kl_buildings") {}
  std::string write(const std::string& name, const std::string& bytes) const;
};

}  // namespace kl::buildings::testing
