#include "tests/geodata/proj_oracle.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <locale>
#include <sstream>

#include "tests/support/c_number.h"
#include "tests/support/command_output.h"

namespace kl::geo::testing {

std::optional<std::vector<std::pair<double, double>>> runCs2cs(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& input) {
  char path[] = "/tmp/kl_cs2cs_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return std::nullopt;
  close(fd);
  {
    std::ofstream out(path);
    for (const auto& [a, b] : input)
      out << test::cNumber(a, std::chars_format::fixed, 12) << ' ' << test::cNumber(b, std::chars_format::fixed, 12)
          << '\n';
  }
  std::istringstream answer(
      test::runCommand("LC_ALL=C cs2cs -f %.12f " + from + " " + to + " < " + path + " 2>/dev/null").out);
  std::remove(path);
  answer.imbue(std::locale::classic());
  std::vector<std::pair<double, double>> result;
  for (double a, b, height; answer >> a >> b >> height;) result.push_back({a, b});
  if (result.size() != input.size()) return std::nullopt;
  return result;
}

}  // namespace kl::geo::testing
