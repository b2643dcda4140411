#include "cloud/lidar/lidar_resolver.h"

#include <charconv>
#include <ctime>

#include "cloud/lidar/lidar_index.h"
#include "net/service_hosts.h"
#include "net/wfs_requests.h"

namespace kl::cloud {
namespace {

// numberReturned of a WFS 2.0 answer; -1 when absent or not a number.
long attributeNumber(std::string_view text, std::string_view name) {
    const auto at = text.find(std::string(name) + "=\"");
    if (at == std::string_view::npos) return -1;
    const char* b = text.data() + at + name.size() + 2;
    long v = -1;
    const auto r = std::from_chars(b, text.data() + text.size(), v);
    return r.ec == std::errc() ? v : -1;
}

}  // namespace

int currentUtcYear() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return utc.tm_year + 1900;
}

LidarQuery LidarResolver::query(const geo::Bbox& frame, int currentYear, const std::function<bool()>& cancelled) {
    LidarQuery result;
    const std::string base = net::nationalServiceUrl(kLidarIndexPath);
    for (int year = currentYear + 1; year >= kLidarOldestYear; --year) {
        std::vector<LidarTile> tiles;
        for (int page = 0; page < kMaxPages; ++page) {
            if (cancelled && cancelled()) return result;
            net::GetFeatureParams p;
            p.baseUrl = base;
            p.typeName = lidarIndexTypeName(year);
            p.count = kPageSize;
            p.startIndex = page * kPageSize;
            p.frame = frame;
            const auto response = client_.get(net::buildGetFeatureUrl(p));
            if (response.status != 200) {
                // A refused later page leaves a cloud with holes: say so.
                if (page > 0)
                    result.warning = "Skorowidz LiDAR " + std::to_string(year) +
                                     ": serwer odmowil kolejnej strony wynikow - chmura moze byc niepelna.";
                break;
            }
            auto found = parseLidarIndex(response.body);
            const long returned = attributeNumber(response.body, "numberReturned");
            const long matched = attributeNumber(response.body, "numberMatched");
            const size_t got = found.size();
            tiles.insert(tiles.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
            const long seen = static_cast<long>(p.startIndex) + (returned >= 0 ? returned : static_cast<long>(got));
            const bool fullPage = returned >= 0 ? returned >= kPageSize : got >= static_cast<size_t>(kPageSize);
            if (!(fullPage || matched > seen)) break;
            if (page + 1 == kMaxPages)
                result.warning = "Skorowidz LiDAR " + std::to_string(year) + ": zbyt wiele kafli - zmniejsz kadr.";
        }
        if (!tiles.empty()) {
            result.tiles = std::move(tiles);
            return result;
        }
    }
    return result;
}

std::string LidarResolver::download(const LidarTile& tile, const net::DownloadProgress& progress, std::string& error) {
    const net::DownloadProgress always = [](std::int64_t, std::int64_t) { return true; };
    return client_.getCachedFile(tile.url, progress ? progress : always, kDownloadTimeoutMs, error,
                                 net::ExpectedBody::PointCloud);
}

}  // namespace kl::cloud
