#include "shell/web_resources.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#include "base/diag_log.h"
#include "shell/web_diag.h"
#include "base/folders.h"
#include "base/host_access.h"
#include "base/temporary_names.h"
#include "shell/build_info.h"

namespace kl::shell {
namespace {

namespace fs = std::filesystem;

void report(const std::string& text) {
    const KlHostFunctions* h = host();
    if (h && h->WriteReport) h->WriteReport(text.c_str(), 0);
}

// Size of the file as it reads back, -1 if it cannot be opened.
long long sizeOnDisk(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return -1;
    return static_cast<long long>(in.tellg());
}

// An existing file (or anything else) in the way that we may not replace.
bool targetWritable(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    if (ec || status.type() == fs::file_type::not_found) return true;
    if (status.type() != fs::file_type::regular) return false;
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return false;
    std::fclose(f);
    return true;
}

struct WriteOutcome {
    bool opened = false;
    long long diskSize = -1;
};

WriteOutcome writeWholeFile(const fs::path& path, const unsigned char* data, std::size_t size) {
    WriteOutcome out;
    if (!targetWritable(path)) {
        out.diskSize = sizeOnDisk(path);
        return out;
    }
    // A name of its own: another instance of the host may be writing the
    // same page into this shared folder right now, and a common name would
    // let each remove or publish the other's half-written file.
    platform::sweepStaleTemporaries(path.string());
    const fs::path temp = platform::temporarySibling(path.string());
    std::error_code ec;
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        out.diskSize = sizeOnDisk(path);
        return out;
    }
    out.opened = true;
    bool complete = size == 0 || std::fwrite(data, 1, size, f) == size;
    complete = (std::fclose(f) == 0) && complete;
    if (complete && sizeOnDisk(temp) == static_cast<long long>(size)) {
        fs::rename(temp, path, ec);
        if (!ec) {
            out.diskSize = sizeOnDisk(path);
            return out;
        }
    }
    // Report what actually reached the disk, then leave nothing half-written.
    out.diskSize = sizeOnDisk(temp);
    fs::remove(temp, ec);
    return out;
}

}  // namespace

WebExtraction extractWebResources(const WebFilesSpec& spec) {
    WebExtraction result;
    const std::string prefix = spec.reportPrefix;
    try {
        const fs::path base = platform::privateWorkDir(spec.folderName);
        std::error_code ec;
        result.webDir = base / "web";
        fs::create_directories(result.webDir, ec);

        diag(std::string("=== ") + spec.paletteName + " ExtractWebResources v" + kAddonVersion + " ===");
        diag("webDir=" + result.webDir.string());

        const KlHostFunctions* h = host();
        for (const WebResource& res : spec.resources) {
            const std::string id = std::to_string(res.id);
            const unsigned char* data = nullptr;
            std::size_t size = 0;
            if (!h || !h->LoadResource || h->LoadResource(KL_RES_DATA, res.id, &data, &size) != KL_NOERROR ||
                (data == nullptr && size != 0)) {
                diag("RSLoadResource NULL id=" + id + " file=" + res.fileName);
                return result;
            }
            const fs::path path = result.webDir / res.fileName;
            const WriteOutcome written = writeWholeFile(path, data, size);
            diag("id=" + id + " file=" + res.fileName + " res=" + std::to_string(size) +
                 "B open=" + (written.opened ? "1" : "0") + " disk=" + std::to_string(written.diskSize) +
                 "B path=" + path.string());
            if (!written.opened || written.diskSize != static_cast<long long>(size)) {
                diag("ZAPIS NIEUDANY id=" + id + " -> przerywam");
                report(prefix + "nie udalo sie zapisac zasobow web na dysku (paleta bylaby pusta).");
                return result;
            }
        }
        result.ok = true;
    } catch (const std::exception& e) {
        diag(std::string("ExtractWebResources: ") + e.what());
    }
    return result;
}

std::string percentEncodeSegment(std::string_view segment) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (const char ch : segment) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~' || c == ':';
        if (keep) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::string pageAddress(const std::filesystem::path& webDir, std::string_view startPage) {
    // generic_string() turns Windows separators into '/'; elsewhere a
    // backslash is an ordinary character of a name and gets encoded.
    const std::string dir = webDir.generic_string();
    std::string address = "file://";
    std::size_t pos = 0;
    while (pos <= dir.size()) {
        std::size_t end = dir.find('/', pos);
        if (end == std::string::npos) end = dir.size();
        if (end > pos) address += "/" + percentEncodeSegment(std::string_view(dir).substr(pos, end - pos));
        pos = end + 1;
    }
    address += "/" + percentEncodeSegment(startPage);
    return address;
}

}  // namespace kl::shell
