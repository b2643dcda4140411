#pragma once
// The body of one point-cloud download: find the LiDAR tiles of the frame,
// download and decode them one by one, crop and thin the points into the
// project's PL-2000 zone and write the cloud as an E57 file. Runs on a
// worker thread (or in the command-line tool); it never touches the host.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cloud/lidar/lidar_resolver.h"
#include "cloud/pipeline/cloud_detail.h"
#include "cloud/pipeline/tile_fetch.h"
#include "geodata/geometry.h"

namespace kl::cloud {

struct CloudDownloadRequest {
    geo::Bbox frame;  // PL-1992
    cloudui::Detail detail = cloudui::Detail::Standard;
    int placeEpsg = 2178;
    bool originSet = false;
    double originE = 0, originN = 0, originZ = 0;
    std::string outputFile;  // the E57 file to write (replaced only on success, with the LAZ)
    std::string lazOutputFile;  // empty: no LAZ; else the same points, absolute, as LAZ
    int currentYear = 0;    // 0: this calendar year
    unsigned decodeThreads = 2;
    int64_t budget = cloudui::kPointBudget;
};

struct CloudProgress {
    std::string label;
    double pct = 0;
    bool cancellable = false;
};

struct CloudDownloadResult {
    bool ok = false;
    std::string message;
    std::string filePath;
    std::string lazPath;  // set when a LAZ was asked for and written
    double originE = 0, originN = 0, originZ = 0;
    int placeEpsg = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
    int64_t count = 0;
    int tilesProcessed = 0;
    int tilesTotal = 0;                 // tiles the index listed for the frame
    bool indexIncomplete = false;       // the index may not have listed them all
    std::vector<std::string> warnings;  // skipped tiles, index pages refused
};

// A cloud built from fewer tiles than the index listed (or from an index
// that did not answer whole) is not the cloud that was asked for.
bool isPartial(const CloudDownloadResult& result);

// "Uwaga: chmura niepelna - uzyto 9 z 12 kafli LiDAR." (and the index
// warnings counted); empty for a complete cloud.
std::string partialCloudNote(const CloudDownloadResult& result);

using CloudProgressSink = std::function<void(const CloudProgress&)>;

CloudDownloadResult runCloudDownload(const CloudDownloadRequest& request, LidarResolver& resolver,
                                     const CloudProgressSink& progress, const CancelCheck& cancelled);

// The tile-download progress label: "Kafel 2/5: 1,2 MB / 3,4 MB".
std::string tileProgressLabel(size_t index, size_t count, int64_t received, int64_t total);

}  // namespace kl::cloud
