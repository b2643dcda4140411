#pragma once
// Layer names read from WFS and WMS capabilities documents.
#include "net/wfs_client.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kl::net {

// Texts of every element whose local name is "Name", in document order
// (entities decoded, surrounding white space trimmed), except those of the
// Service and Style elements. Tolerates broken XML.
std::vector<std::string> elementNameTexts(std::string_view xml);

// Layer names of a WMS or WFS document without service names ("WMS",
// "WFS", ...), "default" and empty names; no duplicates.
std::vector<std::string> nameListFromCapabilities(std::string_view capabilities);

// GetCapabilities of a service, asked once more when the answer is not a whole
// service description (cut short, an exception report or an HTML page in a
// 200): a broken description would read as a service without layers.
HttpResponse readCapabilities(WfsClient& client, std::string_view baseUrl, std::string_view service,
                              std::string_view version = {});

struct WfsLayerNames {
    std::string parcels;
    std::string buildings;
    bool any() const { return !parcels.empty() || !buildings.empty(); }
};

// The cadastral parcel and building layers; current layers win over archive,
// historic and label layers whatever their order.
WfsLayerNames egibLayerNamesFromCapabilities(std::string_view capabilities);

// Per-endpoint memory of layer names, kept for the life of the controller.
using LayerNameCache = std::map<std::string, WfsLayerNames>;

struct LayerNamesResult {
    WfsLayerNames names;
    bool ok = false;     // at least one of the two names found
    std::string error;   // Polish, when the capabilities could not be read
                         // (empty when they were read and name neither layer)
};

LayerNamesResult fetchLayerNames(WfsClient& client, LayerNameCache& cache, const std::string& endpoint);

// Filters of the fetch pipeline.
std::vector<std::string> utilityWfsLayers(const std::vector<std::string>& names);
std::vector<std::string> utilityWmsLayers(const std::vector<std::string>& names);
std::vector<std::string> bdot500WmsLayers(const std::vector<std::string>& names);
// Plan drawings when named so, else the layers that are not outlines,
// extents or indexes, else every layer.
std::vector<std::string> mpzpWmsLayers(const std::vector<std::string>& names);

// The working zone when the document offers it, else 2180.
int wmsCrsFor(std::string_view capabilities, int workingZoneEpsg);

}  // namespace kl::net
