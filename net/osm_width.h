#pragma once
// The carriageway width of an OpenStreetMap way: what the mappers wrote, else
// what its lane count implies, else what its class usually has.
#include <string_view>

namespace kl::net {

// cls: the "highway" (else "railway") tag; widthTag and lanesTag as written,
// empty when absent. Tags that do not read as a plausible width or lane count
// are passed over. A width written with its unit ("7 m") or with a decimal
// comma ("7,5"), as Polish mappers often do, still counts.
double osmWidth(std::string_view cls, std::string_view widthTag, std::string_view lanesTag, bool bridge);

}  // namespace kl::net
