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
    const uint32_t crc = crc32c(page_, kPayload);
    page_[1020] = static_cast<uint8_t>(crc >> 24);
    page_[1021] = static_cast<uint8_t>(crc >> 16);
    page_[1022] = static_cast<uint8_t>(crc >> 8);
    page_[1023] = static_cast<uint8_t>(crc);
    if (std::fwrite(page_, 1, kPageSize, file_) != kPageSize) ok_ = false;
    fill_ = 0;
}

void PagedFileWriter::finish() {
    if (fill_ > 0 && ok_) emitPage();
    if (ok_ && std::fflush(file_) != 0) ok_ = false;
    if (ok_ && ::fsync(::fileno(file_)) != 0) ok_ = false;
}

}  // namespace kl::e57
