#pragma once
#include <string_view>

namespace kl::platform {

// Appends one line (a line break is added) to a diagnostic file in
// diagnosticDir(). Never fails its caller: if the file cannot be opened the
// line is dropped. Safe to call from any thread.
void appendDiagLine(std::string_view fileName, std::string_view line);

// Appends text as it is (no line break added).
void appendDiagText(std::string_view fileName, std::string_view text);

}  // namespace kl::platform
