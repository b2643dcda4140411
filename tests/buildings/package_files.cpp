#include "tests/buildings/package_files.h"

namespace kl::buildings::testing {
namespace {

void putLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xff);
}

std::string number(double v) { return std::to_string(static_cast<long long>(v)); }

}  // namespace

std::string sheetText(double minX, double minY, double maxX, double maxY, const std::string& members,
                      const std::string& beforeEnvelope) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<core:CityModel xmlns:core=\"http://www.opengis.net/citygml/2.0\""
         " xmlns:bldg=\"http://www.opengis.net/citygml/building/2.0\" xmlns:gml=\"http://www.opengis.net/gml\">" +
         beforeEnvelope + "<gml:boundedBy><gml:Envelope srsDimension=\"3\"><gml:lowerCorner>" + number(minX) + " " +
         number(minY) + " 0</gml:lowerCorner><gml:upperCorner>" + number(maxX) + " " + number(maxY) +
         " 10</gml:upperCorner></gml:Envelope></gml:boundedBy>" + members + "</core:CityModel>\n";
}

std::string withClaimedSize(std::string zip, std::uint32_t size) {
  for (std::size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4))
    putLe32(zip, at + 22, size);
  for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
    putLe32(zip, at + 24, size);
  return zip;
}

std::string withBrokenDirectory(std::string zip) {
  for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
    zip[at + 2] = 'X';
  return zip;
}

}  // namespace kl::buildings::testing
