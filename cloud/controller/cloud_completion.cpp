#include "cloud/controller/cloud_completion.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

#include "base/folders.h"
#include "base/temporary_names.h"
#include "shell/settings/project_georef.h"

namespace kl::cloud {
namespace fs = std::filesystem;

void writeCloudDiagnostics(const CloudDownloadResult& r, const KlHostFunctions* host) {
    try {
        std::ostringstream o;
        o.imbue(std::locale::classic());
        const auto g = settings::readProjectGeoref(host);
        o << "=== Ordvik Cloud \xE2\x80\x94 diagnostyka zgrania ===\n";
        o << "punktow=" << r.count << " placeEpsg=" << r.placeEpsg << "\n";
        o << "[CHMURA] offset(rog kadru PL-2000) offE=" << r.originE << " offN=" << r.originN << "\n";
        o << "[CHMURA] bbox lokalny lx[" << r.minX << ".." << r.maxX << "] ly[" << r.minY << ".." << r.maxY << "]\n";
        o << "[CHMURA] Z bezwzgledne(npm) z[" << r.minZ << ".." << r.maxZ << "]\n";
        o << "[PROJEKT] survey point quality=" << static_cast<int>(g.level) << " east=" << g.easting
          << " north=" << g.northing << " rot(rad)=" << 0 << " epsg=" << g.epsg << "\n";
        o << "[PROJEKT] orthogonalHeight=" << g.height << "\n";
        o << "--- oczekiwany rozjazd: XY = offset chmury vs survey point; Z = orthogonalHeight (chmura wyzej) ---\n";
        std::ofstream f(platform::diagnosticDir() / "ordvik_cloud_diag.txt", std::ios::binary | std::ios::trunc);
        f << o.str();
    } catch (...) {
        // diagnostics never fail the download
    }
}

std::string keepLastCloud(const std::string& source, const std::string& keepDir, const std::string& keptName) {
    std::error_code ec;
    fs::create_directories(keepDir, ec);
    const fs::path target = fs::path(keepDir) / keptName;
    const fs::path tmp = platform::temporarySibling(target.string());
    fs::copy_file(source, tmp, fs::copy_options::overwrite_existing, ec);
    bool ok = !ec;
    if (ok) {
        std::error_code a, b;
        ok = fs::file_size(tmp, a) == fs::file_size(source, b) && !a && !b;
    }
    if (ok) {
        std::FILE* f = std::fopen(tmp.c_str(), "rb+");
        ok = f && ::fsync(::fileno(f)) == 0;
        if (f) std::fclose(f);
    }
    if (!ok) ec = std::make_error_code(std::errc::io_error);
    if (!ec) fs::rename(tmp, target, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return {};
    }
    return target.string();
}

}  // namespace kl::cloud
