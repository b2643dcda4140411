#pragma once
// Per-test sandbox: fresh temporary and diagnostic folders, the workbench host
// serving the built module's own resources, the shell linked into the test
// started against it, and the quit event at the end so no palette outlives
// the test.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "shell/addon.h"
#include "tests/geodata/sample_files.h"
#include "tests/shell/workbench_host.h"
#include "tests/support/scratch_folder.h"

namespace kl::test {

using geo::testing::readWholeFile;

// The resource table of the built module, read as the host reads it.
inline const KlResource* addonResources() {
    static void* module = dlopen(KL_ADDON_MODULE, RTLD_NOW | RTLD_LOCAL);
    return module ? static_cast<const KlResource*>(dlsym(module, KL_RESOURCE_TABLE_SYMBOL)) : nullptr;
}

inline std::string bytesOf(const KlResource& r) { return std::string(reinterpret_cast<const char*>(r.data), r.size); }

class ShellTest : public ::testing::Test {
public:
    static constexpr int32_t kMap = 32500;
    static constexpr int32_t kCloud = 32600;

protected:
    void SetUp() override {
        std::filesystem::create_directories(tempDir);
        std::filesystem::create_directories(diagDir);
        setenv("TMPDIR", tempDir.c_str(), 1);
        setenv("KL_DIAG_DIR", diagDir.c_str(), 1);
        const KlResource* table = addonResources();
        ASSERT_NE(table, nullptr) << dlerror();
        for (; table->type != 0; ++table) resources.push_back(*table);
        resources.push_back({});
        host.serve(resources.data());
        ASSERT_EQ(CheckEnvironment(WorkbenchHost::table(), &env), KL_ADDON_PRELOAD);
        ASSERT_EQ(RegisterInterface(), KL_NOERROR);
        if (initialize) {
            ASSERT_EQ(Initialize(), KL_NOERROR);
        }
    }

    void TearDown() override {
        host.projectEvent(KL_EVENT_QUIT);
        kl::shell::onProjectEvent(KL_EVENT_QUIT);  // in case nothing subscribed, or quit went out already
        FreeData();
        // The next test's sandbox is made under the temporary folder the run began with.
        if (tmpBefore)
            setenv("TMPDIR", tmpBefore->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    // The module's page file `id`; the host serves changes made through it.
    KlResource* resource(int32_t id) {
        for (KlResource& r : resources)
            if (r.type == KL_RES_DATA && r.id == id) return &r;
        return nullptr;
    }
    void dropResource(int32_t id) {
        std::erase_if(resources, [id](const KlResource& r) { return r.type == KL_RES_DATA && r.id == id; });
        host.serve(resources.data());
    }

    std::string diagLog() const { return readWholeFile(diagDir / "ordvik_web_diag.txt"); }
    KlErr menu(int32_t item) { return host.menuCommand(kMap, item); }
    int32_t menuFlags(int32_t item) const { return host.menuFlags(kMap, item); }
    // The host's control message to a palette; IS_VISIBLE answers in `visible`.
    KlErr control(int32_t dialog, int32_t message, int32_t* visible = nullptr) {
        return host.control(dialog == kMap ? 0 : 1, message, visible);
    }
    // The palette of that dialog as the workbench states it; {} when there is none.
    nlohmann::json palette(int32_t dialog) const {
        const nlohmann::json state = host.state();
        for (const auto& p : state["palettes"])
            if (p["dialog"] == dialog) return p;
        return nlohmann::json::object();
    }
    bool visible(int32_t dialog) const { return palette(dialog).value("visible", false); }
    int32_t browserId(int32_t dialog) const { return palette(dialog).value("/browsers/0/id"_json_pointer, 0); }
    size_t paletteCount() const { return host.state()["palettes"].size(); }
    // The page calls GIS.postMessage(text).
    void post(int32_t dialog, const std::optional<std::string>& text) { host.pageCall(browserId(dialog), text); }
    // Every message delivered to the page through "GISBridge.receive(...);".
    std::vector<nlohmann::json> received(int32_t dialog) {
        auto& seen = messages[browserId(dialog)];
        static const std::string head = "GISBridge.receive(", tail = ");";
        for (const std::string& s : host.takeScripts(browserId(dialog))) {
            EXPECT_EQ(s.rfind(head, 0), 0u) << s;
            seen.push_back(nlohmann::json::parse(s.substr(head.size(), s.size() - head.size() - tail.size())));
        }
        return seen;
    }
    nlohmann::json lastReceived(int32_t dialog) {
        const auto all = received(dialog);
        return all.empty() ? nlohmann::json() : all.back();
    }

    bool initialize = true;
    const std::optional<std::string> tmpBefore =
        std::getenv("TMPDIR") ? std::optional<std::string>(std::getenv("TMPDIR")) : std::nullopt;
    ScratchFolder sandbox{"kl_shell"};
    const std::filesystem::path tempDir = sandbox.path() / "tmp", diagDir = sandbox.path() / "diag";
    KlEnvironment env{};
    WorkbenchHost host;
    std::vector<KlResource> resources;
    std::map<int32_t, std::vector<nlohmann::json>> messages;
};

}  // namespace kl::test
