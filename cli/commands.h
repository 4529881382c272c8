// The subcommands of the wux command. Each registers itself on the application and sets
// its own callback; a failing run ends in CLI::RuntimeError with the exit code.
#pragma once

#include <CLI/CLI.hpp>

namespace wux {

void AddInfoCommand(CLI::App& app);
void AddCheckCommand(CLI::App& app);
void AddExportCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
void AddDiffCommand(CLI::App& app);

}  // namespace wux
