#include "tools/cli/command_line.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace kl::tools {

bool isHelpFlag(std::string_view arg) { return arg == "--help" || arg == "-h"; }

std::optional<int> wholeNumberArgument(std::string_view text, int least, int most) {
    int v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < least || v > most) return std::nullopt;
    return v;
}

std::string outputPathProblem(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return "pusta sciezka pliku wyjsciowego";
    const fs::path p(path);
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code ec;
    if (fs::is_directory(p, ec)) return "plik wyjsciowy " + path + " jest folderem";
    if (!fs::is_directory(folder, ec)) return "folder pliku wyjsciowego " + folder.string() + " nie istnieje";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "brak prawa zapisu w folderze " + folder.string();
    if (fs::exists(p, ec) && ::access(p.c_str(), W_OK) != 0) return "brak prawa zapisu pliku " + path;
    return {};
}

}  // namespace kl::tools
