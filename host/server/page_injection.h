#pragma once
// What the workbench puts in front of a palette page so that it behaves as
// inside the host's browser control: the registered script objects, whose
// functions post their argument to the add-on, and a stream that runs the
// scripts the add-on executes in the page.
#include <string>
#include <utility>
#include <vector>

namespace kl::host {

std::string browserScript(const std::string& channelBase,
                          const std::vector<std::pair<std::string, std::string>>& objects);

// Puts `script` (an inline <script> element) before anything else of the
// page, behind the doctype so the page keeps its rendering mode.
std::string injectIntoHtml(const std::string& html, const std::string& script);

}  // namespace kl::host
