#pragma once
// Layer sets shared by several service families (a county cadastre is offered
// alone and inside integrated endpoints, with the same names and styles).

#include "tools/geoportal/service_family.h"

namespace kl::geoportal::layers {

inline constexpr const char* kStreets = "@streets";  // the street list of the site, drawn as lines

std::vector<WfsLayer> cadastreWfs();
std::vector<WmsLayer> cadastreWms();
std::vector<WfsLayer> utilitiesWfs();
std::vector<WmsLayer> utilitiesWms();
std::vector<WmsLayer> topographyWms();

template <class T>
void append(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

}  // namespace kl::geoportal::layers
