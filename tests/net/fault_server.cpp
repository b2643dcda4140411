#include "tests/net/fault_server.h"

#include <cstdlib>

namespace kl::test {

TempCacheHome::TempCacheHome() {
    if (const char* prev = std::getenv("XDG_CACHE_HOME")) previous_ = prev;
    ::setenv("XDG_CACHE_HOME", dir().c_str(), 1);
}

TempCacheHome::~TempCacheHome() {
    previous_ ? ::setenv("XDG_CACHE_HOME", previous_->c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
}

}  // namespace kl::test
