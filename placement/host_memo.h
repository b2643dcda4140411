#pragma once
// A memo the host fills for one element, disposed on every path out.
#include "host/sdk/kl_host_api.h"

namespace kl::placement {

class HostMemo {
public:
    HostMemo();
    ~HostMemo();
    HostMemo(const HostMemo&) = delete;
    HostMemo& operator=(const HostMemo&) = delete;
    KlMemo* get() { return &memo_; }

private:
    KlMemo memo_;
};

}  // namespace kl::placement
