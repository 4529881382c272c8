// Placeholder for wux export until the exporting side is built.
#include <iostream>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace wux {

void AddExportCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand("export", "Export a scene to a WUX file (not available yet)");
    command->allow_extras();
    command->callback([] {
        std::cerr << "wux export: not available yet\n";
        throw CLI::RuntimeError(2);
    });
}

}  // namespace wux
