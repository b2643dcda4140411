#pragma once
#include <string>

#include "cloud/pipeline/cloud_download.h"
#include "host/sdk/kl_host_api.h"

namespace kl::cloud {

// Rewrites "ordvik_cloud_diag.txt": where the cloud sits against the
// project's survey point. Never fails its caller.
void writeCloudDiagnostics(const CloudDownloadResult& result, const KlHostFunctions* host);

inline constexpr const char* kKeptE57Name = "ostatnia_chmura.e57";
inline constexpr const char* kKeptLazName = "ostatnia_chmura.laz";

// Copies a file of the new cloud to <keepDir>/<keptName> through a temporary
// file, so a failed copy never replaces the last good one. Returns the
// copy's path, or empty.
std::string keepLastCloud(const std::string& source, const std::string& keepDir, const std::string& keptName = kKeptE57Name);

}  // namespace kl::cloud
