#include "placement/host_memo.h"

#include <cstring>

#include "base/host_access.h"

namespace kl::placement {

HostMemo::HostMemo() { std::memset(&memo_, 0, sizeof memo_); }
HostMemo::~HostMemo() { host()->DisposeMemo(&memo_); }

}  // namespace kl::placement
