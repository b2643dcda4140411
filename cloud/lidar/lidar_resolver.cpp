#include "cloud/lidar/lidar_resolver.h"

#include <chrono>
#include <thread>

#include "cloud/lidar/lidar_index.h"
#include "cloud/lidar/lidar_tile_check.h"
#include "net/sheet_index_text.h"
#include "net/service_hosts.h"
#include "net/url_text.h"
#include "net/wfs_requests.h"
#include "net/xml_root.h"

namespace kl::cloud {
namespace {

// The server's own link to the next page, when it stays on the same server.
bool followable(const settings::ServiceHosts& hosts, const std::string& next, const std::string& current) {
    return next.rfind("http", 0) == 0 &&
           net::hostOf(net::routeThroughOverride(hosts, next)) == net::hostOf(net::routeThroughOverride(hosts, current));
}

}  // namespace

LidarQuery LidarResolver::query(const geo::Bbox& frame, int currentYear, const std::function<bool()>& cancelled) {
    LidarQuery result;
    std::string firstFailure;
    const std::string base = net::nationalServiceUrl(client_.hosts(), kLidarIndexPath);
    for (int year = currentYear + 1; year >= kLidarOldestYear; --year) {
        const std::string yearText = std::to_string(year);
        std::vector<LidarTile> tiles;
        net::GetFeatureParams p;
        p.baseUrl = base;
        p.typeName = lidarIndexTypeName(year);
        p.count = kPageSize;
        p.frame = frame;
        std::string url = net::buildGetFeatureUrl(p);
        long long seen = 0;
        std::string previousPage;
        for (int page = 0;; ++page) {
            if (cancelled && cancelled()) return result;
            if (page == kMaxPages) {
                result.warning = "Skorowidz LiDAR " + yearText + ": zbyt wiele kafli - zmniejsz kadr.";
                break;
            }
            const auto response = client_.get(url);
            if (const std::string why = net::indexAnswerProblem(response); !why.empty()) {
                if (page > 0)
                    result.warning = "Skorowidz LiDAR " + yearText + ": kolejna strona wynikow nie przyszla (" + why +
                                     ") - chmura moze byc niepelna.";
                else if (!net::indexLayerNotOffered(response) && firstFailure.empty())
                    firstFailure = "rok " + yearText + ": " + why;
                break;
            }
            auto found = parseLidarIndex(response.body);
            const net::CollectionCounts facts = net::collectionCounts(response.body);
            const long long returned =
                facts.numberReturned >= 0 ? facts.numberReturned : static_cast<long long>(found.size());
            if (returned == 0 && found.empty()) break;
            // A server that ignores STARTINDEX answers the same page again.
            const std::string pageKey = found.empty() ? std::string() : found.front().url + "\n" + found.back().url;
            if (!pageKey.empty() && pageKey == previousPage) {
                result.warning = "Skorowidz LiDAR " + yearText +
                                 ": serwer powtarza te sama strone wynikow - chmura moze byc niepelna.";
                break;
            }
            previousPage = pageKey;
            tiles.insert(tiles.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
            // Servers cap a page below the COUNT asked for, so the next page
            // starts after what came, and only the total or an empty page
            // says that nothing is left.
            seen += returned;
            if (facts.numberMatched >= 0 && seen >= facts.numberMatched) break;
            if (followable(client_.hosts(), facts.next, url)) {
                url = facts.next;
            } else {
                p.startIndex = static_cast<int>(seen);
                url = net::buildGetFeatureUrl(p);
            }
        }
        if (!tiles.empty()) {
            result.tiles = std::move(tiles);
            if (!firstFailure.empty())
                result.newerYearFailed = "Skorowidz LiDAR nie odpowiedzial poprawnie (" + firstFailure +
                                         ") - uzyto danych z roku " + yearText + ", nowsze moga istniec.";
            return result;
        }
    }
    if (!firstFailure.empty())
        result.failure = "Serwis skorowidza LiDAR nie odpowiada poprawnie (" + firstFailure +
                         ") - nie wiadomo, czy sa dane dla tego obszaru. Sprobuj ponownie pozniej.";
    return result;
}

std::string LidarResolver::download(const LidarTile& tile, const net::DownloadProgress& progress, std::string& error,
                                    net::CacheFailure* failure) {
    net::CacheFailure ignored = net::CacheFailure::None;
    net::CacheFailure& why = failure ? *failure : ignored;
    bool stopped = false;
    const net::DownloadProgress watched = [&](std::int64_t received, std::int64_t total) {
        if (!progress || progress(received, total)) return true;
        stopped = true;
        return false;
    };
    for (int attempt = 0;; ++attempt) {
        std::string path = client_.getCachedFile(tile.url, watched, kDownloadTimeoutMs, error,
                                                 net::ExpectedBody::PointCloud, lidarTileDamage, &why);
        if (!path.empty() || stopped || attempt == 1 || why == net::CacheFailure::Disk) return path;
        std::this_thread::sleep_for(std::chrono::milliseconds(client_.timings().retryDelayMs));
    }
}

}  // namespace kl::cloud
