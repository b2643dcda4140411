#include "cloud/las/laszip_vlr.h"

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_header.h"

namespace kl::las {

namespace {

const char* itemName(uint16_t type) {
  switch (static_cast<LaszipItemType>(type)) {
    case LaszipItemType::Byte: return "BYTE";
    case LaszipItemType::Point10: return "POINT10";
    case LaszipItemType::GpsTime11: return "GPSTIME11";
    case LaszipItemType::Rgb12: return "RGB12";
    case LaszipItemType::WavePacket13: return "WAVEPACKET13";
    case LaszipItemType::Point14: return "POINT14";
    case LaszipItemType::Rgb14: return "RGB14";
    case LaszipItemType::RgbNir14: return "RGBNIR14";
    case LaszipItemType::WavePacket14: return "WAVEPACKET14";
    case LaszipItemType::Byte14: return "BYTE14";
  }
  return nullptr;
}

bool versionSupported(const LaszipItem& item) {
  switch (static_cast<LaszipItemType>(item.type)) {
    case LaszipItemType::Byte:
    case LaszipItemType::Point10:
    case LaszipItemType::GpsTime11:
    case LaszipItemType::Rgb12: return item.version == 2;
    case LaszipItemType::WavePacket13: return item.version == 1;
    case LaszipItemType::Point14:
    case LaszipItemType::Rgb14:
    case LaszipItemType::RgbNir14:
    case LaszipItemType::Byte14: return item.version >= 2 && item.version <= 4;
    case LaszipItemType::WavePacket14: return item.version == 3 || item.version == 4;
  }
  return false;
}

std::string describe(const std::vector<LaszipItem>& items) {
  std::string s;
  for (const LaszipItem& it : items) {
    if (!s.empty()) s += ", ";
    const char* n = itemName(it.type);
    if (n != nullptr) {
      s.append(n);
    } else {
      s.append("typ ").append(std::to_string(it.type));
    }
    s.append("/").append(std::to_string(it.size));
  }
  return s;
}

std::vector<LaszipItem> coreItems(uint8_t f) {
  using T = LaszipItemType;
  auto item = [](T t, uint16_t size, uint16_t version) { return LaszipItem{static_cast<uint16_t>(t), size, version}; };
  std::vector<LaszipItem> v;
  if (f <= 5) {
    v.push_back(item(T::Point10, 20, 2));
    if (formatHasGpsTime(f)) v.push_back(item(T::GpsTime11, 8, 2));
    if (formatHasRgb(f)) v.push_back(item(T::Rgb12, 6, 2));
    if (formatHasWavePacket(f)) v.push_back(item(T::WavePacket13, 29, 1));
  } else {
    v.push_back(item(T::Point14, 30, 3));
    if (formatHasNir(f)) {
      v.push_back(item(T::RgbNir14, 8, 3));
    } else if (formatHasRgb(f)) {
      v.push_back(item(T::Rgb14, 6, 3));
    }
    if (formatHasWavePacket(f)) v.push_back(item(T::WavePacket14, 29, 3));
  }
  return v;
}

}  // namespace

LasStatus parseLaszipVlr(const uint8_t* p, size_t size, LaszipInfo* info) {
  if (size < 34 || (size - 34) % 6 != 0) {
    return LasStatus::failure("rekord LASzip ma nieprawidlowa dlugosc " + std::to_string(size) + " B");
  }
  LaszipInfo in;
  in.compressor = loadLe<uint16_t>(p);
  in.coder = loadLe<uint16_t>(p + 2);
  in.versionMajor = p[4];
  in.versionMinor = p[5];
  in.versionRevision = loadLe<uint16_t>(p + 6);
  in.options = loadLe<uint32_t>(p + 8);
  in.chunkSize = loadLe<uint32_t>(p + 12);
  in.specialEvlrCount = loadLe<int64_t>(p + 16);
  in.specialEvlrOffset = loadLe<int64_t>(p + 24);
  const uint16_t count = loadLe<uint16_t>(p + 32);
  if (count == 0 || 34 + 6 * static_cast<size_t>(count) != size) {
    return LasStatus::failure("rekord LASzip deklaruje " + std::to_string(count) + " elementow przy dlugosci " +
                              std::to_string(size) + " B");
  }
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* q = p + 34 + 6 * i;
    in.items.push_back({loadLe<uint16_t>(q), loadLe<uint16_t>(q + 2), loadLe<uint16_t>(q + 4)});
  }
  *info = std::move(in);
  return LasStatus::success();
}

LasStatus checkLaszipInfo(const LaszipInfo& info, uint8_t pointFormat, uint16_t recordLength) {
  if (info.compressor < 1 || info.compressor > 3) {
    return LasStatus::failure("nieznany kompresor LASzip " + std::to_string(info.compressor));
  }
  if (info.coder != 0) return LasStatus::failure("nieznany koder LASzip " + std::to_string(info.coder));
  const bool extended = formatIsExtended(pointFormat);
  if (extended != info.layered()) {
    return LasStatus::failure("kompresor LASzip " + std::to_string(info.compressor) +
                              " nie pasuje do formatu punktow " + std::to_string(pointFormat));
  }
  uint32_t total = 0;
  for (const LaszipItem& it : info.items) {
    if (itemName(it.type) == nullptr) return LasStatus::failure("nieznany typ elementu LASzip " + std::to_string(it.type));
    total += it.size;
  }
  std::vector<LaszipItem> expected = coreItems(pointFormat);
  bool match = info.items.size() >= expected.size();
  for (size_t i = 0; match && i < expected.size(); ++i) {
    match = info.items[i].type == expected[i].type && info.items[i].size == expected[i].size;
  }
  const uint16_t extraType = static_cast<uint16_t>(extended ? LaszipItemType::Byte14 : LaszipItemType::Byte);
  if (match && info.items.size() == expected.size() + 1) {
    match = info.items.back().type == extraType && info.items.back().size > 0;
  } else if (info.items.size() != expected.size()) {
    match = false;
  }
  if (!match || total != recordLength) {
    return LasStatus::failure("lista elementow LASzip (" + describe(info.items) + ") nie pasuje do formatu punktow " +
                              std::to_string(pointFormat) + " z rekordem " + std::to_string(recordLength) + " B");
  }
  for (const LaszipItem& it : info.items) {
    if (!versionSupported(it)) {
      return LasStatus::failure(std::string("nieobslugiwana wersja ") + std::to_string(it.version) + " elementu " +
                                itemName(it.type));
    }
  }
  return LasStatus::success();
}

std::vector<LaszipItem> standardLaszipItems(uint8_t pointFormat, uint16_t recordLength) {
  std::vector<LaszipItem> v = coreItems(pointFormat);
  const uint16_t standard = standardRecordLength(pointFormat);
  if (recordLength > standard) {
    const auto type = formatIsExtended(pointFormat) ? LaszipItemType::Byte14 : LaszipItemType::Byte;
    v.push_back({static_cast<uint16_t>(type), static_cast<uint16_t>(recordLength - standard),
                 static_cast<uint16_t>(formatIsExtended(pointFormat) ? 3 : 2)});
  }
  return v;
}

std::vector<uint8_t> serializeLaszipVlr(const LaszipInfo& info) {
  std::vector<uint8_t> out;
  appendLe<uint16_t>(&out, info.compressor);
  appendLe<uint16_t>(&out, info.coder);
  out.push_back(info.versionMajor);
  out.push_back(info.versionMinor);
  appendLe<uint16_t>(&out, info.versionRevision);
  appendLe<uint32_t>(&out, info.options);
  appendLe<uint32_t>(&out, info.chunkSize);
  appendLe<int64_t>(&out, info.specialEvlrCount);
  appendLe<int64_t>(&out, info.specialEvlrOffset);
  appendLe<uint16_t>(&out, static_cast<uint16_t>(info.items.size()));
  for (const LaszipItem& it : info.items) {
    appendLe<uint16_t>(&out, it.type);
    appendLe<uint16_t>(&out, it.size);
    appendLe<uint16_t>(&out, it.version);
  }
  return out;
}

}  // namespace kl::las
