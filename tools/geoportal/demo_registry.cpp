#include "tools/geoportal/demo_registry.h"

#include <fstream>

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {
namespace {

// Written beside and renamed into place, so the add-on never reads half a row.
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

std::string writeDemoRegistry(const std::string& base, const std::filesystem::path& registryDir) {
    std::error_code ec;
    std::filesystem::create_directories(registryDir, ec);
    const std::string county(demo::kCountyTeryt);
    const std::string utilities = base + "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/" + county;
    const std::string plans(demo::kCommuneTeryt.substr(0, 6));
    if (ec || !writeRow(registryDir / "gesut.tsv", county + "\t" + utilities + "\t" + utilities) ||
        !writeRow(registryDir / "bdot500.tsv", county + "\t" + base + "/map/geoportal/wmsb.php\t") ||
        !writeRow(registryDir / "mpzp.tsv", plans + "\t" + base + "/gmina/" + plans + "/mpzp/wms\t"))
        return "Nie mozna zapisac rejestru uslug demo w " + registryDir.string();
    return {};
}

}  // namespace kl::geoportal
