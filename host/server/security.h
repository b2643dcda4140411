#pragma once
// What every request must pass: the per-run token, a loopback Host header,
// no foreign Origin; and the rule that page files come only from the
// browser's own folder.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kl::host {

std::string makeToken();
bool tokenMatches(std::string_view given, std::string_view token);
bool allowedHost(std::string_view hostHeader, int port);
// An absent Origin is fine (same-origin GETs carry none); anything else must
// be this server itself.
bool allowedOrigin(std::string_view origin, int port);

// The file `relative` (already percent-decoded, '/'-separated) names inside
// root: nullopt for "..", empty or odd segments, a path that leaves root
// through a symbolic link, or anything that is not a regular file.
std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& root, std::string_view relative);

}  // namespace kl::host
