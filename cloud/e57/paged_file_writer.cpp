#include "cloud/e57/paged_file_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cloud/e57/crc32c.h"

namespace kl::e57 {

void PagedFileWriter::write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    logical_ += size;
    while (size > 0 && ok_) {
        const size_t n = std::min(size, kPayload - fill_);
        std::memcpy(page_ + fill_, p, n);
        fill_ += n;
        p += n;
        size -= n;
        if (fill_ == kPayload) emitPage();
    }
}

void PagedFileWriter::emitPage() {
    std::memset(page_ + fill_, 0, kPayload - fill_);
    if (pagesEmitted_ == 0) std::memcpy(firstPage_, page_, kPayload);
    putPage(page_);
    ++pagesEmitted_;
    fill_ = 0;
}

void PagedFileWriter::putPage(uint8_t* page) {
    const uint32_t crc = crc32c(page, kPayload);
    page[1020] = static_cast<uint8_t>(crc >> 24);
    page[1021] = static_cast<uint8_t>(crc >> 16);
    page[1022] = static_cast<uint8_t>(crc >> 8);
    page[1023] = static_cast<uint8_t>(crc);
    if (ok_ && std::fwrite(page, 1, kPageSize, file_) != kPageSize) ok_ = false;
}

void PagedFileWriter::rewriteStart(const void* data, size_t size) {
    if (pagesEmitted_ == 0) {
        std::memcpy(page_, data, size);
        return;
    }
    std::memcpy(firstPage_, data, size);
    if (!ok_ || std::fseek(file_, 0, SEEK_SET) != 0) {
        ok_ = false;
        return;
    }
    putPage(firstPage_);
    if (std::fseek(file_, 0, SEEK_END) != 0) ok_ = false;
}

void PagedFileWriter::finish() {
    if (fill_ > 0 && ok_) emitPage();
    flushToDisk();
}

void PagedFileWriter::flushToDisk() {
    if (ok_ && std::fflush(file_) != 0) ok_ = false;
    if (ok_ && ::fsync(::fileno(file_)) != 0) ok_ = false;
}

}  // namespace kl::e57
