#include "cloud/las/las_header.h"

#include <cstring>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"

namespace kl::las {

namespace {

constexpr size_t kEvlrHeaderSize = 60;
constexpr size_t kMaxHeaderBlock = 375;
constexpr size_t kMaxVlrPayload = 64 * 1024 * 1024;

LasStatus fail(const std::string& name, const std::string& cause) {
  return LasStatus::failure("Plik " + name + ": " + cause);
}

// The description follows the payload length, which is 2 bytes in a VLR and 8 in an EVLR.
void fillVlrText(const uint8_t* h, size_t lengthBytes, LasVlr* vlr) {
  vlr->userId = fixedText(h + 2, 16);
  vlr->recordId = loadLe<uint16_t>(h + 18);
  vlr->description = fixedText(h + 20 + lengthBytes, 32);
}

}  // namespace

uint16_t standardRecordLength(uint8_t pointFormat) {
  static constexpr uint16_t kSizes[11] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
  return pointFormat <= 10 ? kSizes[pointFormat] : 0;
}

const LasVlr* LasHeader::findVlr(const std::string& userId, uint16_t recordId) const {
  for (const LasVlr& v : vlrs) {
    if (v.recordId == recordId && v.userId == userId) return &v;
  }
  return nullptr;
}

LasStatus readLasHeader(LasFile& file, const std::string& name, LasHeader* header) {
  LasHeader h;
  h.fileSize = file.size();
  if (h.fileSize < 227) return fail(name, "za krotki na naglowek LAS (" + std::to_string(h.fileSize) + " B)");
  uint8_t b[kMaxHeaderBlock] = {};
  const size_t headLen = static_cast<size_t>(h.fileSize < kMaxHeaderBlock ? h.fileSize : kMaxHeaderBlock);
  if (!file.readAt(0, headLen, b)) return fail(name, "nie mozna odczytac naglowka");
  if (std::memcmp(b, "LASF", 4) != 0) return fail(name, "to nie jest plik LAS (brak sygnatury LASF)");
  h.fileSourceId = loadLe<uint16_t>(b + 4);
  h.globalEncoding = loadLe<uint16_t>(b + 6);
  std::memcpy(h.projectGuid.data(), b + 8, 16);
  h.versionMajor = b[24];
  h.versionMinor = b[25];
  if (h.versionMajor != 1 || h.versionMinor > 4) {
    return fail(name, "nieobslugiwana wersja LAS " + std::to_string(h.versionMajor) + "." +
                          std::to_string(h.versionMinor));
  }
  h.systemIdentifier = fixedText(b + 26, 32);
  h.generatingSoftware = fixedText(b + 58, 32);
  h.creationDay = loadLe<uint16_t>(b + 90);
  h.creationYear = loadLe<uint16_t>(b + 92);
  h.headerSize = loadLe<uint16_t>(b + 94);
  h.pointDataOffset = loadLe<uint32_t>(b + 96);
  h.vlrCountDeclared = loadLe<uint32_t>(b + 100);
  h.pointFormatByte = b[104];
  h.pointFormat = static_cast<uint8_t>(h.pointFormatByte & 0x3F);
  h.recordLength = loadLe<uint16_t>(b + 105);
  const uint32_t legacyCount = loadLe<uint32_t>(b + 107);
  for (int i = 0; i < 5; ++i) h.pointsByReturn[static_cast<size_t>(i)] = loadLe<uint32_t>(b + 111 + 4 * i);
  for (size_t i = 0; i < 3; ++i) {
    h.scale[i] = loadLe<double>(b + 131 + 8 * i);
    h.offset[i] = loadLe<double>(b + 155 + 8 * i);
    h.max[i] = loadLe<double>(b + 179 + 16 * i);
    h.min[i] = loadLe<double>(b + 187 + 16 * i);
  }
  if (h.headerSize < 227) return fail(name, "rozmiar naglowka " + std::to_string(h.headerSize) + " B jest za maly");
  if (h.headerSize > h.fileSize) return fail(name, "naglowek wychodzi poza koniec pliku");
  if (h.pointDataOffset < h.headerSize || h.pointDataOffset > h.fileSize) {
    return fail(name, "przesuniecie danych punktow " + std::to_string(h.pointDataOffset) + " jest poza plikiem");
  }
  h.pointCount = legacyCount;
  if (h.versionMinor >= 3 && h.headerSize >= 235) h.waveformStart = loadLe<uint64_t>(b + 227);
  if (h.versionMinor >= 4 && h.headerSize >= 375) {
    h.evlrStart = loadLe<uint64_t>(b + 235);
    h.evlrCount = loadLe<uint32_t>(b + 243);
    const uint64_t count64 = loadLe<uint64_t>(b + 247);
    if (count64 != 0) h.pointCount = count64;
    for (size_t i = 0; i < 15; ++i) h.pointsByReturn[i] = loadLe<uint64_t>(b + 255 + 8 * i);
  }
  const uint16_t standard = standardRecordLength(h.pointFormat);
  if (standard == 0) return fail(name, "nieznany format punktow " + std::to_string(h.pointFormat));
  if (h.recordLength < standard) {
    return fail(name, "dlugosc rekordu " + std::to_string(h.recordLength) + " B jest mniejsza niz " +
                          std::to_string(standard) + " B wymagane dla formatu " + std::to_string(h.pointFormat));
  }

  // The declared VLR count is not trusted: the records end where the points begin.
  uint64_t pos = h.headerSize;
  for (uint32_t i = 0; i < h.vlrCountDeclared; ++i) {
    if (pos + kVlrHeaderSize > h.pointDataOffset) break;
    uint8_t vh[kVlrHeaderSize];
    if (!file.readAt(pos, kVlrHeaderSize, vh)) return fail(name, "nie mozna odczytac rekordu VLR");
    LasVlr vlr;
    fillVlrText(vh, 2, &vlr);
    const uint16_t length = loadLe<uint16_t>(vh + 20);
    vlr.payloadOffset = pos + kVlrHeaderSize;
    if (vlr.payloadOffset + length > h.pointDataOffset) {
      return fail(name, "rekord VLR nr " + std::to_string(i + 1) + " (" + std::to_string(length) +
                            " B) wychodzi poza poczatek danych punktow");
    }
    vlr.payload.resize(length);
    if (!file.readAt(vlr.payloadOffset, length, vlr.payload.data())) return fail(name, "nie mozna odczytac rekordu VLR");
    h.vlrs.push_back(std::move(vlr));
    pos += kVlrHeaderSize + length;
  }

  if (h.evlrCount > 0 && h.evlrStart != 0) {
    if (h.evlrStart < h.pointDataOffset || h.evlrStart > h.fileSize) {
      return fail(name, "poczatek rekordow EVLR " + std::to_string(h.evlrStart) + " jest poza plikiem");
    }
    pos = h.evlrStart;
    for (uint32_t i = 0; i < h.evlrCount; ++i) {
      uint8_t eh[kEvlrHeaderSize];
      if (pos + kEvlrHeaderSize > h.fileSize || !file.readAt(pos, kEvlrHeaderSize, eh)) {
        return fail(name, "rekord EVLR nr " + std::to_string(i + 1) + " wychodzi poza koniec pliku");
      }
      LasVlr vlr;
      fillVlrText(eh, 8, &vlr);
      vlr.extended = true;
      const uint64_t length = loadLe<uint64_t>(eh + 20);
      vlr.payloadOffset = pos + kEvlrHeaderSize;
      if (length > h.fileSize - vlr.payloadOffset) {
        return fail(name, "rekord EVLR nr " + std::to_string(i + 1) + " (" + std::to_string(length) +
                              " B) wychodzi poza koniec pliku");
      }
      // Large EVLRs (waveforms, hierarchies) are only located, not loaded.
      if (length <= kMaxVlrPayload) {
        vlr.payload.resize(static_cast<size_t>(length));
        if (!file.readAt(vlr.payloadOffset, vlr.payload.size(), vlr.payload.data())) {
          return fail(name, "nie mozna odczytac rekordu EVLR");
        }
      } else {
        vlr.locatedLength = length;
      }
      pos = vlr.payloadOffset + length;
      h.vlrs.push_back(std::move(vlr));
    }
  }
  *header = std::move(h);
  return LasStatus::success();
}

std::vector<uint8_t> serializeLasHeader(const LasHeader& h) {
  const size_t size = h.versionMinor >= 4 ? 375 : (h.versionMinor == 3 ? 235 : 227);
  std::vector<uint8_t> out(size, 0);
  uint8_t* b = out.data();
  std::memcpy(b, "LASF", 4);
  storeLe<uint16_t>(b + 4, h.fileSourceId);
  storeLe<uint16_t>(b + 6, h.globalEncoding);
  std::memcpy(b + 8, h.projectGuid.data(), 16);
  b[24] = h.versionMajor;
  b[25] = h.versionMinor;
  std::memcpy(b + 26, h.systemIdentifier.data(), h.systemIdentifier.size() < 32 ? h.systemIdentifier.size() : 32);
  std::memcpy(b + 58, h.generatingSoftware.data(),
              h.generatingSoftware.size() < 32 ? h.generatingSoftware.size() : 32);
  storeLe<uint16_t>(b + 90, h.creationDay);
  storeLe<uint16_t>(b + 92, h.creationYear);
  storeLe<uint16_t>(b + 94, static_cast<uint16_t>(size));
  storeLe<uint32_t>(b + 96, h.pointDataOffset);
  storeLe<uint32_t>(b + 100, h.vlrCountDeclared);
  b[104] = h.pointFormatByte;
  storeLe<uint16_t>(b + 105, h.recordLength);
  const bool legacyFits = h.pointFormat < 6 && h.pointCount <= 0xFFFFFFFFu;
  storeLe<uint32_t>(b + 107, legacyFits ? static_cast<uint32_t>(h.pointCount) : 0);
  for (int i = 0; i < 5; ++i) {
    const uint64_t n = h.pointsByReturn[static_cast<size_t>(i)];
    storeLe<uint32_t>(b + 111 + 4 * i, legacyFits && n <= 0xFFFFFFFFu ? static_cast<uint32_t>(n) : 0);
  }
  for (size_t i = 0; i < 3; ++i) {
    storeLe<double>(b + 131 + 8 * i, h.scale[i]);
    storeLe<double>(b + 155 + 8 * i, h.offset[i]);
    storeLe<double>(b + 179 + 16 * i, h.max[i]);
    storeLe<double>(b + 187 + 16 * i, h.min[i]);
  }
  if (size >= 235) storeLe<uint64_t>(b + 227, h.waveformStart);
  if (size >= 375) {
    storeLe<uint64_t>(b + 235, h.evlrStart);
    storeLe<uint32_t>(b + 243, h.evlrCount);
    storeLe<uint64_t>(b + 247, h.pointCount);
    for (size_t i = 0; i < 15; ++i) storeLe<uint64_t>(b + 255 + 8 * i, h.pointsByReturn[i]);
  }
  return out;
}

}  // namespace kl::las
