#pragma once
// One process-wide instance per palette class, created on first use and
// destroyed at quit, plus the host's palette control callback and the send
// that controllers use to push events.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "shell/browser_palette.h"
#include "base/main_thread.h"
#include "base/diag_log.h"
#include "base/entry_barrier.h"
#include "base/host_access.h"

namespace kl::shell {

class NullReferenceError : public std::logic_error {
public:
    NullReferenceError() : std::logic_error("Null reference.") {}
};

// Derived provides `static const PaletteTraits& paletteTraits()` and a
// default constructor.
template <class Derived>
class PaletteSingleton {
public:
    static bool hasInstance() { return static_cast<bool>(instance_); }

    // Throws NullReferenceError when there is no instance.
    static Derived& getInstance() {
        if (!instance_) throw NullReferenceError();
        return *instance_;
    }

    static void createInstance() {
        auto fresh = std::make_shared<Derived>();
        instance_ = std::move(fresh);  // releases a previous instance, if any
        host()->KeepInMemory(1);
    }

    // Clears the reference first, so that anything running during the
    // destruction already sees no instance.
    static void destroyInstance() {
        std::shared_ptr<Derived> dying = std::move(instance_);
        instance_.reset();
        dying.reset();
    }

    static void showCreating() {
        if (!instance_) createInstance();
        instance_->show();
    }

    // Menu command: hide when visible, otherwise create if needed and show.
    static void toggle() {
        if (instance_ && instance_->isVisible())
            instance_->hide();
        else
            showCreating();
    }

    // Sends to the page if the palette still exists; otherwise drops the
    // message. Main thread only (workers go through post()).
    static void sendIfAlive(const std::string& type, nlohmann::json obj) {
        if (instance_) instance_->bridge().send(type, std::move(obj));
    }

    // postToMain for work whose results go to this palette: if task throws,
    // clearBusy runs (so the owner can accept new requests) and the page
    // gets an "error" message, if the palette still exists.
    static bool post(MainThreadTask task, std::function<void()> clearBusy = {}) {
        return postToMain(std::move(task), [clearBusy = std::move(clearBusy)](const std::string& message) {
            if (clearBusy) clearBusy();
            nlohmann::json err = nlohmann::json::object();
            err["msg"] = message;
            sendIfAlive("error", std::move(err));
        });
    }

    static int32_t referenceNumber() { return guidReferenceNumber(Derived::paletteTraits().guid); }

    static KlErr registerWithHost() {
        return host()->RegisterPalette(referenceNumber(), &PaletteSingleton::control, kPaletteFlags,
                                       &Derived::paletteTraits().guid);
    }

    // The host's palette control callback.
    static KlErr control(int32_t, int32_t message, intptr_t param) noexcept {
        platform::guarded("palette control", [message, param] { handleControl(message, param); });
        return KL_NOERROR;
    }

private:
    static void handleControl(int32_t message, intptr_t param) {
        switch (message) {
            case KL_PALETTE_CLOSE:
                if (instance_) instance_->hide();
                break;
            case KL_PALETTE_HIDE_BEGIN:
                if (!instance_) {
                    wasVisible_ = false;
                } else {
                    wasVisible_ = instance_->isVisible();
                    if (wasVisible_) instance_->hide();
                }
                break;
            case KL_PALETTE_HIDE_END:
                if (instance_ && wasVisible_ && !instance_->isVisible()) instance_->show();
                break;
            case KL_PALETTE_DISABLE_BEGIN:
                if (instance_ && instance_->isVisible()) instance_->enableItems(false);
                break;
            case KL_PALETTE_DISABLE_END:
                if (instance_ && instance_->isVisible()) instance_->enableItems(true);
                break;
            case KL_PALETTE_OPEN:
                showCreating();
                break;
            case KL_PALETTE_IS_VISIBLE:
                if (param != 0) *reinterpret_cast<int32_t*>(param) = (instance_ && instance_->isVisible()) ? 1 : 0;
                break;
            default:
                break;
        }
    }

    static inline std::shared_ptr<Derived> instance_;
    static inline bool wasVisible_ = false;
};

}  // namespace kl::shell
