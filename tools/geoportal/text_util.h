#pragma once
// Locale-independent number texts and small string helpers of the fixture.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

std::string formatFixed(double value, int decimals);
std::string formatInt(long long value);
// Shortest text that reads back to the same number ("12", "0.05").
std::string formatShortest(double value);
std::optional<double> parseDouble(std::string_view text);
std::optional<long long> parseInt(std::string_view text);

std::string toLower(std::string_view text);
bool iequals(std::string_view a, std::string_view b);
bool icontains(std::string_view haystack, std::string_view needle);
std::vector<std::string_view> split(std::string_view text, char separator);
std::string xmlEscape(std::string_view text);
std::string jsonEscape(std::string_view text);
// Percent-encoding of a query value (unreserved characters pass).
std::string urlEncode(std::string_view text);

}  // namespace kl::geoportal