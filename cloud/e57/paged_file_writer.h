#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kl::e57 {

// Writes a logical byte stream as E57 physical pages: every 1020 bytes are
// followed by their CRC-32C, most significant byte first; the last page is
// padded with zeros. Every write is checked, so a full disk is an error and
// not a silently truncated file.
class PagedFileWriter {
public:
    static constexpr size_t kPageSize = 1024;
    static constexpr size_t kPayload = 1020;

    explicit PagedFileWriter(std::FILE* file) : file_(file) {}

    void write(const void* data, size_t size);
    // Replaces the first size bytes (at most one page's payload) of what was
    // written: a header whose fields are known only at the end. Before finish.
    void rewriteStart(const void* data, size_t size);
    // Pads and writes the last page, then flushes the stream to the disk.
    void finish();
    // Sends the whole pages written so far to the disk, so that finish has
    // less to wait for.
    void flushToDisk();

    bool ok() const { return ok_; }
    uint64_t logicalPosition() const { return logical_; }

private:
    void emitPage();
    void putPage(uint8_t* page);

    std::FILE* file_;
    uint8_t page_[kPageSize] = {};
    uint8_t firstPage_[kPageSize] = {};  // as emitted, for rewriteStart
    uint64_t pagesEmitted_ = 0;
    size_t fill_ = 0;
    uint64_t logical_ = 0;
    bool ok_ = true;
};

// Physical offset of a logical offset in a paged file.
constexpr uint64_t physicalOffset(uint64_t logical) {
    return logical + 4 * (logical / PagedFileWriter::kPayload);
}

}  // namespace kl::e57
