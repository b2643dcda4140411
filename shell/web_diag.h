#pragma once

#include <string>

#include "base/diag_log.h"

namespace kl::shell {

// One line of the page-side diagnostics: the browser palettes, the served
// files and the add-on's start and stop all write to the same file, so a
// report reads in the order things happened.
inline void diag(const std::string& line) { platform::appendDiagLine("ordvik_web_diag.txt", line); }

}  // namespace kl::shell
