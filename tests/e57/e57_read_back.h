#pragma once
// Our E57 files read back in tests: the file header and the XML through a small
// reader that checks every page checksum, the points through web-e57, an
// independent reader that checks the checksums, the section and every packet.
#include <string>
#include <vector>

struct E57ReadBack {
    bool ok = false;
    std::string error, xml;
};

E57ReadBack readE57(const std::string& path);

struct E57Point {
    float x, y, z;
    int r, g, b;
    bool operator==(const E57Point&) const = default;
};

// False when web-e57 refuses the file.
bool readE57Points(const std::string& path, std::vector<E57Point>* points);
