#include <cstddef>
#include <cstdint>
#include <string_view>

#include "geodata/axis_rule.h"
#include "geodata/epsg_code.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const int code = kl::geo::epsgFromSrsName(text);
  if (code < 0) __builtin_trap();
  const int polish = kl::geo::findPolishEpsg(text);
  if (polish != 0 && (polish < 2176 || polish > 2180)) __builtin_trap();
  (void)kl::geo::AxisRule::fromSrsName(text).toPl1992(5.5e6, 7.5e6);
  return 0;
}
