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
    Json,
    Zip,
    Image,       // PNG, JPEG, GIF or TIFF
    PointCloud,  // LAS or LAZ
    Binary,      // any file, but not an HTML page or an exception report
};

// Empty when the beginning of a body fits the expectation, else a Polish
// message saying what came instead. Only the first few KB are looked at.
std::string bodyMismatch(ExpectedBody expected, std::string_view head);

}  // namespace kl::net
