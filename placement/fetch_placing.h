#pragma once
// The place step of the map palette: the stored fetch moved into the
// project's zone and drawn in one undo step, with the reply for the page.
#include "import/place_job.h"

namespace kl::placement {

import::PlaceStepResult placeFetched(const import::PlaceJob& job);

}  // namespace kl::placement
