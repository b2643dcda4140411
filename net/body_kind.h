#pragma once
// What a caller expects a service to answer, and whether a body fits. Servers
// often answer 200 with an OGC exception report or an HTML maintenance page;
// such bodies must never be stored in the cache as data.
#include <string>
#include <string_view>

namespace kl::net {

enum class ExpectedBody {
    Any,         // no check
    Text,        // XML or JSON document
    Xml,
    Capabilities,  // an OGC service description (WFS, WMS, WMTS)
    Json,
    Zip,
    Image,       // PNG, JPEG, GIF or TIFF
    PointCloud,  // LAS or LAZ
    Binary,      // any file, but not an HTML page or an exception report
};

// How much of the beginning of a body the checks look at.
inline constexpr std::size_t kBodyHeadBytes = 4096;

// Empty when the beginning of a body fits the expectation, else a Polish
// message saying what came instead. Only the first few KB are looked at.
std::string bodyMismatch(ExpectedBody expected, std::string_view head);

// The same for a whole body held in memory, and for an XML document also
// whether it ends: a server that closes the connection half way without
// having announced a length leaves a document whose root is never closed.
std::string wholeBodyMismatch(ExpectedBody expected, std::string_view body);

}  // namespace kl::net
