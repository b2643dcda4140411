#include "cloud/pipeline/cloud_output.h"

#include <filesystem>

#include "cloud/e57/e57_guid.h"
#include "base/temporary_names.h"

namespace kl::cloud {
namespace fs = std::filesystem;
namespace {

void removeQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

std::string writeCloudFiles(BackgroundE57& e57, const std::string& e57Path, const std::string& lazPath,
                            const std::vector<CloudPoint>& points, const LazPlacement& placement) {
    const std::string& stagedE57 = e57.path();
    std::string error;
    if (!e57.finish(e57::contentGuids(points), error)) return "Blad zapisu E57: " + error;
    const std::string stagedLaz = lazPath.empty() ? std::string() : platform::temporarySibling(lazPath);
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
