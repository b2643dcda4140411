#pragma once
// A small, strict E57 reader for tests: checks every page checksum, the file
// header, the section header and every packet, and decodes the points.
#include <cstdint>
#include <string>
#include <vector>

struct E57ReadBack {
    bool ok = false;
    std::string error;
    uint64_t physicalLength = 0, xmlPhysicalOffset = 0, xmlLogicalLength = 0;
    uint64_t sectionLogicalLength = 0, dataPhysicalOffset = 0;
    std::vector<size_t> packetPoints;  // points in each data packet
    std::vector<size_t> packetLengths;
    std::string xml;
    std::vector<float> x, y, z;
    std::vector<uint8_t> r, g, b;
};

E57ReadBack readE57(const std::string& path);
