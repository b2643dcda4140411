#pragma once
#include <string>

#include "cloud/pipeline/cloud_download.h"
#include "host/sdk/kl_host_api.h"

namespace kl::cloud {

// Rewrites "ordvik_cloud_diag.txt": where the cloud sits against the
// project's survey point. Never fails its caller.
void writeCloudDiagnostics(const CloudDownloadResult& result, const KlHostFunctions* host);

// Copies the new cloud to <keepDir>/ostatnia_chmura.e57 through a temporary
// file, so a failed copy never replaces the last good cloud. Returns the
// copy's path, or empty.
std::string keepLastCloud(const std::string& source, const std::string& keepDir);

}  // namespace kl::cloud
