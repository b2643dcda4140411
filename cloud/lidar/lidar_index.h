#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "cloud/lidar/lidar_tile.h"

namespace kl::cloud {

// Horizontal system of a tile from its "uklad_xy" text: "PL-1992" gives 2180;
// "PL-2000" with the digit 5..8 after the first "S" gives 2176..2179; else 0.
int epsgFromUkladXy(std::string_view text);

// Tiles of one index answer, in answer order; records whose address is not
// http(s) are skipped.
std::vector<LidarTile> parseLidarIndex(std::string_view answer);

// Index layer of one year, e.g. "gugik:SkorowidzDanychPomiarowychLIDAR2023".
std::string lidarIndexTypeName(int year);

// Path of the index service on the national geoportal host.
inline constexpr std::string_view kLidarIndexPath = "/wss/service/PZGIK/DanePomiaroweLidarEVRF2007/WFS/Skorowidze";
inline constexpr int kLidarOldestYear = 2018;

}  // namespace kl::cloud
