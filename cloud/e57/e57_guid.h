#pragma once
#include <string>
#include <vector>

#include "cloud/e57/cloud_point.h"

namespace kl::e57 {

struct E57Guids {
    std::string file;  // "{xxxxxxxx-xxxx-8xxx-xxxx-xxxxxxxxxxxx}"
    std::string scan;
};

// GUIDs of a file and its one scan, derived from a hash of the points as
// the file stores them: the same points always give the same file, byte for
// byte, while two different clouds (which a host may merge) get different
// GUIDs, and the file's GUID is never its scan's. Laid out as RFC 9562
// version 8 (custom) identifiers.
E57Guids contentGuids(const std::vector<cloud::CloudPoint>& points);

}  // namespace kl::e57
