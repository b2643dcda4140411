#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kl::geo {

// Kinds of data the add-on imports. The value is also the index used in the
// settings file and in layer naming, so the numbering is fixed.
enum class DataType : std::int32_t {
  Parcels = 0,
  Buildings = 1,
  ZoningPlans = 2,
  GeneralPlans = 3,
  UtilityNetworks = 4,
  TopographicObjects = 5,
  TerrainMesh = 6,
  Rasters = 7,
  Buildings3dLod1 = 8,
  Contours2d = 9,
  Contours3d = 10,
  Buildings3dLod2 = 11,
  BuildingsFromSurfaceModel = 12,
  Bridges = 13,
  Roads = 14,
  TerrainMeshFromCloud = 15,
  Contours2dFromCloud = 16,
  Contours3dFromCloud = 17,
  BuildingsReconstructed = 18,
  WaterFromCloud = 19,
};

inline constexpr std::size_t kDataTypeCount = 20;

// Key text: page layer key, settings key and count key ("dzialki", ...).
// Values outside the table give "inne".
std::string_view dataTypeKey(DataType type) noexcept;

// Short kind text of the map preview ("dzialka", "budynek", ..., "inne").
std::string_view dataTypePreviewKind(DataType type) noexcept;

// The data type whose key text is exactly `key`.
std::optional<DataType> dataTypeFromKey(std::string_view key) noexcept;

// All 20 kinds in value order.
const std::array<DataType, kDataTypeCount>& allDataTypes() noexcept;

}  // namespace kl::geo
