#include "host/options.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>

namespace kl::host {

const char* usageText() {
    return "usage: kartolink-workbench [--headless] [--addon PATH | --no-addon] [--port N] [--stdin-quit] [--demo]\n"
           "                           [--open PROJECT.json]\n";
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine c;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--headless") {
            c.headless = true;
        } else if (a == "--stdin-quit") {
            c.stdinQuit = true;
        } else if (a == "--demo") {
            c.demo = true;
        } else if (a == "--no-addon") {
            c.withAddon = false;
        } else if (a == "--addon") {
            auto v = value();
            if (!v) return std::nullopt;
            c.addonPath = *v;
        } else if (a == "--open") {
            auto v = value();
            if (!v) return std::nullopt;
            c.openPath = *v;
        } else if (a == "--port") {
            auto v = value();
            if (!v) return std::nullopt;
            int port = 0;
            auto [p, ec] = std::from_chars(v->data(), v->data() + v->size(), port);
            if (ec != std::errc() || p != v->data() + v->size() || port < 1 || port > 65535) {
                error = "bad port: " + *v;
                return std::nullopt;
            }
            c.port = port;
        } else {
            error = "unknown option: " + a;
            return std::nullopt;
        }
    }
    return c;
}

namespace {

// The variable's value when set, else relative to this executable in the build tree.
std::string besideInBuildTree(const char* variable, const std::filesystem::path& relative) {
    if (const char* env = std::getenv(variable); env && *env) return env;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    return (dir / ".." / relative).lexically_normal().string();
}

}  // namespace

std::string defaultAddonPath() { return besideInBuildTree("KL_WORKBENCH_ADDON", "shell/libkartolink.so"); }

std::string demoGeoportalPath() {
    return besideInBuildTree("KL_DEMO_GEOPORTAL", "tools/geoportal/kartolink-geoportal");
}

}  // namespace kl::host
