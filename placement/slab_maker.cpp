#include "placement/slab_maker.h"

#include <string>

#include "placement/attribute_lookup.h"
#include "base/host_access.h"

namespace kl::placement {

KlErr SlabMaker::make(const Points& footprint, double bottom, double thickness, int32_t layer, std::string_view id) {
    if (footprint.size() < 3 || !(thickness > 0)) return KL_NOERROR;
    if (material_ < 0) material_ = firstAttribute(KL_ATTR_BUILDINGMATERIAL);
    KlGuid guid{};
    const KlErr err = createElement(
        KL_ELEM_SLAB,
        [&](KlElement& e) {
            e.layer = layer;
            // the host keeps a slab by its top; the block stands on its base
            e.level = bottom + thickness;
            e.thickness = thickness;
            if (material_ > 0) e.material = material_;
        },
        {closedRing(footprint)}, {}, {}, &guid);
    if (err == KL_NOERROR && !id.empty()) host()->SetElementInfoString(&guid, std::string(id).c_str());
    return err;
}

}  // namespace kl::placement
