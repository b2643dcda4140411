#pragma once
#include "shell/browser_palette.h"
#include "shell/palette_singleton.h"

namespace kl::shell {

// The import map palette (menu item 1).
class MapPalette : public BrowserPalette, public PaletteSingleton<MapPalette> {
public:
    MapPalette() : BrowserPalette(paletteTraits()) {}
    static const PaletteTraits& paletteTraits();
};

// The point-cloud palette (menu item 2).
class CloudPalette : public BrowserPalette, public PaletteSingleton<CloudPalette> {
public:
    CloudPalette() : BrowserPalette(paletteTraits()) {}
    static const PaletteTraits& paletteTraits();
};

}  // namespace kl::shell
