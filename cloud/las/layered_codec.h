#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/laszip_vlr.h"
#include "cloud/las/record_fields.h"

namespace kl::las {

// Decodes one chunk of a layered (point formats 6-10) LAZ file into raw records of
// recordLength bytes each, written contiguously to out (pointsInChunk * recordLength bytes).
// chunk: the chunk bytes exactly as stored in the file, i.e. the raw first record, then the
// u32 point count of the chunk, the u32 layer sizes and the layers. items: the LASzip item list.
// Returns false with a message on any inconsistency (item list, point count, layer sizes
// past the chunk); never reads outside [chunk, chunk + chunkSize). Fields not in fields keep
// the first record's values.
bool decodeLayeredChunk(const uint8_t* chunk, size_t chunkSize, const std::vector<LaszipItem>& items,
                        uint32_t recordLength, uint64_t pointsInChunk, uint8_t* out, std::string* error,
                        RecordFields fields = RecordFields::all());

// Encodes count raw records (recordLength bytes each) into one layered chunk, appended to *out
// in the stored layout described above. Returns false with a message if the item list does not
// describe the records (count 0 appends nothing and succeeds).
bool encodeLayeredChunk(const uint8_t* records, uint64_t count, const std::vector<LaszipItem>& items,
                        uint32_t recordLength, std::vector<uint8_t>* out, std::string* error);

}  // namespace kl::las
