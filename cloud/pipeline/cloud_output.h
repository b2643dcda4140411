#pragma once
// The files of one finished cloud: the E57 and, when asked for, its LAZ copy.
// Both are written under temporary names beside their targets and renamed
// into place only when both are complete, so a failed LAZ never leaves a new
// E57 next to an old LAZ. Temporaries of a writer that was killed are swept
// by the next run.
#include <string>
#include <vector>

#include "cloud/e57/cloud_point.h"
#include "cloud/pipeline/background_e57.h"
#include "cloud/pipeline/cloud_laz_export.h"

namespace kl::cloud {

// Ends the E57 that e57 has been writing to a temporary of e57Path from the
// points, writes the LAZ when lazPath is not empty, and puts both in place.
// Returns the Polish reason of a failure, empty on success; on failure no
// target was touched.
std::string writeCloudFiles(BackgroundE57& e57, const std::string& e57Path, const std::string& lazPath,
                            const std::vector<CloudPoint>& points, const LazPlacement& placement);

}  // namespace kl::cloud
