#pragma once

#include "Host.h"

#include <filesystem>
#include <iosfwd>
#include <string>

namespace sim {

// The host session runner: console lines from a script, with the host-only
// sim_ commands that drive the simulated game.
class Session {
public:
    Session(Host& host, std::filesystem::path pluginPath);

    bool LoadPlugin();
    // Echoes and runs every line; a prompt is shown before each when asked.
    void Run(std::istream& lines, bool prompt);
    void RunLine(const std::string& line);

    static std::string FormatFloat(float value); // "%.9g"
    static std::string TraceLine(uint64_t tick, const ControllerInput& input);
    static std::string StateLine(const char* what, const Actor* actor);

private:
    void RegisterCommands();
    void RegisterUiCommands();
    void Command(const std::string& name, size_t minArgs, size_t maxArgs, const char* usage,
                 std::function<void(const std::vector<std::string>&)> run);
    void PrintParting(const std::string& a, const std::string& b);
    bool ParseControls(const std::vector<std::string>& args, size_t from, ControllerInput& input);

    Host& host_;
    std::filesystem::path pluginPath_;
};

} // namespace sim
