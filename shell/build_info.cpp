#include "shell/build_info.h"

namespace kl::shell {

std::string buildStamp() { return std::string(__DATE__) + " " + __TIME__; }

}  // namespace kl::shell
