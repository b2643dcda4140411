#pragma once
// The terrain mesh as the host keeps it: an outline with a height at every
// vertex, and level points joined into level lines that shape the surface
// inside it. A mesh the host could not triangulate is refused whole.
#include "host/core/element_store.h"
#include "host/sdk/kl_host_api.h"

namespace kl::host {

// Level points farther outside the outline than this (metres) are refused:
// the host would have to extrapolate the surface to reach them.
inline constexpr double kMeshOutlineTolerance = 1e-3;

// Copies the boundary heights and level lines of a mesh memo whose outline
// is already in out.coords; KL_ERR_BADPARS when any part is missing,
// non-finite, out of order or outside the outline.
KlErr copyMeshLevels(const KlMemo& memo, ElementRecord& out);

}  // namespace kl::host
