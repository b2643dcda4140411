#include "tools/geoportal/sample_building.h"

#include <fstream>
#include <locale>
#include <sstream>

#include "tools/geoportal/geometry.h"
#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

std::vector<DemoFeature> loadSampleBuildings(const std::string& samplesDir) {
    std::ifstream in(samplesDir + "/gml/egibplb__geoportal_gml_building_2180_crs.xml", std::ios::binary);
    if (!in) return {};
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    auto between = [&](const std::string& open, const std::string& close) -> std::string {
        size_t a = text.find(open);
        if (a == std::string::npos) return {};
        a = text.find('>', a);
        if (a == std::string::npos) return {};
        size_t b = text.find(close, a);
        return b == std::string::npos ? std::string() : text.substr(a + 1, b - a - 1);
    };
    std::vector<double> numbers;
    std::istringstream list(between("<gml:posList", "</gml:posList>"));
    list.imbue(std::locale::classic());
    std::string token;
    while (list >> token)
        if (auto v = parseDouble(token)) numbers.push_back(*v);
    if (numbers.size() < 8) return {};
    std::vector<Xy> ring;
    for (size_t i = 0; i + 1 < numbers.size(); i += 2) ring.push_back({numbers[i + 1], numbers[i]});  // northing first
    std::string id = between("<ms:ID_BUDYNKU", "</ms:ID_BUDYNKU>");
    std::string kind = between("<ms:RODZAJ", "</ms:RODZAJ>");
    if (id.empty()) return {};
    return {polygonFeature("budynki.sample1", {ring}, {{"ID_BUDYNKU", id}, {"RODZAJ", kind}})};
}


}  // namespace kl::geoportal
