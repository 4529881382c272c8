// The wux command: inspects, checks and writes WUX model files.
#include <exception>
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
    try {
        CLI::App app{"Reads, checks and writes WUX model files.", "wux"};
        app.set_version_flag("--version", std::string("wux ") + WUX_VERSION);
        app.require_subcommand(1);
        wux::AddInfoCommand(app);
        wux::AddCheckCommand(app);
        wux::AddExportCommand(app);
        wux::AddConvertCommand(app);
        wux::AddDiffCommand(app);
        CLI11_PARSE(app, argc, argv);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "wux: " << e.what() << "\n";
        return 2;
    }
}
