#pragma once

#include <cstddef>
#include <istream>

#include "geodata/data_type.h"
#include "geodata/gml_parser.h"

namespace kl::geo {

// Bytes read from the stream at a time.
inline constexpr std::size_t kGmlStreamChunkBytes = std::size_t{1} << 20;

// The features of a GML document read from `in` one collection member at a
// time, each handed to `sink` as soon as it is read: memory for a chunk and
// the largest member, whatever the document's size. The features, their order
// and the answer are those of GmlParser::parse on the whole document (the
// answer's feature list stays empty). Documents that cannot be cut into
// members (another encoding, not a feature collection, no srsName before the
// first feature) are read whole. An answer that is not ok after features went
// to the sink means those features are not the whole document.
GmlParseResult streamGmlFeatures(std::istream& in, DataType type, const GmlFeatureSink& sink,
                                 const GmlParseOptions& options = {},
                                 std::size_t chunkBytes = kGmlStreamChunkBytes);

}  // namespace kl::geo
