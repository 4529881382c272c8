// wux export INPUT... --out-dir DIR: converts files and folders of files in parallel, in
// supervised workers (one per job slot) under the same rules as a single export, goes on
// past failures, prints one line per failure and a summary, and writes one report with an
// entry per input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/export_command.h"
#include "cli/worker_process.h"

namespace wux {

struct BatchOptions {
    std::vector<std::string> inputs;  // files and folders
    std::string outDir;
    std::size_t jobs = 0;  // 0: one per core
    WorkerLimits limits;
    ExportOptions common;  // the options every export shares; its report is the batch's report
};

// 0 when every input was converted, 1 when any failed, 128 + the signal when interrupted;
// throws a ToolError when the batch cannot start (the plug-in, its folder, its report, no inputs).
int RunBatchExport(const BatchOptions& options);

}  // namespace wux
