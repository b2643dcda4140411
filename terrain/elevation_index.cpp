#include "terrain/elevation_index.h"

#include "net/service_hosts.h"
#include "net/sheet_index_text.h"
#include "net/wfs_requests.h"

namespace kl::terrain {

std::string_view elevationModelName(ElevationModel model) {
  return model == ElevationModel::Terrain ? "NMT" : "NMPT";
}

std::string elevationIndexTypeName(ElevationModel model, int year) {
  return "gugik:Skorowidz" + std::string(elevationModelName(model)) + std::to_string(year);
}

std::string_view elevationIndexPath(ElevationModel model) {
  return model == ElevationModel::Terrain
             ? "/wss/service/PZGIK/NumerycznyModelTerenuEVRF2007/WFS/Skorowidze"
             : "/wss/service/PZGIK/NumerycznyModelPokryciaTerenuEVRF2007/WFS/Skorowidze";
}

std::vector<ElevationSheetRecord> parseElevationIndex(std::string_view answer) {
  std::vector<ElevationSheetRecord> records;
  net::forEachIndexMember(answer, [&](const net::IndexMember& m) {
    ElevationSheetRecord r;
    r.url = net::indexElementText(answer, m.urlTag, "url_do_pobrania", m.end);
    if (r.url.rfind("http", 0) != 0) return;
    // Bounded by the record's end: a record without a code must not take
    // the next record's one.
    r.godlo = net::indexElementText(answer, m.start, "godlo", m.end);
    records.push_back(std::move(r));
  });
  return records;
}

ElevationIndexQuery queryElevationIndex(net::WfsClient& client, ElevationModel model, const geo::Bbox& frame,
                                        int currentYear) {
  ElevationIndexQuery result;
  std::string firstFailure;
  net::GetFeatureParams p;
  p.baseUrl = net::nationalServiceUrl(client.hosts(), elevationIndexPath(model));
  p.frame = frame;
  for (int year = currentYear + 1; year >= kElevationOldestYear; --year) {
    p.typeName = elevationIndexTypeName(model, year);
    const net::HttpResponse response = client.get(net::buildGetFeatureUrl(p));
    if (const std::string why = net::indexAnswerProblem(response); !why.empty()) {
      if (!net::indexLayerNotOffered(response) && firstFailure.empty())
        firstFailure = "rok " + std::to_string(year) + ": " + why;
      continue;
    }
    result.sheets = parseElevationIndex(response.body);
    if (!result.sheets.empty()) return result;
  }
  if (!firstFailure.empty())
    result.failure = "Skorowidz " + std::string(elevationModelName(model)) + " nie odpowiada poprawnie (" +
                     firstFailure + ") - nie wiadomo, czy sa arkusze dla tego obszaru.";
  return result;
}

}  // namespace kl::terrain
