#pragma once
// An independent reference written as a script: the input goes to a
// temporary file named on its command line, the answer comes from its
// standard output.
#include <string>

namespace kl::test {

// command: the interpreter and the script, e.g. "python3 /path/x.py". Empty
// when the script could not be run.
std::string runScriptReference(const std::string& command, const std::string& input);

}  // namespace kl::test
