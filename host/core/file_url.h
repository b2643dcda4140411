#pragma once
// file:// addresses as the add-on hands them to a browser.
#include <optional>
#include <string>
#include <string_view>

namespace kl::host {

struct FileUrl {
    std::string path;    // percent-decoded, absolute
    std::string suffix;  // "?query" and/or "#fragment", kept as given
};

std::optional<std::string> percentDecode(std::string_view text);
std::optional<FileUrl> parseFileUrl(std::string_view url);

}  // namespace kl::host
