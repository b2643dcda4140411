#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "cloud/e57/cloud_point.h"
#include "cloud/e57/e57_writer.h"

namespace kl::cloud {

// Writes a download's E57 on a thread of its own while the later tiles are
// still decoding: each kept tile's points are handed over as soon as the tile
// is final, so after the last tile only its packets and the XML are left.
// The points are read where they are, not copied: they must stay in place and
// unchanged until finish or the destructor (CloudAccumulator's do).
class BackgroundE57 {
public:
    // Writes to path (replaced only by a successful finish).
    explicit BackgroundE57(const std::string& path);
    // Without a successful finish: the thread stops and no file is left.
    ~BackgroundE57();
    BackgroundE57(const BackgroundE57&) = delete;
    BackgroundE57& operator=(const BackgroundE57&) = delete;

    const std::string& path() const { return path_; }
    // The next points of the cloud, in order.
    void add(const CloudPoint* points, size_t count);
    // Waits for what was added, then ends the file as e57::writeE57 does;
    // guids are those of all the points added.
    bool finish(const e57::E57Guids& guids, std::string& error);

private:
    void run();
    void stop(bool writeQueued);

    std::string path_;
    e57::E57StreamWriter writer_;
    std::string openError_;  // before opened_, whose initialiser fills it
    bool opened_;
    std::mutex mutex_;
    std::condition_variable wake_;
    struct Part {
        const CloudPoint* points;
        size_t count;
    };
    std::deque<Part> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kl::cloud
