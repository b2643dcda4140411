#include "tools/geoportal/image_codec.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <zlib.h>

namespace kl::geoportal {

namespace {

void putBigEndian(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>((v >> 16) & 255);
    out += static_cast<char>((v >> 8) & 255);
    out += static_cast<char>(v & 255);
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    std::string typed(type, 4);
    typed += data;
    out += typed;
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    putBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::string encodePng(const Canvas& canvas, bool withAlpha) {
    const int channels = withAlpha ? 4 : 3;
    const size_t rowBytes = static_cast<size_t>(canvas.width()) * static_cast<size_t>(channels);
    // Each row with the "up" filter, which keeps flat map areas tiny.
    std::string raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(canvas.height()));
    std::string previous(rowBytes, '\0'), row(rowBytes, '\0');
    const auto& px = canvas.pixels();
    for (int y = 0; y < canvas.height(); ++y) {
        const uint8_t* src = &px[static_cast<size_t>(y) * static_cast<size_t>(canvas.width()) * 4];
        for (int x = 0; x < canvas.width(); ++x)
            for (int c = 0; c < channels; ++c)
                row[static_cast<size_t>(x * channels + c)] = static_cast<char>(src[x * 4 + c]);
        raw += '\2';
        for (size_t i = 0; i < rowBytes; ++i)
            raw += static_cast<char>(static_cast<uint8_t>(row[i]) - static_cast<uint8_t>(previous[i]));
        std::swap(previous, row);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), 6) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    putBigEndian(header, static_cast<uint32_t>(canvas.width()));
    putBigEndian(header, static_cast<uint32_t>(canvas.height()));
    header += '\x08';                      // bit depth
    header += withAlpha ? '\x06' : '\x02';  // RGBA or RGB
    header += std::string(3, '\0');        // deflate, adaptive filtering, no interlace
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

std::string encodeJpeg(const Canvas& canvas, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(canvas.width());
    cinfo.image_height = static_cast<JDIMENSION>(canvas.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(canvas.width()) * 3);
    const auto& px = canvas.pixels();
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src = &px[static_cast<size_t>(cinfo.next_scanline) * static_cast<size_t>(canvas.width()) * 4];
        for (int x = 0; x < canvas.width(); ++x) {
            // Flatten onto white: JPEG has no transparency.
            const unsigned a = src[x * 4 + 3];
            for (int c = 0; c < 3; ++c)
                row[static_cast<size_t>(x * 3 + c)] = static_cast<JSAMPLE>((src[x * 4 + c] * a + 255 * (255 - a)) / 255);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace kl::geoportal
