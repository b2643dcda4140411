#pragma once
// Command line of kartolink-workbench.
#include <optional>
#include <string>
#include <vector>

namespace kl::host {

struct CommandLine {
    bool headless = false;
    bool stdinQuit = false;
    bool demo = false;
    bool withAddon = true;
    std::string addonPath;  // empty: the default next to the executable
    int port = 0;
    std::string openPath;  // a project file to start with; empty: an empty project
};

// nullopt with a message on a bad command line.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);
// $KL_WORKBENCH_ADDON, else the add-on in the build tree beside the executable.
std::string defaultAddonPath();
// $KL_DEMO_GEOPORTAL, else the local geoportal of the build tree.
std::string demoGeoportalPath();
const char* usageText();

}  // namespace kl::host
