#include "cloud/lidar/lidar_tile_check.h"

#include "cloud/las/chunk_table.h"
#include "cloud/las/las_file.h"
#include "cloud/las/las_header.h"
#include "cloud/las/laszip_vlr.h"

namespace kl::cloud {

std::string lidarTileDamage(const std::string& path) {
    const std::string name = "LAZ";
    las::LasFile file;
    if (!file.open(path)) return "nie mozna odczytac pobranego kafla";
    las::LasHeader h;
    if (las::LasStatus st = las::readLasHeader(file, name, &h); !st) return st.message;
    const las::LasVlr* vlr = h.findVlr(las::kLaszipVlrUserId, las::kLaszipVlrRecordId);
    const bool compressed = (h.pointFormatByte & 0x80) != 0 && vlr != nullptr;
    if (!compressed) {
        const uint64_t room = h.fileSize > h.pointDataOffset ? h.fileSize - h.pointDataOffset : 0;
        if (h.recordLength == 0 || h.pointCount > room / h.recordLength)
            return "kafel urwany: naglowek deklaruje " + std::to_string(h.pointCount) + " punktow, a plik miesci " +
                   std::to_string(h.recordLength ? room / h.recordLength : 0);
        return {};
    }
    las::LaszipInfo info;
    if (las::LasStatus st = las::parseLaszipVlr(vlr->payload.data(), vlr->payload.size(), &info); !st) return st.message;
    // A file without a chunk table can only be checked by decoding it all;
    // the national tiles always carry one, so its absence means a cut file.
    const las::ChunkTableResult table = las::readChunkTable(file, h, info, name);
    if (!table.status) return "kafel urwany lub uszkodzony: " + table.status.message;
    if (table.sequential) return "kafel urwany lub uszkodzony: " + table.reason;
    return {};
}

}  // namespace kl::cloud
