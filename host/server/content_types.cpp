#include "host/server/content_types.h"

#include <cctype>
#include <utility>

namespace kl::host {
namespace {

std::string extensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

std::string contentTypeFor(std::string_view fileName) {
    // Scripts under a name the HTTP library does not compress, as JSON (see kJsonContentType): it
    // brotli-compresses text/* and the bare "application/javascript" too (seconds for a map library).
    static const std::pair<const char*, const char*> table[] = {
        {"html", "text/html; charset=utf-8"}, {"htm", "text/html; charset=utf-8"},
        {"js", "application/javascript; charset=utf-8"}, {"mjs", "application/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"}, {"json", kJsonContentType},
        {"geojson", "application/geo+json"}, {"svg", "image/svg+xml"},
        {"png", "image/png"}, {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},
        {"gif", "image/gif"}, {"webp", "image/webp"}, {"ico", "image/x-icon"},
        {"wasm", "application/wasm"}, {"woff", "font/woff"}, {"woff2", "font/woff2"},
        {"txt", "text/plain; charset=utf-8"}, {"map", kJsonContentType},
        {"pbf", "application/x-protobuf"},
    };
    const std::string ext = extensionOf(fileName);
    for (const auto& [e, type] : table)
        if (ext == e) return type;
    return "application/octet-stream";
}

bool isHtml(std::string_view fileName) {
    const std::string ext = extensionOf(fileName);
    return ext == "html" || ext == "htm";
}

}  // namespace kl::host
