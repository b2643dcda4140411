// Registry files may come from a deployment's own folder. Whatever a file
// holds, the table read from it has only well-formed rows, ascending by a key
// of the registry's length, and every line is either a row, a comment or a
// reported problem.
#include <algorithm>
#include <cstddef>

#include "net/county_registry.h"
#include "tests/fuzz/fuzz_expect.h"

namespace {

bool isAddress(const std::string& text) {
  return text.empty() || text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

bool isKey(const std::string& key, std::size_t digits) {
  return key.size() == digits && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void checkTable(std::string_view text, std::size_t digits) {
  const kl::net::RegistryTable table = kl::net::parseRegistry(text, digits);
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  kl::fuzz::expect(table.rows.size() + table.problems.size() <= lines);
  for (std::size_t i = 0; i < table.rows.size(); ++i) {
    const auto& row = table.rows[i];
    kl::fuzz::expect(isKey(row.teryt, digits) && isAddress(row.wms) && isAddress(row.wfs));
    kl::fuzz::expect(i == 0 || table.rows[i - 1].teryt < row.teryt);
  }
}

}  // namespace

void kl::fuzz::fuzzText(std::string_view text) {
  checkTable(text, 4);  // counties
  checkTable(text, 6);  // communes
}
