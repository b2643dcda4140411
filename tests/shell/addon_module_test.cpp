// The built add-on module as the host sees it: exported symbols and the page
// files in its resource table.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <map>

#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

void* module() {
    static void* handle = dlopen(KL_ADDON_MODULE, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

const KlResource* find(uint32_t type, int32_t id) {
    for (const KlResource* r = addonResources(); r->type != 0; ++r)
        if (r->type == type && r->id == id) return r;
    return nullptr;
}

TEST(AddonModule, ExportsOnlyTheEntryPointsAndTheResourceTable) {
    ASSERT_NE(module(), nullptr) << dlerror();
    for (const char* name : {"CheckEnvironment", "RegisterInterface", "Initialize", "FreeData", "KlResourceTable"})
        EXPECT_NE(dlsym(module(), name), nullptr) << name;
    for (const char* hidden : {"_ZN2kl6Bridge9onMessageESt17basic_string_viewIcSt11char_traitsIcEE",
                               "_ZN2kl4hostEv", "_ZN2kl7setHostEPK15KlHostFunctions"})
        EXPECT_EQ(dlsym(module(), hidden), nullptr) << hidden;
}

TEST(AddonModule, CarriesThePageFilesAndWebLibrariesByteForByte) {
    ASSERT_NE(module(), nullptr) << dlerror();
    const std::string src = KL_SOURCE_DIR;
    const std::string nm = src + "/node_modules/";
    const std::map<int32_t, std::string> files = {
        {100, src + "/shell/web/map.html"},
        {101, src + "/shell/web/map.js"},
        {102, src + "/shell/web/map.css"},
        {103, src + "/shell/web/address.js"},
        {104, src + "/shell/web/mapview.js"},
        {105, src + "/shell/web/settings.js"},
        {120, src + "/shell/web/bridge.js"},
        {200, src + "/shell/web/cloud.html"},
        {201, src + "/shell/web/cloud.js"},
        {202, src + "/shell/web/cloud.css"},
        {110, nm + "leaflet/dist/leaflet.js"},
        {111, nm + "leaflet/dist/leaflet.css"},
        {112, nm + "maplibre-gl/dist/maplibre-gl.js"},
        {113, nm + "maplibre-gl/dist/maplibre-gl.css"},
        {114, nm + "@maplibre/maplibre-gl-leaflet/leaflet-maplibre-gl.js"},
    };
    for (const auto& [id, path] : files) {
        const KlResource* r = find(KL_RES_DATA, id);
        ASSERT_NE(r, nullptr) << id;
        EXPECT_EQ(bytesOf(*r), readFile(path)) << path;
    }
}

}  // namespace
}  // namespace kl::test
