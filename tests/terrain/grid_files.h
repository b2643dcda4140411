#pragma once

#include <string>

#include "tests/support/scratch_folder.h"

namespace kl::terrain::testing {

using kl::test::ScratchFolder;

inline std::string gridSample(const std::string& name) { return std::string(KL_SAMPLES_DIR) + "/grid/" + name; }

}  // namespace kl::terrain::testing
