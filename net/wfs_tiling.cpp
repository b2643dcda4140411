#include "net/wfs_tiling.h"

#include "geodata/feature_dedup.h"
#include "geodata/gml_parser.h"
#include "net/wfs_requests.h"
#include "net/xml_root.h"

#include <algorithm>
#include <cmath>

namespace kl::net {
namespace {

enum class PageOutcome { Complete, Failed, Refused, Cut };

struct TileFetcher {
    WfsClient& client;
    const std::string& endpoint;
    const std::string& typeName;
    geo::DataType type;
    const TiledFetchOptions& options;
    TiledFetchResult& result;
    bool pagingRefused = false;
    bool cutTiles = false;
    std::string lastError;

    // One answer: from the cache or the network, parsed. A cached answer that
    // does not parse is dropped from the cache.
    bool fetchPage(const std::string& url, geo::GmlParseResult& parsed, CachedText& answer) {
        answer = client.fetchCachedText(url, client.timings().defaultReceiveTimeoutMs, ExpectedBody::Xml, true);
        if (answer.text.empty()) {
            lastError = answer.error;
            return false;
        }
        ++result.requests;
        parsed = geo::GmlParser::parse(answer.text, type);
        if (!parsed.ok()) {
            client.evictCachedText(url);
            lastError = parsed.message;
            return false;
        }
        return true;
    }

    GetFeatureParams paramsFor(const geo::Bbox& box) const {
        GetFeatureParams p;
        p.baseUrl = endpoint;
        p.typeName = typeName;
        p.count = options.pageSize;
        p.frame = box;
        p.northingFirst = options.northingFirst;
        p.wfs110 = options.wfs110;
        p.epsg = options.epsg;
        return p;
    }

    // All features of one box: paged with STARTINDEX while pages come back
    // full, or split into quarters when the service cannot page.
    PageOutcome fetchBox(const geo::Bbox& box, int depth, std::vector<geo::GisFeature>& out) {
        GetFeatureParams p = paramsFor(box);
        const bool canPage = !options.wfs110 && !pagingRefused;
        std::vector<geo::GisFeature> collected;
        for (int page = 0; page < options.maxPagesPerTile; ++page) {
            geo::GmlParseResult parsed;
            CachedText answer;
            if (!fetchPage(buildGetFeatureUrl(p), parsed, answer)) {
                if (page == 0) return PageOutcome::Failed;
                pagingRefused = true;
                return splitOrKeep(box, depth, collected, out);
            }
            const CollectionCounts counts = collectionCounts(answer.text);
            const long long returned =
                std::max<long long>(counts.numberReturned, static_cast<long long>(parsed.features.size()));
            const std::size_t before = collected.size();
            for (auto& f : parsed.features) collected.push_back(std::move(f));
            const bool more = returned >= options.pageSize || counts.numberMatched > p.startIndex + returned;
            if (returned == 0 || !more) {
                keep(collected, out);
                return PageOutcome::Complete;
            }
            if (!canPage) return splitOrKeep(box, depth, collected, out);
            if (page > 0 && collected.size() == before) break;  // the same page again
            p.startIndex += static_cast<int>(returned);
        }
        cutTiles = true;
        keep(collected, out);
        return PageOutcome::Cut;
    }

    PageOutcome splitOrKeep(const geo::Bbox& box, int depth, std::vector<geo::GisFeature>& collected,
                            std::vector<geo::GisFeature>& out) {
        if (depth >= options.maxSplitDepth) {
            cutTiles = true;
            keep(collected, out);
            return PageOutcome::Cut;
        }
        const double midX = (box.minX + box.maxX) / 2;
        const double midY = (box.minY + box.maxY) / 2;
        const geo::Bbox quarters[4] = {{box.minX, box.minY, midX, midY},
                                       {box.minX, midY, midX, box.maxY},
                                       {midX, box.minY, box.maxX, midY},
                                       {midX, midY, box.maxX, box.maxY}};
        int complete = 0;
        int failed = 0;
        for (const auto& q : quarters) {
            const PageOutcome o = fetchBox(q, depth + 1, out);
            complete += o == PageOutcome::Complete;
            failed += o == PageOutcome::Failed;
        }
        if (complete == 4) return PageOutcome::Complete;
        // Quarters that failed are covered, as far as it goes, by the first answer.
        const bool hadFirstAnswer = !collected.empty();
        cutTiles = true;
        keep(collected, out);
        return failed == 4 && !hadFirstAnswer ? PageOutcome::Failed : PageOutcome::Cut;
    }

    static void keep(std::vector<geo::GisFeature>& from, std::vector<geo::GisFeature>& to) {
        for (auto& f : from) to.push_back(std::move(f));
        from.clear();
    }
};

}  // namespace

std::vector<geo::Bbox> tilesFor(const geo::Bbox& frame, double tileSize) {
    std::vector<geo::Bbox> tiles;
    if (!(frame.maxX > frame.minX) || !(tileSize > 0)) return tiles;
    const auto steps = [&](double from, double to) {
        return std::max(static_cast<long long>(std::ceil((to - from) / tileSize)), 1LL);
    };
    const long long cols = steps(frame.minX, frame.maxX);
    const long long rows = steps(frame.minY, frame.maxY);
    if (cols * rows > 100000) return tiles;  // a box of a whole country is a caller's error
    for (long long c = 0; c < cols; ++c) {
        const double x = frame.minX + static_cast<double>(c) * tileSize;
        for (long long r = 0; r < rows; ++r) {
            const double y = frame.minY + static_cast<double>(r) * tileSize;
            tiles.push_back({x, y, std::min(x + tileSize, frame.maxX), std::min(y + tileSize, frame.maxY)});
        }
    }
    return tiles;
}

TiledFetchResult getFeatureTiled(WfsClient& client, const std::string& endpoint, const std::string& typeName,
                                 const geo::Bbox& frame, geo::DataType type, const TileProgress& progress,
                                 const TiledFetchOptions& options) {
    TiledFetchResult result;
    const std::vector<geo::Bbox> tiles = tilesFor(frame);
    result.tiles = static_cast<int>(tiles.size());
    TileFetcher fetcher{client, endpoint, typeName, type, options, result, false, false, {}};
    std::vector<geo::GisFeature> merged;
    int failed = 0;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (fetcher.fetchBox(tiles[i], 0, merged) == PageOutcome::Failed)
            ++failed;
        else
            ++result.tilesAnswered;
        if (progress) progress(static_cast<int>(i + 1), result.tiles);
    }
    const std::size_t total = merged.size();
    result.features = geo::deduplicateFeatures(std::move(merged));
    result.duplicatesDropped = static_cast<int>(total - result.features.size());

    std::string warning;
    auto add = [&](const std::string& text) { warning += (warning.empty() ? "" : " ") + text; };
    if (fetcher.pagingRefused)
        add("Usluga WFS " + typeName + " nie obsluguje stronicowania - gesty kafel podzielono na mniejsze.");
    if (fetcher.cutTiles)
        add("Usluga WFS " + typeName + " zwrocila niepelne dane dla gestego obszaru (limit " +
            std::to_string(options.pageSize) + " obiektow na zapytanie).");
    if (failed > 0)
        add("Usluga WFS " + typeName + ": " + std::to_string(failed) + " z " + std::to_string(result.tiles) +
            " kafli bez odpowiedzi" + (fetcher.lastError.empty() ? "" : " (" + fetcher.lastError + ")") + ".");
    result.warning = warning;
    return result;
}

}  // namespace kl::net
