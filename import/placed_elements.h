#pragma once
// The elements one placement added to the project, known as what is new in it
// after the place command. The host's undo takes them away and its redo
// brings them back without the add-on acting, so whether the import is in the
// project is asked of the project, never remembered.
#include <string>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::import {

class PlacedElements {
public:
    // Just before the place command.
    void before(const KlHostFunctions* host);
    // After it succeeded.
    void after(const KlHostFunctions* host);
    // Nothing placed (a new result, a failed placement).
    void forget();

    bool known() const { return !added_.empty(); }
    // Whether any of the placed elements is in the project now.
    bool inProject(const KlHostFunctions* host) const;

private:
    std::vector<std::string> existing_;  // sorted; a GUID's bytes
    std::vector<KlGuid> added_;
};

}  // namespace kl::import
