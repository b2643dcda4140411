#include "host/demo_geoportal.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace kl::host {
namespace {

// The child's stdout line by line; empty at its end.
std::string readLine(std::FILE* in) {
    std::string line;
    for (int c = std::fgetc(in); c != EOF && c != '\n'; c = std::fgetc(in)) line += static_cast<char>(c);
    return line;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::optional<DemoSite> parseDemoSite(const std::string& text) {
    double v[4] = {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        const auto [next, ec] = std::from_chars(at, end, v[i]);
        if (ec != std::errc()) return std::nullopt;
        at = next;
        if (i < 3) {
            if (at == end || *at != ',') return std::nullopt;
            ++at;
        }
    }
    if (at != end) return std::nullopt;
    return DemoSite{v[0], v[1], v[2], v[3]};
}

std::string DemoGeoportal::start(const std::filesystem::path& executable, const std::filesystem::path& workDir) {
    const std::string registry = (workDir / "registry").string();
    int out[2];
    if (pipe(out) != 0) return "Nie mozna uruchomic lokalnego geoportalu (pipe).";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = executable.string();
    const char* argv[] = {program.c_str(), "--demo-registry", registry.c_str(), nullptr};
    // The workbench blocks the quit signals in every thread but one; the child
    // must not inherit that, or it would not hear the SIGTERM that stops it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned =
        posix_spawn(&child_, program.c_str(), &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        child_ = -1;
        return "Nie mozna uruchomic lokalnego geoportalu: " + program;
    }
    // The geoportal prints its address and then, once the registry overlay
    // is written, the demo frame; it ends its output early only on failure.
    std::FILE* in = fdopen(out[0], "r");
    if (!in) {
        close(out[0]);
        return "Nie mozna odczytac wyjscia lokalnego geoportalu.";
    }
    std::optional<DemoSite> site;
    while (!site) {
        const std::string line = readLine(in);
        if (line.empty()) break;
        if (startsWith(line, "Geoportal: ")) baseUrl_ = line.substr(11);
        if (startsWith(line, "Obszar: ")) site = parseDemoSite(line.substr(8));
    }
    std::fclose(in);
    if (baseUrl_.empty() || !site) return "Lokalny geoportal nie podal adresu ani obszaru demo.";
    site_ = *site;
    ::setenv("KL_REGISTRY_DIR", registry.c_str(), 1);
    ::setenv("KL_SERVICE_BASE", baseUrl_.c_str(), 1);
    ::setenv("KL_SERVICE_HOSTS", baseUrl_.c_str(), 1);
    return {};
}

DemoGeoportal::~DemoGeoportal() {
    if (child_ <= 0) return;
    kill(child_, SIGTERM);
    int status = 0;
    waitpid(child_, &status, 0);
}

}  // namespace kl::host
