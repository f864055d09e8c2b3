// gyrolog-sim [--data DIR] [--plugin PATH] [SCRIPT]
// Loads the plugin into the simulated host and runs console lines.
#include "Session.h"

#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

int Usage() {
    std::cerr << "usage: gyrolog-sim [--data DIR] [--plugin PATH] [SCRIPT]\n"
                 "  --data DIR     the host's data folder (default: sim-data)\n"
                 "  --plugin PATH  the plugin library (default: the one built beside this)\n"
                 "  SCRIPT         console lines to run; standard input when absent\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path dataFolder = "sim-data";
    std::filesystem::path pluginPath = GYROLOG_PLUGIN_PATH;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--data" && i + 1 < argc) {
            dataFolder = argv[++i];
        } else if (arg == "--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
            script = arg;
        } else {
            return Usage();
        }
    }

    std::error_code error;
    std::filesystem::create_directories(dataFolder, error);
    sim::Host host(dataFolder);
    host.Output = [](const std::string& line) {
        std::cout << line << '\n';
    };
    sim::Session session(host, pluginPath);
    if (!session.LoadPlugin()) {
        return 1;
    }
    if (script.empty()) {
        session.Run(std::cin, isatty(STDIN_FILENO));
    } else {
        std::ifstream lines(script);
        if (!lines) {
            std::cerr << "gyrolog-sim: cannot open " << script << '\n';
            return 2;
        }
        session.Run(lines, false);
    }
    host.UnloadPlugin();
    std::cout.flush();
    return host.Errors().empty() ? 0 : 1;
}
