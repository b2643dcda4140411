// The settings file is the user's to edit and may hold anything. Reading it
// must give settings that write back and read again, whole, to the same text,
// with a usable layer name for every kind.
#include "shell/settings/settings.h"
#include "tests/fuzz/fuzz_expect.h"

void kl::fuzz::fuzzText(std::string_view text) {
  using namespace kl::settings;
  const Settings read = readSettingsText(text).settings;
  for (const auto& [type, name] : read.layers) kl::fuzz::expect(isUsableLayerName(name));
  const std::string written = serializeSettings(read);
  const SettingsRead again = readSettingsText(written);
  kl::fuzz::expect(again.complete());
  kl::fuzz::expect(serializeSettings(again.settings) == written);
}
