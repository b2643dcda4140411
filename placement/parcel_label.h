#pragma once
#include <map>
#include <string>

namespace kl::placement {

// The parcel number to print from a parcel's properties, empty when no
// property looks like one. A full identifier (unit.sheet.number) keeps only
// the part after its last dot.
std::string parcelNumber(const std::map<std::string, std::string>& properties);

}  // namespace kl::placement
