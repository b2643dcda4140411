#include "tests/geodata/proj_oracle.h"

#include <locale>
#include <sstream>

#include "tests/support/c_number.h"
#include "tests/support/script_reference.h"

namespace kl::geo::testing {

std::optional<std::vector<std::pair<double, double>>> runCs2cs(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& input) {
  const auto fixed = [](double v) { return test::cNumber(v, std::chars_format::fixed, 12); };
  std::string text;
  for (const auto& [a, b] : input) text += fixed(a) + ' ' + fixed(b) + '\n';
  // cs2cs reads the points from the file named after the two systems.
  std::istringstream answer(test::runScriptReference("LC_ALL=C cs2cs -f %.12f " + from + " " + to, text));
  answer.imbue(std::locale::classic());
  std::vector<std::pair<double, double>> result;
  for (double a, b, height; answer >> a >> b >> height;) result.push_back({a, b});
  if (result.size() != input.size()) return std::nullopt;
  return result;
}

}  // namespace kl::geo::testing
