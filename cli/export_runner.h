// How `wux export` runs: one export, or many with --out-dir, each in a supervised worker
// process (--timeout, --memory-limit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/export_options.h"
#include "cli/worker_process.h"

namespace wux {

struct ExportRunnerOptions {
    std::vector<std::string> paths;  // INPUT OUTPUT, or with outDir the inputs
    std::string outDir;
    std::size_t jobs = 0;  // 0: one per core
    double timeoutSeconds = kDefaultTimeoutSeconds;
    std::uint64_t memoryMiB = DefaultWorkerMemoryBytes() >> 20;
};

// The positional paths, --out-dir, --jobs, --timeout and --memory-limit.
void AddExportRunnerOptions(CLI::App* command, ExportRunnerOptions* options);

// Runs the command; returns its exit code.
int RunExportCommand(const ExportOptions& options, const ExportRunnerOptions& runner);

// The folders where an export of these options creates files, for the leftovers of a
// worker that died.
std::vector<std::string> ExportFolders(const ExportOptions& options);

}  // namespace wux
