#include "net/wfs_tiling.h"

#include "geodata/feature_dedup.h"
#include "geodata/gml_parser.h"
#include "net/wfs_requests.h"
#include "net/xml_root.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace kl::net {
namespace {

enum class PageOutcome { Complete, Failed, Cut };

using Answer = std::vector<geo::GisFeature>;

// The server gave the page before again: it ignores STARTINDEX. Ids are not
// compared, as some servers issue new ones with every answer.
bool samePageAgain(const Answer& before, const Answer& now) {
    return !before.empty() && !now.empty() && geo::sameContent(before.front(), now.front()) &&
           geo::sameContent(before.back(), now.back());
}

// Whether a tile has pages left after `received` features: a known total
// decides; without one a server that pages is asked again until it answers
// an empty page, since it may cap its answers below COUNT without saying so.
bool morePages(const CollectionCounts& counts, long long received, long long returned, bool canPage,
               int pageSize) {
    if (counts.numberMatched >= 0) return received < counts.numberMatched;
    if (canPage) return true;
    return returned >= pageSize || !counts.next.empty();
}

struct TileFetcher {
    WfsClient& client;
    const std::string& endpoint;
    const std::string& typeName;
    geo::DataType type;
    const TiledFetchOptions& options;
    TiledFetchResult& result;
    bool pagingRefused = false;
    bool startIndexIgnored = false;
    bool cutTiles = false;
    std::string lastError;
    std::set<std::string> geometryWarnings;

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
        geometryWarnings.insert(parsed.warnings.begin(), parsed.warnings.end());
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

    // All answers of one box: paged with STARTINDEX while pages remain, or
    // split into quarters when the service cannot page.
    PageOutcome fetchBox(const geo::Bbox& box, int depth, std::vector<Answer>& out) {
        GetFeatureParams p = paramsFor(box);
        const bool canPage = !options.wfs110 && !pagingRefused;
        std::vector<Answer> pages;
        long long received = 0;
        for (int page = 0; page < options.maxPagesPerTile; ++page) {
            const std::string url = buildGetFeatureUrl(p);
            geo::GmlParseResult parsed;
            CachedText answer;
            if (!fetchPage(url, parsed, answer)) {
                if (page == 0) return PageOutcome::Failed;
                pagingRefused = true;
                return splitOrKeep(box, depth, pages, out);
            }
            if (page > 0 && samePageAgain(pages.back(), parsed.features)) {
                // Not worth keeping: the next run should ask again.
                client.evictCachedText(url);
                startIndexIgnored = true;
                pagingRefused = true;
                return splitOrKeep(box, depth, pages, out);
            }
            const CollectionCounts counts = collectionCounts(answer.text);
            const long long returned =
                std::max<long long>(counts.numberReturned, static_cast<long long>(parsed.features.size()));
            received += returned;
            pages.push_back(std::move(parsed.features));
            if (returned == 0 || !morePages(counts, received, returned, canPage, options.pageSize)) {
                keep(pages, out);
                return PageOutcome::Complete;
            }
            if (!canPage) return splitOrKeep(box, depth, pages, out);
            p.startIndex += static_cast<int>(returned);
        }
        cutTiles = true;
        keep(pages, out);
        return PageOutcome::Cut;
    }

    PageOutcome splitOrKeep(const geo::Bbox& box, int depth, std::vector<Answer>& pages, std::vector<Answer>& out) {
        if (depth >= options.maxSplitDepth) {
            cutTiles = true;
            keep(pages, out);
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
        // Quarters that failed are covered, as far as it goes, by the first answers.
        const bool hadFirstAnswer = !pages.empty() && !pages.front().empty();
        cutTiles = true;
        keep(pages, out);
        return failed == 4 && !hadFirstAnswer ? PageOutcome::Failed : PageOutcome::Cut;
    }

    static void keep(std::vector<Answer>& from, std::vector<Answer>& to) {
        for (auto& a : from) to.push_back(std::move(a));
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

std::string geometryLossWarning(const std::string& typeName, const std::set<std::string>& parseWarnings) {
    if (parseWarnings.empty()) return {};
    constexpr std::size_t kNamed = 3;
    std::string text = "Usluga WFS " + typeName + ":";
    std::size_t named = 0;
    for (const std::string& w : parseWarnings) {
        if (named++ == kNamed) break;
        text += " " + w;
    }
    if (parseWarnings.size() > kNamed) text += " (i " + std::to_string(parseWarnings.size() - kNamed) + " innych)";
    return text;
}

TiledFetchResult getFeatureTiled(WfsClient& client, const std::string& endpoint, const std::string& typeName,
                                 const geo::Bbox& frame, geo::DataType type, const TileProgress& progress,
                                 const TiledFetchOptions& options) {
    TiledFetchResult result;
    const std::vector<geo::Bbox> tiles = tilesFor(frame);
    result.tiles = static_cast<int>(tiles.size());
    TileFetcher fetcher{client, endpoint, typeName, type, options, result, false, false, false, {}, {}};
    std::vector<Answer> answers;
    int failed = 0;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (fetcher.fetchBox(tiles[i], 0, answers) == PageOutcome::Failed)
            ++failed;
        else
            ++result.tilesAnswered;
        if (progress) progress(static_cast<int>(i + 1), result.tiles);
    }
    std::size_t total = 0;
    for (const Answer& a : answers) total += a.size();
    result.features = geo::deduplicateAnswers(std::move(answers));
    result.duplicatesDropped = static_cast<int>(total - result.features.size());

    std::string warning;
    auto add = [&](const std::string& text) { warning += (warning.empty() ? "" : " ") + text; };
    if (fetcher.startIndexIgnored)
        add("Usluga WFS " + typeName + " pomija STARTINDEX (zwraca wciaz te sama strone) - gesty kafel podzielono na "
            "mniejsze.");
    else if (fetcher.pagingRefused)
        add("Usluga WFS " + typeName + " nie obsluguje stronicowania - gesty kafel podzielono na mniejsze.");
    if (fetcher.cutTiles)
        add("Usluga WFS " + typeName + " zwrocila niepelne dane dla gestego obszaru (limit " +
            std::to_string(options.pageSize) + " obiektow na zapytanie).");
    if (failed > 0)
        add("Usluga WFS " + typeName + ": " + std::to_string(failed) + " z " + std::to_string(result.tiles) +
            " kafli bez odpowiedzi" + (fetcher.lastError.empty() ? "" : " (" + fetcher.lastError + ")") + ".");
    if (!fetcher.geometryWarnings.empty()) add(geometryLossWarning(typeName, fetcher.geometryWarnings));
    result.warning = warning;
    return result;
}

}  // namespace kl::net
