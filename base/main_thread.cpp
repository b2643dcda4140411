#include "base/main_thread.h"

#include <exception>
#include <memory>
#include <utility>

#include "base/diag_log.h"
#include "base/entry_barrier.h"
#include "base/host_access.h"

namespace kl {
namespace {

struct PostedTask {
    MainThreadTask task;
    MainThreadFailure onFailure;
};

void logFailure(const std::string& what) {
    platform::appendDiagLine("ordvik_web_diag.txt", "postToMain: " + what);
}

void reportFailure(const PostedTask& posted, const std::string& what) {
    logFailure(what);
    if (!posted.onFailure) return;
    try {
        posted.onFailure("Blad wewnetrzny: " + what);
    } catch (const std::exception& e) {
        logFailure(std::string("failure handler: ") + e.what());
    } catch (...) {
        logFailure("failure handler: unknown exception");
    }
}

// Entered by the host: a failure report that fails itself stops at the barrier.
void runPosted(void* ctx) noexcept {
    std::unique_ptr<PostedTask> posted(static_cast<PostedTask*>(ctx));
    platform::guarded("postToMain", [&posted] {
        try {
            if (posted->task) posted->task();
        } catch (const std::exception& e) {
            reportFailure(*posted, e.what());
        } catch (...) {
            reportFailure(*posted, "nieznany wyjatek");
        }
    });
}

void dropPosted(void* ctx) noexcept { delete static_cast<PostedTask*>(ctx); }

}  // namespace

bool postToMain(MainThreadTask task, MainThreadFailure onFailure) {
    const KlHostFunctions* h = host();
    if (!h || !h->PostToMainThread) return false;
    auto posted = std::make_unique<PostedTask>(PostedTask{std::move(task), std::move(onFailure)});
    // On refusal the host has already called dropPosted, which owns the task.
    return h->PostToMainThread(&runPosted, &dropPosted, posted.release()) == KL_NOERROR;
}

}  // namespace kl
