#include "cloud/las/layered_codec.h"

#include <cstring>
#include <optional>

#include "cloud/las/byte14_v3_codec.h"
#include "cloud/las/layered_bytes.h"
#include "cloud/las/point14_v3_decoder.h"
#include "cloud/las/point14_v3_encoder.h"
#include "cloud/las/rgb14_v3_codec.h"
#include "cloud/las/wavepacket14_v3_codec.h"

namespace kl::las {

namespace {

using namespace layered;

// Where each item of a layered record lives: its byte offset in the record and its first layer.
struct ItemSlot {
  uint16_t version = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  uint32_t firstLayer = 0;
};

struct LayeredLayout {
  ItemSlot point;
  std::optional<ItemSlot> rgb;
  bool nir = false;
  std::optional<ItemSlot> wavePacket;
  std::optional<ItemSlot> extraBytes;
  uint32_t layerCount = 0;
};

bool fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool describeItems(const std::vector<LaszipItem>& items, uint32_t recordLength, LayeredLayout* layout,
                   std::string* error) {
  if (items.empty() || items[0].type != static_cast<uint16_t>(LaszipItemType::Point14) ||
      items[0].size != kPoint14Size) {
    return fail(error, "lista elementow LAZ warstwowego nie zaczyna sie od punktu formatu 6-10");
  }
  uint32_t offset = 0;
  uint32_t layer = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const LaszipItem& item = items[i];
    const auto type = static_cast<LaszipItemType>(item.type);
    const bool isPoint = i == 0;
    const uint16_t lowestVersion = type == LaszipItemType::WavePacket14 ? 3 : 2;
    if (item.version < lowestVersion || item.version > 4) {
      return fail(error, "nieobslugiwana wersja " + std::to_string(item.version) + " elementu LAZ typu " +
                             std::to_string(item.type));
    }
    ItemSlot slot{item.version, offset, item.size, layer};
    bool ok = true;
    if (isPoint) {
      layout->point = slot;
      layer += kPoint14Layers;
    } else if (type == LaszipItemType::Rgb14 || type == LaszipItemType::RgbNir14) {
      layout->nir = type == LaszipItemType::RgbNir14;
      ok = !layout->rgb && item.size == (layout->nir ? 8 : 6);
      layout->rgb = slot;
      layer += layout->nir ? 2 : 1;
    } else if (type == LaszipItemType::WavePacket14) {
      ok = !layout->wavePacket && item.size == kWavePacketSize;
      layout->wavePacket = slot;
      layer += 1;
    } else if (type == LaszipItemType::Byte14) {
      ok = !layout->extraBytes && item.size > 0;
      layout->extraBytes = slot;
      layer += item.size;
    } else {
      ok = false;
    }
    if (!ok) {
      return fail(error, "element LAZ typu " + std::to_string(item.type) + " (rozmiar " + std::to_string(item.size) +
                             ") nie pasuje do punktow formatu 6-10");
    }
    offset += item.size;
  }
  if (offset != recordLength) {
    return fail(error, "elementy LAZ maja razem " + std::to_string(offset) + " bajtow, a rekord punktu " +
                           std::to_string(recordLength));
  }
  layout->layerCount = layer;
  return true;
}

// The codecs of one chunk, decode or encode side.
template <class Point, class Rgb, class Wave, class Bytes>
struct ChunkCodecs {
  explicit ChunkCodecs(const LayeredLayout& layout) : point(layout.point.version) {
    if (layout.rgb) rgb.emplace(layout.rgb->version, layout.nir);
    if (layout.wavePacket) wave.emplace(layout.wavePacket->version);
    if (layout.extraBytes) bytes.emplace(layout.extraBytes->version, layout.extraBytes->size);
  }
  Point point;
  std::optional<Rgb> rgb;
  std::optional<Wave> wave;
  std::optional<Bytes> bytes;
};

using Decoders = ChunkCodecs<Point14V3Decoder, Rgb14V3Decoder, WavePacket14V3Decoder, Byte14V3Decoder>;
using Encoders = ChunkCodecs<Point14V3Encoder, Rgb14V3Encoder, WavePacket14V3Encoder, Byte14V3Encoder>;

// What the decoders of a chunk are built for; chunks with the same key can share them.
struct DecoderKey {
  uint16_t point = 0, rgb = 0, wave = 0, bytes = 0;
  bool nir = false;
  uint32_t extraBytes = 0;
  bool operator==(const DecoderKey&) const = default;
};

DecoderKey decoderKey(const LayeredLayout& layout) {
  DecoderKey k;
  k.point = layout.point.version;
  if (layout.rgb) k.rgb = layout.rgb->version;
  k.nir = layout.nir;
  if (layout.wavePacket) k.wave = layout.wavePacket->version;
  if (layout.extraBytes) {
    k.bytes = layout.extraBytes->version;
    k.extraBytes = layout.extraBytes->size;
  }
  return k;
}

// A thread decodes chunk after chunk of the same file, so it keeps its decoders: every
// chunk then restarts their models instead of allocating and first touching them anew.
// Each start sets all the state a chunk depends on.
Decoders& decodersFor(const LayeredLayout& layout) {
  thread_local std::optional<Decoders> kept;
  thread_local DecoderKey keptKey;
  const DecoderKey key = decoderKey(layout);
  if (!kept || !(keptKey == key)) {
    kept.emplace(layout);
    keptKey = key;
  }
  return *kept;
}

const char* kCorruptLayer = "uszkodzone dane warstwy";

// A layer of size 0 is one whose values never change after the first point, so a layer
// nobody reads is dropped by giving it that size: its decoder is never started.
void dropUnwantedLayers(const LayeredLayout& layout, RecordFields fields, std::vector<LayerBytes>* layers) {
  auto drop = [&](uint32_t layer, bool wanted) {
    if (!wanted) (*layers)[layer] = {};
  };
  drop(kLayerClassification, fields.has(RecordField::Classification));
  drop(kLayerFlags, fields.has(RecordField::Flags));
  drop(kLayerIntensity, fields.has(RecordField::Intensity));
  drop(kLayerScanAngle, fields.has(RecordField::ScanAngle));
  drop(kLayerUserData, fields.has(RecordField::UserData));
  drop(kLayerPointSource, fields.has(RecordField::PointSource));
  drop(kLayerGpsTime, fields.has(RecordField::GpsTime));
  if (layout.rgb) {
    drop(layout.rgb->firstLayer, fields.has(RecordField::Colour));
    if (layout.nir) drop(layout.rgb->firstLayer + 1, fields.has(RecordField::NearInfrared));
  }
  if (layout.wavePacket) drop(layout.wavePacket->firstLayer, fields.has(RecordField::WavePacket));
  if (layout.extraBytes) {
    for (uint32_t i = 0; i < layout.extraBytes->size; ++i) {
      drop(layout.extraBytes->firstLayer + i, fields.has(RecordField::ExtraBytes));
    }
  }
}

}  // namespace

bool decodeLayeredChunk(const uint8_t* chunk, size_t chunkSize, const std::vector<LaszipItem>& items,
                        uint32_t recordLength, uint64_t pointsInChunk, uint8_t* out, std::string* error,
                        RecordFields fields) {
  LayeredLayout layout;
  if (!describeItems(items, recordLength, &layout, error)) return false;
  if (pointsInChunk == 0) return true;
  if (chunkSize < recordLength) return fail(error, "urwany (za malo danych na pierwszy punkt)");
  std::memcpy(out, chunk, recordLength);
  // A single point needs nothing but its raw copy.
  if (pointsInChunk == 1 && chunkSize == recordLength) return true;

  size_t pos = recordLength;
  const size_t headerBytes = 4 + 4 * static_cast<size_t>(layout.layerCount);
  if (chunkSize - pos < headerBytes) return fail(error, "urwany przed rozmiarami warstw");
  const uint32_t storedCount = loadLe<uint32_t>(chunk + pos);
  if (storedCount != pointsInChunk) {
    return fail(error, "zawiera " + std::to_string(storedCount) + " punktow zamiast " +
                           std::to_string(pointsInChunk));
  }
  pos += 4;
  std::vector<LayerBytes> layers(layout.layerCount);
  size_t layerStart = pos + 4 * static_cast<size_t>(layout.layerCount);
  for (uint32_t i = 0; i < layout.layerCount; ++i) {
    const uint32_t size = loadLe<uint32_t>(chunk + pos + 4 * static_cast<size_t>(i));
    if (size > chunkSize - layerStart) return fail(error, "rozmiary warstw wykraczaja poza dane chunka");
    layers[i] = {chunk + layerStart, size};
    layerStart += size;
  }
  dropUnwantedLayers(layout, fields, &layers);

  Decoders& d = decodersFor(layout);
  uint32_t context = 0;
  bool ok = d.point.start(chunk, layers.data(), &context);
  if (d.rgb) ok = ok && d.rgb->start(chunk + layout.rgb->offset, &layers[layout.rgb->firstLayer], context);
  if (d.wave) {
    ok = ok && d.wave->start(chunk + layout.wavePacket->offset, &layers[layout.wavePacket->firstLayer], context);
  }
  if (d.bytes) {
    ok = ok && d.bytes->start(chunk + layout.extraBytes->offset, &layers[layout.extraBytes->firstLayer], context);
  }
  if (!ok) return fail(error, kCorruptLayer);

  // Extra bytes nobody reads are the first point's in every record: copied, not decoded,
  // while the record is still in cache rather than in a second pass over the chunk.
  const bool bytesDecoded = d.bytes && d.bytes->decodesAny();
  const bool bytesCopied = d.bytes && !bytesDecoded;
  const uint32_t bytesAt = d.bytes ? layout.extraBytes->offset : 0;
  uint8_t* record = out + recordLength;
  for (uint64_t i = 1; i < pointsInChunk; ++i, record += recordLength) {
    context = 0;
    d.point.decode(record, &context);
    if (d.rgb) d.rgb->decode(record + layout.rgb->offset, context);
    if (d.wave) d.wave->decode(record + layout.wavePacket->offset, context);
    if (bytesDecoded) d.bytes->decode(record + layout.extraBytes->offset, context);
    if (bytesCopied) std::memcpy(record + bytesAt, chunk + bytesAt, layout.extraBytes->size);
  }
  const bool overrun = d.point.overrun() || (d.rgb && d.rgb->overrun()) || (d.wave && d.wave->overrun()) ||
                       (d.bytes && d.bytes->overrun());
  if (overrun) return fail(error, kCorruptLayer);
  return true;
}

bool encodeLayeredChunk(const uint8_t* records, uint64_t count, const std::vector<LaszipItem>& items,
                        uint32_t recordLength, std::vector<uint8_t>* out, std::string* error) {
  LayeredLayout layout;
  if (!describeItems(items, recordLength, &layout, error)) return false;
  if (count == 0) return true;
  if (count > UINT32_MAX) return fail(error, "chunk moze miec najwyzej 4294967295 punktow");

  Encoders e(layout);
  uint32_t context = 0;
  e.point.start(records, &context);
  if (e.rgb) e.rgb->start(records + layout.rgb->offset, context);
  if (e.wave) e.wave->start(records + layout.wavePacket->offset, context);
  if (e.bytes) e.bytes->start(records + layout.extraBytes->offset, context);

  const uint8_t* record = records + recordLength;
  for (uint64_t i = 1; i < count; ++i, record += recordLength) {
    context = 0;
    e.point.encode(record, &context);
    if (e.rgb) e.rgb->encode(record + layout.rgb->offset, context);
    if (e.wave) e.wave->encode(record + layout.wavePacket->offset, context);
    if (e.bytes) e.bytes->encode(record + layout.extraBytes->offset, context);
  }

  std::vector<const std::vector<uint8_t>*> layers;
  layers.reserve(layout.layerCount);
  e.point.finish();
  for (uint32_t i = 0; i < kPoint14Layers; ++i) layers.push_back(&e.point.layer(i));
  // Layers follow the item order of the record.
  for (const LaszipItem& item : items) {
    const auto type = static_cast<LaszipItemType>(item.type);
    if (type == LaszipItemType::Rgb14 || type == LaszipItemType::RgbNir14) {
      e.rgb->finish();
      for (uint32_t i = 0; i < e.rgb->layerCount(); ++i) layers.push_back(&e.rgb->layer(i));
    } else if (type == LaszipItemType::WavePacket14) {
      e.wave->finish();
      layers.push_back(&e.wave->layer(0));
    } else if (type == LaszipItemType::Byte14) {
      e.bytes->finish();
      for (uint32_t i = 0; i < e.bytes->layerCount(); ++i) layers.push_back(&e.bytes->layer(i));
    }
  }

  out->insert(out->end(), records, records + recordLength);
  appendLe<uint32_t>(out, static_cast<uint32_t>(count));
  for (const auto* l : layers) appendLe<uint32_t>(out, static_cast<uint32_t>(l->size()));
  for (const auto* l : layers) out->insert(out->end(), l->begin(), l->end());
  return true;
}

}  // namespace kl::las
