#pragma once
// The consistency a modeller demands of a body whose polygons share edges:
// each edge runs once each way (a face wound against its neighbours would
// otherwise turn the solid inside out) and no polygon crosses or touches
// itself. A body of loose polygons shares nothing and is not checked.
#include "host/core/morph_body.h"

namespace kl::host {

// KL_NOERROR, KL_ERR_BODY_EDGE_TWICE or KL_ERR_BODY_SELF_CROSSING.
KlErr checkSharedTopology(const MorphBody& body);

}  // namespace kl::host
