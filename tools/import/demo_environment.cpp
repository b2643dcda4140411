#include "tools/import/demo_environment.h"

#include <cstdlib>
#include <fstream>

#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::tools {
namespace {

bool writeRow(const std::filesystem::path& file, const std::string& row) {
    const auto temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << "# demo county of the local geoportal\n" << row << '\n';
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    return !ec;
}

}  // namespace

std::string pointServicesAt(const std::string& base, const std::filesystem::path& registryDir) {
    std::error_code ec;
    std::filesystem::create_directories(registryDir, ec);
    const std::string county(geoportal::demo::kCountyTeryt);
    const std::string utilities = base + "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/" + county;
    const std::string plans(geoportal::demo::kCommuneTeryt.substr(0, 6));
    if (ec || !writeRow(registryDir / "gesut.tsv", county + "\t" + utilities + "\t" + utilities) ||
        !writeRow(registryDir / "bdot500.tsv", county + "\t" + base + "/map/geoportal/wmsb.php\t") ||
        !writeRow(registryDir / "mpzp.tsv", plans + "\t" + base + "/gmina/" + plans + "/mpzp/wms\t"))
        return "Nie mozna zapisac rejestru uslug demo w " + registryDir.string();
    ::setenv("KL_REGISTRY_DIR", registryDir.c_str(), 1);
    ::setenv("KL_SERVICE_BASE", base.c_str(), 1);
    ::setenv("KL_SERVICE_HOSTS", base.c_str(), 1);
    return {};
}

DemoGeoportal::DemoGeoportal() : server_(std::make_unique<geoportal::GeoportalServer>()) {}
DemoGeoportal::~DemoGeoportal() = default;

std::string DemoGeoportal::start(const std::filesystem::path& workDir) {
    const geoportal::StartResult started = server_->start();
    if (!started.ok) return started.message;
    return pointServicesAt(server_->baseUrl(), workDir / "registry");
}

std::string DemoGeoportal::baseUrl() const { return server_->baseUrl(); }

DemoFrame demoFrame() {
    using namespace geoportal::demo;
    return {kWest, kSouth, kEast, kNorth};
}

}  // namespace kl::tools
