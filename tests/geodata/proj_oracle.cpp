#include "tests/geodata/proj_oracle.h"

#include "tests/support/command_output.h"
#include "tests/support/c_number.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace kl::geo::testing {
namespace {

bool parseTwo(const std::string& line, std::pair<double, double>& out) {
  const char* p = line.data();
  const char* end = p + line.size();
  double values[2];
  for (double& v : values) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
  }
  out = {values[0], values[1]};
  return true;
}

}  // namespace

std::optional<std::vector<std::pair<double, double>>> runCs2cs(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& input) {
  char path[] = "/tmp/kl_cs2cs_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return std::nullopt;
  close(fd);
  {
    std::ofstream out(path);
    for (const auto& [a, b] : input) out << test::cNumber(a, std::chars_format::fixed, 12) << ' ' << test::cNumber(b, std::chars_format::fixed, 12) << '\n';
  }
  const std::string command =
      "LC_ALL=C cs2cs -f %.12f " + from + " " + to + " < " + path + " 2>/dev/null";
  std::vector<std::pair<double, double>> result;
  std::istringstream lines(test::runCommand(command).out);
  for (std::string line; std::getline(lines, line);) {
    std::pair<double, double> pair;
    if (parseTwo(line, pair)) result.push_back(pair);
  }
  std::remove(path);
  if (result.size() != input.size()) return std::nullopt;
  return result;
}

}  // namespace kl::geo::testing
