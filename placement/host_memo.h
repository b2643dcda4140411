#pragma once
// A memo the host fills for one element, disposed on every path out.
#include <cstring>

#include "host/sdk/kl_host_api.h"
#include "shell/platform/host_access.h"

namespace kl::placement {

class HostMemo {
public:
    HostMemo() { std::memset(&memo_, 0, sizeof memo_); }
    ~HostMemo() { host()->DisposeMemo(&memo_); }
    HostMemo(const HostMemo&) = delete;
    HostMemo& operator=(const HostMemo&) = delete;
    KlMemo* get() { return &memo_; }

private:
    KlMemo memo_;
};

}  // namespace kl::placement
