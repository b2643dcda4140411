// The built add-on module as the host sees it: exported symbols, resource
// table, and one palette opened through its entry points.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

using nlohmann::json;

void* module() {
    static void* handle = dlopen(KL_ADDON_MODULE, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

const KlResource* table() { return static_cast<const KlResource*>(dlsym(module(), KL_RESOURCE_TABLE_SYMBOL)); }

const KlResource* find(uint32_t type, int32_t id) {
    for (const KlResource* r = table(); r->type != 0; ++r)
        if (r->type == type && r->id == id) return r;
    return nullptr;
}

std::string bytesOf(const KlResource* r) { return std::string(reinterpret_cast<const char*>(r->data), r->size); }

std::vector<std::string> strings(int32_t id) {
    const std::string body = bytesOf(find(KL_RES_STRLIST, id));
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = body.find('\0', start)) != std::string::npos && end > start; start = end + 1)
        out.push_back(body.substr(start, end - start));
    EXPECT_EQ(body.substr(body.size() - 2), std::string(2, '\0')) << "a list ends with an empty string";
    return out;
}

TEST(AddonModule, ExportsOnlyTheEntryPointsAndTheResourceTable) {
    ASSERT_NE(module(), nullptr) << dlerror();
    for (const char* name : {"CheckEnvironment", "RegisterInterface", "Initialize", "FreeData", "KlResourceTable"})
        EXPECT_NE(dlsym(module(), name), nullptr) << name;
    for (const char* hidden : {"_ZN2kl6Bridge9onMessageESt17basic_string_viewIcSt11char_traitsIcEE",
                               "_ZN2kl4hostEv", "_ZN2kl7setHostEPK15KlHostFunctions"})
        EXPECT_EQ(dlsym(module(), hidden), nullptr) << hidden;
}

TEST(AddonModule, CarriesItsStringListsDialogsAndIdentifier) {
    ASSERT_NE(module(), nullptr) << dlerror();
    EXPECT_EQ(strings(32000), (std::vector<std::string>{
                                  "Geodrop",
                                  "Import danych GIS (dzialki, budynki, MPZP/POG, GESUT) z WFS GUGiK i Rejestru "
                                  "Urbanistycznego"}));
    const std::string suffix = "^ES^EE^EI^ED^EW^E3^EL";
    EXPECT_EQ(strings(32500), (std::vector<std::string>{"Ordvik", "Geodrop", "Mapa importu GIS" + suffix,
                                                         "Chmura punktow" + suffix,
                                                         "Czyszczenie duplikatow (polilinie + teksty)" + suffix,
                                                         "Otwórz ordvik.pl" + suffix}));
    const std::map<int32_t, std::string> titles = {{32500, "Geodrop"}, {32600, "Chmura punktow"}};
    for (const auto& [id, title] : titles) {
        const json dialog = json::parse(bytesOf(find(KL_RES_DIALOG, id)));
        EXPECT_EQ(dialog["title"], title);
        EXPECT_EQ(dialog["width"], 900);
        EXPECT_EQ(dialog["height"], 600);
        ASSERT_EQ(dialog["items"].size(), 1u);
        EXPECT_EQ(dialog["items"][0], json::parse(R"({"type":"browser","x":0,"y":0,"w":900,"h":600,)"
                                                  R"("anchor":"Browser_0","name":)" +
                                                  std::string(id == 32500 ? "\"Map Browser\"}" : "\"Cloud Browser\"}")));
    }
    ASSERT_NE(find(KL_RES_ADDONID, 32500), nullptr);
    EXPECT_EQ(find(KL_RES_ADDONID, 32500)->size, 8u);
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
        EXPECT_EQ(bytesOf(r), readFile(path)) << path;
    }
}

TEST(AddonModule, OpensTheMapPaletteWithTheRealPageThroughItsEntryPoints) {
    ASSERT_NE(module(), nullptr) << dlerror();
    const auto tmp = makeSandbox("tmp");
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("KL_DIAG_DIR", makeSandbox("diag").c_str(), 1);
    FakeHost host;
    for (const KlResource* r = table(); r->type != 0; ++r)
        if (r->type == KL_RES_DATA) host.dataResources[r->id] = bytesOf(r);
    host.stringLists[32000] = strings(32000);

    auto check = reinterpret_cast<KlCheckEnvironmentFn>(dlsym(module(), KL_ENTRY_CHECK_ENVIRONMENT));
    auto reg = reinterpret_cast<KlRegisterInterfaceFn>(dlsym(module(), KL_ENTRY_REGISTER_INTERFACE));
    auto init = reinterpret_cast<KlInitializeFn>(dlsym(module(), KL_ENTRY_INITIALIZE));
    auto freeData = reinterpret_cast<KlFreeDataFn>(dlsym(module(), KL_ENTRY_FREE_DATA));
    KlEnvironment env{};
    ASSERT_EQ(check(&host.table(), &env), KL_ADDON_PRELOAD);
    EXPECT_STREQ(env.name, "Geodrop");
    ASSERT_EQ(reg(), KL_NOERROR);
    ASSERT_EQ(init(), KL_NOERROR);
    ASSERT_EQ(host.menuHandler(32500, 1), KL_NOERROR);

    FakeBrowser* browser = host.liveBrowser(32500);
    ASSERT_NE(browser, nullptr);
    const auto web = tmp / "KARTOLINK" / "web";
    EXPECT_EQ(browser->url, "file://" + (web / "map.html").string());
    EXPECT_EQ(readFile(web / "map.html"), readFile(std::string(KL_SOURCE_DIR) + "/shell/web/map.html"));
    browser->post(R"({"type":"ping"})");
    EXPECT_EQ(browser->lastReceived()["wersja"], "1.8.0");

    host.projectEvent(KL_EVENT_QUIT);
    EXPECT_TRUE(host.palettes[0]->destroyed);
    EXPECT_EQ(freeData(), KL_NOERROR);
}

}  // namespace
}  // namespace kl::test
