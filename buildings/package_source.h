#pragma once
// Where the county model packages are published: one zip of CityGML sheets per
// county, LOD1 in yearly editions, LOD2 without editions.
#include <array>
#include <string>
#include <string_view>

namespace kl::buildings {

// The national open-data download host; the service-host override of net/
// sends these requests to the local geoportal like every other.
inline constexpr std::string_view kOpenDataHost = "https://opendata.geoportal.gov.pl";

// LOD1 editions, newest first; the first one a county has is used.
inline constexpr std::array<int, 4> kLod1Editions = {2024, 2022, 2021, 2019};

// True for exactly four decimal digits.
bool isCountyCode(std::string_view code);

// ".../InneDane/Budynki3D/LOD1/2024/06/0612.zip"; empty when the code is not a county code.
std::string lod1PackageUrl(std::string_view county, int edition);

// ".../InneDane/Budynki3D/LOD2/0612_gml.zip"; empty when the code is not a county code.
std::string lod2PackageUrl(std::string_view county);

}  // namespace kl::buildings
