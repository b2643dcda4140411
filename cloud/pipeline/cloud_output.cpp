#include "cloud/pipeline/cloud_output.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>

#include "cloud/e57/e57_writer.h"
#include "shell/platform/process_liveness.h"

namespace kl::cloud {
namespace fs = std::filesystem;
namespace {

// The writer's pid when name is "<base>.<pid>.<rest>" with rest ending in
// ".part" or ".tmp"; 0 when the name is not one of ours.
long temporaryOwner(const std::string& name, const std::string& base) {
    if (name.size() <= base.size() + 1 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.') return 0;
    const bool temporary = name.ends_with(".part") || name.ends_with(".tmp");
    if (!temporary) return 0;
    const char* first = name.data() + base.size() + 1;
    const char* last = name.data() + name.size();
    long pid = 0;
    const auto r = std::from_chars(first, last, pid);
    return r.ec == std::errc() && r.ptr != first && r.ptr < last && *r.ptr == '.' ? pid : 0;
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

std::string stagedPathFor(const std::string& target) { return target + "." + std::to_string(::getpid()) + ".part"; }

int sweepStaleTemporaries(const std::string& target, std::chrono::hours maxAge) {
    const fs::path t(target);
    const fs::path dir = t.parent_path().empty() ? fs::path(".") : t.parent_path();
    const std::string base = t.filename().string();
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const long owner = temporaryOwner(it->path().filename().string(), base);
        if (owner == 0) continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        const bool old = !timeError && now - written > maxAge;
        if (platform::processMayBeRunning(owner) && !old) continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

std::string writeCloudFiles(const std::string& e57Path, const std::string& lazPath,
                            const std::vector<CloudPoint>& points, const LazPlacement& placement) {
    const std::string stagedE57 = stagedPathFor(e57Path);
    std::string error;
    if (!e57::writeE57(stagedE57, points, error)) return "Blad zapisu E57: " + error;
    const std::string stagedLaz = lazPath.empty() ? std::string() : stagedPathFor(lazPath);
    if (!lazPath.empty()) {
        if (const las::LasStatus st = writeCloudLaz(stagedLaz, points, placement); !st) {
            removeQuietly(stagedE57);
            return "Blad zapisu LAZ: " + st.message;
        }
        std::error_code ec;
        fs::rename(stagedLaz, lazPath, ec);
        if (ec) {
            removeQuietly(stagedE57);
            removeQuietly(stagedLaz);
            return "Blad zapisu LAZ: nie mozna zastapic pliku " + lazPath;
        }
    }
    std::error_code ec;
    fs::rename(stagedE57, e57Path, ec);
    if (ec) {
        removeQuietly(stagedE57);
        // The LAZ is already the new one; saying so is all that is left.
        return "Blad zapisu E57: nie mozna zastapic pliku " + e57Path +
               (lazPath.empty() ? std::string() : " (plik LAZ jest juz nowy)");
    }
    return {};
}

}  // namespace kl::cloud
