#include "geodata/data_type.h"

namespace kl::geo {
namespace {

struct DataTypeTexts {
  std::string_view key;
  std::string_view previewKind;
};

constexpr std::array<DataTypeTexts, kDataTypeCount> kTexts = {{
    {"dzialki", "dzialka"},
    {"budynki", "budynek"},
    {"mpzp", "mpzp"},
    {"pog", "pog"},
    {"gesut", "gesut"},
    {"bdot500", "inne"},
    {"teren", "inne"},
    {"rastry", "rastr"},
    {"budynki3d", "inne"},
    {"poziomice2d", "inne"},
    {"poziomice3d", "inne"},
    {"budynkilod2", "inne"},
    {"budynkindsm", "inne"},
    {"mosty", "inne"},
    {"drogi", "inne"},
    {"terenchmura", "inne"},
    {"poziomicechmura2d", "inne"},
    {"poziomicechmura3d", "inne"},
    {"budynkirekon", "inne"},
    {"wodachmura", "inne"},
}};

constexpr std::string_view kOther = "inne";

constexpr std::array<DataType, kDataTypeCount> makeAll() {
  std::array<DataType, kDataTypeCount> all{};
  for (std::size_t i = 0; i < kDataTypeCount; ++i) {
    all[i] = static_cast<DataType>(i);
  }
  return all;
}

constexpr std::array<DataType, kDataTypeCount> kAll = makeAll();

const DataTypeTexts* textsOf(DataType type) noexcept {
  const auto index = static_cast<std::int32_t>(type);
  if (index < 0 || index >= static_cast<std::int32_t>(kDataTypeCount)) {
    return nullptr;
  }
  return &kTexts[static_cast<std::size_t>(index)];
}

}  // namespace

std::string_view dataTypeKey(DataType type) noexcept {
  const DataTypeTexts* t = textsOf(type);
  return t ? t->key : kOther;
}

std::string_view dataTypePreviewKind(DataType type) noexcept {
  const DataTypeTexts* t = textsOf(type);
  return t ? t->previewKind : kOther;
}

std::optional<DataType> dataTypeFromKey(std::string_view key) noexcept {
  for (std::size_t i = 0; i < kDataTypeCount; ++i) {
    if (kTexts[i].key == key) {
      return kAll[i];
    }
  }
  return std::nullopt;
}

const std::array<DataType, kDataTypeCount>& allDataTypes() noexcept { return kAll; }

}  // namespace kl::geo
