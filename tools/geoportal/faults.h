#pragma once
// Faults injected on request, so that clients can be tested against the ways
// real services fail: error statuses, slow answers, cut bodies, wrong content
// types, missing pages and reset connections.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

enum class FaultKind {
    Status,     // an error status with an HTML error page (5xx or any code)
    NotFound,   // 404
    Slow,       // the normal answer after a delay
    Truncate,   // Content-Length of the whole body, half of it sent, then closed
    WrongType,  // the normal body labelled text/html
    Html,       // status 200 with an HTML maintenance page
    Exception,  // status 200 with an OGC exception report
    Empty,      // status 200 with an empty body
    Reset,      // the connection is reset without an answer
    Cut,        // HTTP/1.0 200 without Content-Length, half the body, then an orderly close
};

struct Fault {
    FaultKind kind = FaultKind::Status;
    int status = 500;
    int delayMs = 3000;
};

// kind: "500" (any 3-digit status), "5xx", "404", "slow", "truncate", "wrongtype",
// "html", "exception", "empty", "reset", "cut".
std::optional<Fault> parseFault(std::string_view kind, std::string_view status, std::string_view delayMs);
std::string faultName(const Fault& fault);

struct FaultRule {
    Fault fault;
    std::string pathPrefix;  // empty: every path
    std::string contains;    // empty: any query; else a text the path-and-query must hold
    int remaining = 1;       // below 0: without limit
};

class FaultTable {
public:
    void add(FaultRule rule);
    void clear();
    // The fault for this request, if a rule matches; spends one of the rule's uses.
    std::optional<Fault> take(std::string_view path, std::string_view target);
    std::string describeJson() const;

private:
    mutable std::mutex mutex_;
    std::vector<FaultRule> rules_;
};

}  // namespace kl::geoportal
