#pragma once
// The county model packages of the demo site: LOD1 blocks and LOD2 buildings
// as zips of CityGML 2.0 sheets, one sheet per 250 m map sheet that holds
// buildings, as the open-data service publishes them. Built once per process.
//
// Forms the clients must cope with, all present: every sheet's Envelope first,
// except one sheet that opens with a description longer than 8 KB; rings as
// posList (LOD1, and LOD2 of even-numbered buildings) or as pos elements;
// courtyards as interior rings; one building held in a BuildingPart; a
// folder entry in the LOD2 zip. LOD1 exists in the 2022 edition only, so a
// client that asks for the newest edition first meets a 404.

#include "tools/geoportal/demo_area.h"

#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

namespace demo {
inline constexpr int kLod1Edition = 2022;
inline constexpr std::string_view kLod1PackagePath = "/InneDane/Budynki3D/LOD1/2022/02/0201.zip";
inline constexpr std::string_view kLod2PackagePath = "/InneDane/Budynki3D/LOD2/0201_gml.zip";
inline constexpr std::string_view kLod2Folder = "0201_gml/";
inline constexpr double kModelSheetMetres = 250.0;
}  // namespace demo

struct ModelSheet {
    std::string entry;                 // file name in the LOD1 zip (the LOD2 zip adds the folder)
    Box bounds;                        // the map sheet
    std::vector<std::string> ids;      // its buildings, in file order
    bool envelopeLate = false;         // the sheet whose Envelope comes after 8 KB
    std::string lod1, lod2;            // the sheet texts
};

struct ModelPackages {
    std::vector<ModelSheet> sheets;
    std::string lod1Zip, lod2Zip;
    std::string partBuildingId;      // the building held in a BuildingPart
    std::string courtyardBuildingId; // the first building with a courtyard
};

const ModelPackages& demoModelPackages();

}  // namespace kl::geoportal
