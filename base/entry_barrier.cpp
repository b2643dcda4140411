#include "base/entry_barrier.h"

#include <string>

#include "base/diag_log.h"

namespace kl::platform {

void logEscaped(std::string_view where, std::exception_ptr error) noexcept {
    try {
        std::string what = "nieznany wyjatek";
        try {
            std::rethrow_exception(std::move(error));
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        appendDiagLine("ordvik_web_diag.txt", std::string(where) + ": " + what);
    } catch (...) {
        // Out of memory while reporting: the line is lost, the host lives on.
    }
}

}  // namespace kl::platform
