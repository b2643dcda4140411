#pragma once
// Requests the services received, kept in memory so that client tests can
// check which requests were made (GET /__log).

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kl::geoportal {

struct LoggedRequest {
    long long sequence = 0;
    std::string method;
    std::string path;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> params;
    std::string fault;  // name of the injected fault, empty when none
    int status = 0;
};

class RequestLog {
public:
    void add(LoggedRequest entry);
    void clear();
    std::vector<LoggedRequest> snapshot() const;
    // JSON array of the entries whose path starts with pathPrefix.
    std::string toJson(std::string_view pathPrefix) const;

private:
    mutable std::mutex mutex_;
    std::vector<LoggedRequest> entries_;
    long long next_ = 1;
};

}  // namespace kl::geoportal
