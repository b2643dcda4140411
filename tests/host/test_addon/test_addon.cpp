// A small add-on for the workbench's own tests: a menu of four items, one
// browser palette that echoes what its page posts, and a trace of its entry
// points in the report window.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "host/sdk/kl_host_api.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kMenu = 32500;
constexpr KlGuid kPaletteGuid = {{0x6B1C0A7E, 0x92D44F7B, 0xB1A93C58, 0xD2E4F016}};

const KlHostFunctions* host = nullptr;
KlPaletteRef palette = nullptr;
std::filesystem::path pageDir;
KlBrowserRef browser = nullptr;

void trace(const std::string& what) { host->WriteReport(("test-addon: " + what).c_str(), 0); }

// The echo is ASCII only: every other byte becomes a replacement character.
std::string jsonString(const char* s, size_t n) {
    std::string out = "\"";
    for (const unsigned char c : std::string_view(s, n)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c < 0x80 ? c : 0xFFFD);
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return out + "\"";
}

void echo(void*, const char* arg, size_t bytes, int32_t isString) {
    const std::string value = isString ? jsonString(arg, bytes) : "null";
    host->BrowserExecuteScript(browser, ("window.testAddonReceive && window.testAddonReceive(" + value + ");").c_str());
}

const char* kPage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>test palette</title><link rel="stylesheet" href="style.css"></head>
<body><h1>Paleta testowa</h1><div id="echo">waiting</div>
<script>
window.testAddonReceive = function (v) { document.getElementById('echo').textContent = 'echo:' + v; };
GIS.postMessage('hello');
</script></body></html>
)";

KlErr quit(int32_t event) {
    if (event != KL_EVENT_QUIT) return KL_NOERROR;
    trace("quit");
    if (palette) host->PaletteDestroy(palette);
    palette = nullptr;
    browser = nullptr;
    std::error_code ec;
    if (!pageDir.empty()) std::filesystem::remove_all(pageDir, ec);
    return KL_NOERROR;
}

void createPalette() {
    host->PaletteCreate(kMenu, &kPaletteGuid, &palette);
    host->BrowserCreate(palette, 1, &browser);
    host->BrowserRegisterAsyncObject(browser, "GIS", "postMessage", echo, nullptr);
    host->CatchProjectEvent(KL_EVENT_QUIT, quit);
    host->KeepInMemory(1);
    pageDir = std::filesystem::temp_directory_path() / ("kl-test-addon-" + std::to_string(getpid()));
    const auto dir = pageDir / "web";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "index.html") << kPage;
    std::ofstream(dir / "style.css") << "h1 { color: rgb(0, 90, 160); }\n";
    host->BrowserLoadUrl(browser, ("file://" + (dir / "index.html").string()).c_str());
}

void setCheck(int32_t item, bool on) {
    int32_t flags = 0;
    host->GetMenuItemFlags(kMenu, item, &flags);
    host->SetMenuItemFlags(kMenu, item, on ? (flags | KL_MENUFLAG_CHECKED) : (flags & ~KL_MENUFLAG_CHECKED));
}

int32_t paletteVisible() {
    int32_t visible = 0;
    if (palette) host->PaletteIsVisible(palette, &visible);
    return visible;
}

void showPalette(bool on) {
    if (on) {
        if (!palette) createPalette();
        host->PaletteShow(palette, -32768);
    } else {
        host->PaletteHide(palette);
    }
    setCheck(1, on);
}

KlErr makeElement(KlElement& e, const std::vector<KlCoord>& outline) {
    KlMemo memo{};
    host->GetElementDefaults(&e, &memo);
    KlMemoSizes sizes{};
    sizes.nCoords = static_cast<int32_t>(outline.size());
    sizes.nRings = 1;
    host->MemoAllocate(&memo, &sizes);
    for (size_t i = 0; i < outline.size(); ++i) memo.coords[i] = outline[i];
    memo.ringEnds[0] = sizes.nCoords;
    KlErr err = host->CreateElement(&e, &memo);
    host->DisposeMemo(&memo);
    return err;
}

// A 4 x 3 x 2 box standing at (12, 0): eight corners, six outward faces.
KlErr makeBox() {
    KlBodyRef body = nullptr;
    host->BodyCreate(&body);
    int32_t v[8], index = 0;
    for (int i = 0; i < 8; ++i) {
        const KlCoord3 p{12.0 + 4 * ((i >> 0) & 1), 3.0 * ((i >> 1) & 1), 2.0 * ((i >> 2) & 1)};
        host->BodyAddVertex(body, &p, &v[i]);
    }
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        int32_t edges[4];
        for (int k = 0; k < 4; ++k) host->BodyAddEdge(body, v[f[k]], v[f[(k + 1) % 4]], &edges[k]);
        host->BodyAddPolygon(body, edges, 4, 1, &index);
    }
    KlElement e{};
    e.type = KL_ELEM_MORPH;
    KlMemo memo{};
    host->GetElementDefaults(&e, &memo);
    KlErr err = host->BodyFinish(body, &memo);
    if (err == KL_NOERROR) err = host->CreateElement(&e, &memo);
    host->DisposeMemo(&memo);
    host->BodyDispose(&body);
    return err;
}

KlErr drawSomething(void*) {
    KlElement line{};
    line.type = KL_ELEM_POLYLINE;
    if (KlErr err = makeElement(line, {{0, 0}, {10, 0}, {10, 5}})) return err;
    KlElement slab{};
    slab.type = KL_ELEM_SLAB;
    if (KlErr err = makeElement(slab, {{0, 8}, {6, 8}, {6, 12}, {0, 12}, {0, 8}})) return err;
    return makeBox();
}

KlErr menu(int32_t menuId, int32_t item) {
    if (menuId != kMenu) return KL_NOERROR;
    trace("menu " + std::to_string(item));
    switch (item) {
        case 1: showPalette(!paletteVisible()); break;
        case 2: host->UndoableCommand("Test drawing", drawSomething, nullptr); break;
        default: break;
    }
    return KL_NOERROR;
}

KlErr control(int32_t, int32_t message, intptr_t param) {
    if (message == KL_PALETTE_CLOSE && palette) {
        showPalette(false);
    } else if (message == KL_PALETTE_OPEN) {
        showPalette(true);
    } else if (message == KL_PALETTE_IS_VISIBLE) {
        *reinterpret_cast<int32_t*>(param) = paletteVisible();
    }
    return KL_NOERROR;
}

#define STRINGS(...) reinterpret_cast<const unsigned char*>(__VA_ARGS__), sizeof(__VA_ARGS__)
const char kNames[] = "Testowy dodatek\0Dodatek do testow stanowiska\0";
const char kMenuStrings[] =
    "Ordvik\0Geodrop\0Mapa importu GIS^ES^EE^EI^ED^EW^E3^EL\0Chmura punktow^ES^EE^EI^ED^EW^E3^EL\0"
    "Czyszczenie duplikatow (polilinie + teksty)^ES^EE^EI^ED^EW^E3^EL\0Otwórz stronę^ES^EE^EI^ED^EW^E3^EL\0";
const char kDialog[] =
    R"({"title":"Geodrop","width":900,"height":600,"items":[{"type":"browser","x":0,"y":0,"w":900,"h":600}]})";

}  // namespace

EXPORT const KlResource KlResourceTable[] = {
    {KL_RES_STRLIST, 32000, STRINGS(kNames)},
    {KL_RES_STRLIST, kMenu, STRINGS(kMenuStrings)},
    {KL_RES_DIALOG, kMenu, reinterpret_cast<const unsigned char*>(kDialog), sizeof(kDialog) - 1},
    {0, 0, nullptr, 0},
};

EXPORT int32_t CheckEnvironment(const KlHostFunctions* table, KlEnvironment* env) {
    host = table;
    host->GetIndString(32000, 1, env->name, sizeof env->name);
    host->GetIndString(32000, 2, env->description, sizeof env->description);
    trace("CheckEnvironment");
    return KL_ADDON_PRELOAD;
}

EXPORT KlErr RegisterInterface() {
    trace("RegisterInterface");
    return host->RegisterMenu(kMenu, 0, 0, 0);
}

EXPORT KlErr Initialize() {
    trace("Initialize");
    if (KlErr err = host->InstallMenuHandler(kMenu, menu)) return err;
    return host->RegisterPalette(1, control, 1015, &kPaletteGuid);
}

EXPORT KlErr FreeData() {
    trace("FreeData");
    return KL_NOERROR;
}
