#pragma once

#include <string>

#include "cloud/las/las_status.h"
#include "cloud/las/las_writer.h"

namespace kl::las {

// Rewrites a LAS/LAZ file as LAS or LAZ (options.compress), streaming chunk by chunk: the
// records, every VLR (the LASzip one is made anew) and every EVLR, large ones copied
// straight from the input. On any failure no output file is left behind.
LasStatus convertLasFile(const std::string& inputPath, const std::string& outputPath, LasWriteOptions options = {},
                         unsigned threads = 1);

}  // namespace kl::las
