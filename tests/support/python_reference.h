#pragma once
// Runs an independent reference written in Python on a JSON job and reads
// its JSON answer; a script that fails or prints nothing answers a discarded
// value, which the caller reports.
#include <string>

#include <nlohmann/json.hpp>

namespace kl::testing {

// interpreter: "python3", or a path when the script needs the system's
// packages (numpy). The job goes through a temporary file named as the
// script's one argument.
nlohmann::json askPythonReference(const std::string& interpreter, const std::string& script,
                                  const nlohmann::json& job);

}  // namespace kl::testing
