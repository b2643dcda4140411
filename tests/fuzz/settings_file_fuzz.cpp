// The settings file is the user's to edit and may hold anything. Reading it
// must give settings that write back and read again, whole, to the same text,
// with a usable layer name for every kind.
#include "shell/settings/settings.h"
#include "tests/fuzz/fuzz_expect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kl::settings;
  const Settings read = readSettingsText(kl::fuzz::textOf(data, size)).settings;
  for (const auto& [type, name] : read.layers) kl::fuzz::expect(isUsableLayerName(name));
  const std::string text = serializeSettings(read);
  const SettingsRead again = readSettingsText(text);
  kl::fuzz::expect(again.complete());
  kl::fuzz::expect(serializeSettings(again.settings) == text);
  return 0;
}
