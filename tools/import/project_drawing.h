#pragma once
// The drawing of a workbench project as DXF entities: outlines, fills as
// their rings, texts at their angle, meshes as their outline and their level
// lines at the height of each line, slabs and morph bodies as 3D faces.
#include <map>
#include <string>
#include <vector>

#include "host/core/project.h"
#include "tools/import/dxf_writer.h"

namespace kl::tools {

// elements: counts "<layer> <kind>" of the project's elements, drawn or not.
std::vector<DxfEntity> drawingOf(const host::Project& project, std::map<std::string, int>& elements);

}  // namespace kl::tools
