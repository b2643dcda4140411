#pragma once

#include <cstdint>

namespace kl::las {

// Groups of record fields a reader may leave undecoded. Position (x, y, z and the
// return numbers) is always decoded. Layered LAZ (formats 6-10) stores each group in
// streams of its own, so a group nobody reads costs nothing there; such a field then
// holds the value of its chunk's first point in every record. Other files are decoded
// whole whatever is asked for.
enum class RecordField : uint32_t {
  Classification = 1u << 0,
  Flags = 1u << 1,
  Intensity = 1u << 2,
  ScanAngle = 1u << 3,
  UserData = 1u << 4,
  PointSource = 1u << 5,
  GpsTime = 1u << 6,
  Colour = 1u << 7,
  NearInfrared = 1u << 8,
  WavePacket = 1u << 9,
  ExtraBytes = 1u << 10,
};

class RecordFields {
 public:
  static constexpr RecordFields all() { return RecordFields(~0u); }
  static constexpr RecordFields positionOnly() { return RecordFields(0); }

  constexpr RecordFields with(RecordField f) const { return RecordFields(bits_ | static_cast<uint32_t>(f)); }
  constexpr bool has(RecordField f) const { return (bits_ & static_cast<uint32_t>(f)) != 0; }

 private:
  constexpr explicit RecordFields(uint32_t bits) : bits_(bits) {}
  uint32_t bits_;
};

}  // namespace kl::las
