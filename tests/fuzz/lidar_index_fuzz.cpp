// The LiDAR sheet index is read by a text scan, not an XML parser, so a
// damaged or hostile answer must still give only downloadable tiles with a
// known or zero zone, and the scan must stay inside the answer.
#include <cmath>
#include <cstddef>

#include "cloud/lidar/lidar_index.h"
#include "net/sheet_index_text.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

std::size_t occurrences(std::string_view text, std::string_view needle) {
  std::size_t n = 0;
  for (auto pos = text.find(needle); pos != std::string_view::npos; pos = text.find(needle, pos + 1)) ++n;
  return n;
}

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  using namespace kl::cloud;
  using namespace kl::net;

  std::size_t members = 0;
  forEachIndexMember(text, [&](const IndexMember& m) {
    kl::fuzz::expect(m.start <= m.urlTag && m.urlTag < m.end && m.end <= text.size());
    // A record's fields come from the record itself, never from the next one.
    const std::string zone = indexElementText(text, m.start, "uklad_xy", m.end);
    kl::fuzz::expect(zone.empty() || text.substr(m.start, m.end - m.start).find(zone) != std::string_view::npos);
    ++members;
  });
  kl::fuzz::expect(members == occurrences(text, "gugik:url_do_pobrania>"));

  const auto tiles = parseLidarIndex(text);
  kl::fuzz::expect(tiles.size() <= members);
  for (const auto& tile : tiles) {
    kl::fuzz::expect(tile.url.rfind("http", 0) == 0);
    kl::fuzz::expect(tile.epsg == 0 || (tile.epsg >= 2176 && tile.epsg <= 2180));
  }

  // Elements are also looked up from arbitrary points of an answer.
  (void)indexElementText(text, text.size() / 2, "godlo");
  (void)indexElementText(text, text.size() + 1, "godlo");
  (void)isWholeFeatureCollection(text);
  const double density = leadingDecimal(text.substr(0, 80));
  kl::fuzz::expect(std::isfinite(density) && density >= 0);
}
