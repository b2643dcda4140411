#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cloud/e57/cloud_point.h"
#include "cloud/e57/e57_guid.h"
#include "cloud/e57/e57_xml.h"

namespace kl::e57 {

class PagedFileWriter;

// Writes the points as one scan of an ASTM E57 file (single-precision
// coordinates, 8-bit colour). The file at path is replaced only when the
// whole file has reached the disk; on any failure it is left as it was, no
// partial file remains, error receives a Polish message and false is returned.
bool writeE57(const std::string& path, const std::vector<cloud::CloudPoint>& points, std::string& error);

// The same file written from points that arrive in parts, so that writing
// can go on while the later points are still being made. The file's header
// and XML, which depend on all the points, are written by finish.
class E57StreamWriter {
public:
    E57StreamWriter();
    ~E57StreamWriter();  // without a successful finish: no file, path untouched
    E57StreamWriter(const E57StreamWriter&) = delete;
    E57StreamWriter& operator=(const E57StreamWriter&) = delete;

    // Starts a temporary file beside path.
    bool open(const std::string& path, std::string& error);
    // The next points of the cloud, in order.
    void append(const cloud::CloudPoint* points, size_t count);
    // Sends what is written so far to the disk, while the caller has the
    // time: the final wait for the disk is then only for the last part.
    void settle();
    // guids: contentGuids of all the points appended. Replaces the file at
    // path as writeE57 does.
    bool finish(const E57Guids& guids, std::string& error);

private:
    void writePacket(const cloud::CloudPoint* points, size_t count);
    void discard();

    std::string path_, temporary_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<PagedFileWriter> out_;
    std::vector<cloud::CloudPoint> pending_;  // the start of a packet not yet full
    uint64_t count_ = 0;
    CartesianBounds bounds_;
    std::vector<uint8_t> packet_;
};

// Points per data packet: the largest run whose packet stays well under the
// 64 KiB packet limit.
constexpr size_t kPointsPerPacket = 1057;

}  // namespace kl::e57
