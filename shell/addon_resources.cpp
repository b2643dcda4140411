// The module's resource table, read by the host through the exported symbol.
#include "host/sdk/kl_host_api.h"

#include "embedded_web_files.inc"

#define KL_EXPORT __attribute__((visibility("default")))

namespace {

constexpr unsigned char kAddonStrings[] =
    "Geodrop\0"
    "Import danych GIS (dzialki, budynki, MPZP/POG, GESUT) z WFS GUGiK i Rejestru Urbanistycznego\0";

constexpr unsigned char kMenuStrings[] =
    "Ordvik\0"
    "Geodrop\0"
    "Mapa importu GIS^ES^EE^EI^ED^EW^E3^EL\0"
    "Chmura punktow^ES^EE^EI^ED^EW^E3^EL\0"
    "Czyszczenie duplikatow (polilinie + teksty)^ES^EE^EI^ED^EW^E3^EL\0"
    "Otwórz ordvik.pl^ES^EE^EI^ED^EW^E3^EL\0";

constexpr unsigned char kMapDialog[] =
    R"({"title":"Geodrop","width":900,"height":600,"anchor":"DLG_32500_Map_Palette",)"
    R"("items":[{"type":"browser","x":0,"y":0,"w":900,"h":600,"name":"Map Browser","anchor":"Browser_0"}]})";

constexpr unsigned char kCloudDialog[] =
    R"({"title":"Chmura punktow","width":900,"height":600,"anchor":"DLG_32600_Cloud_Palette",)"
    R"("items":[{"type":"browser","x":0,"y":0,"w":900,"h":600,"name":"Cloud Browser","anchor":"Browser_0"}]})";

// Developer id 0x4F52444B, local id 0x47454F44, as two little-endian words.
alignas(4) constexpr unsigned char kAddonId[8] = {0x4B, 0x44, 0x52, 0x4F, 0x44, 0x4F, 0x45, 0x47};

}  // namespace

extern "C" {

// String lists keep the literal's own terminator, so they end with "\0\0";
// dialog descriptions are JSON without a terminator.
KL_EXPORT extern const KlResource KlResourceTable[];
const KlResource KlResourceTable[] = {
    {KL_RES_STRLIST, 32000, kAddonStrings, sizeof kAddonStrings},
    {KL_RES_STRLIST, 32500, kMenuStrings, sizeof kMenuStrings},
    {KL_RES_DIALOG, 32500, kMapDialog, sizeof kMapDialog - 1},
    {KL_RES_DIALOG, 32600, kCloudDialog, sizeof kCloudDialog - 1},
    {KL_RES_ADDONID, 32500, kAddonId, sizeof kAddonId},
    KL_EMBEDDED_DATA_ROWS
    {0, 0, nullptr, 0},
};
}
