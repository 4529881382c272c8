// The wux command: inspects, checks and writes WUX model files.
#include <exception>
#include <iostream>
#include <new>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/out_of_memory.h"

int main(int argc, char** argv) {
    wux::ExitOnUncaughtOutOfMemory();
    try {
        CLI::App app{"Reads, checks and writes WUX model files.", "wux"};
        app.set_version_flag("--version", std::string("wux ") + WUX_VERSION);
        app.require_subcommand(1);
        wux::AddInfoCommand(app);
        wux::AddCheckCommand(app);
        wux::AddExportCommand(app);
        wux::AddConvertCommand(app);
        wux::AddDiffCommand(app);
        wux::AddRenderCommand(app);
        wux::AddViewCommand(app);
        CLI11_PARSE(app, argc, argv);
        return 0;
    } catch (const std::bad_alloc&) {
        std::cerr << "wux: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "wux: " << e.what() << "\n";
        return 2;
    }
}
