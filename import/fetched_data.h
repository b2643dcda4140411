#pragma once
// What one fetch brought into memory, held by the controller until the next
// fetch replaces it.
#include <map>
#include <string>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::import {

struct FetchedData {
    // Parcels, buildings, plan zones, utilities, in that order; PL-1992 metres.
    std::vector<geo::GisFeature> features;
    // Stage problems joined by single spaces, in the order they arose.
    std::string warning;

    bool holdsAnything() const { return !features.empty(); }
};

// Appends text to a warning with one space between the parts.
inline void appendWarning(std::string& warning, const std::string& text) {
    if (text.empty()) return;
    if (!warning.empty()) warning += ' ';
    warning += text;
}

// "counts" of the fetch reply: type key -> number of features.
std::map<std::string, int> featureCounts(const std::vector<geo::GisFeature>& features);

}  // namespace kl::import
