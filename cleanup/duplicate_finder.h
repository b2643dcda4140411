#pragma once
// Of each group of polylines (or texts) with the same layer and key the
// first in the list stays; the rest are listed for deletion.
#include <vector>

#include "cleanup/drawing_records.h"

namespace kl::cleanup {

struct DuplicatePlan {
    std::vector<KlGuid> toDelete;  // polylines first, each list in drawing order
    int polylines = 0;
    int texts = 0;
};

DuplicatePlan findDuplicates(const Drawing& drawing);

}  // namespace kl::cleanup
