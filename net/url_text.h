#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kl::net {

// Percent-encodes one query value: only A-Z a-z 0-9 - . _ ~ stay as they are.
std::string urlEncode(std::string_view text);

// "1023 B", "1,5 KB", "3,0 MB" (decimal comma whatever the process locale).
std::string formatSize(std::int64_t bytes);

// Text between "://" and the next "/", or the whole URL when it has no scheme.
std::string hostOf(std::string_view url);

// ASCII letters lowered; other bytes (UTF-8 included) stay.
std::string lowerAscii(std::string_view text);

// Non-empty and ASCII digits only: safe to put into a URL path or a key.
bool isDigitsOnly(std::string_view text);

// "?" or "&" so that a query can be appended to a base URL.
char querySeparatorFor(std::string_view baseUrl);

// Decimal text of a number independent of the locale; significantDigits 0
// means the shortest text that reads back to the same value.
std::string formatNumber(double value, int significantDigits = 0);

}  // namespace kl::net
