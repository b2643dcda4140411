#include "tools/geoportal/zip_writer.h"

#include <zip.h>

namespace kl::geoportal {

std::string zipArchive(const std::vector<std::pair<std::string, std::string>>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!memory) return {};
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    bool ok = archive != nullptr;
    for (const auto& [name, bytes] : entries) {
        if (!ok) break;
        if (!name.empty() && name.back() == '/') {
            ok = zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8) >= 0;
            continue;
        }
        zip_source_t* data = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ok = data && zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8) >= 0;
        if (!ok && data) zip_source_free(data);
    }
    std::string out;
    if (ok && zip_close(archive) == 0 && zip_source_open(memory) == 0) {
        zip_source_seek(memory, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(memory);
        zip_source_seek(memory, 0, SEEK_SET);
        if (size > 0) {
            out.resize(static_cast<size_t>(size));
            if (zip_source_read(memory, out.data(), static_cast<zip_uint64_t>(size)) != size) out.clear();
        }
        zip_source_close(memory);
    } else if (archive) {
        zip_discard(archive);
    }
    zip_source_free(memory);
    zip_error_fini(&error);
    return out;
}

}  // namespace kl::geoportal
