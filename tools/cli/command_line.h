#pragma once
// What every command-line tool checks before it starts any work: a request
// for help, whole-number options and the files it will write.
#include <optional>
#include <string>
#include <string_view>

namespace kl::tools {

// "--help" or "-h".
bool isHelpFlag(std::string_view arg);

// The whole of text as an integer in [least, most]; nothing otherwise.
std::optional<int> wholeNumberArgument(std::string_view text, int least, int most);

// Why path cannot be written as an output file (in Polish), or empty when it
// can: its folder must exist and be writable, and the path must not be a
// folder or a file this user may not replace.
std::string outputPathProblem(const std::string& path);

}  // namespace kl::tools
