// The export pipeline, the same for `wux export INPUT OUTPUT` and for each file of a batch:
// read the scene, build it in the stand-in host, have the plug-in write it, read the file
// back (and check it with --verify), then put OUTPUT, its embedded textures and the report
// in place together (writer/staged_files.h). The command runs it in this process for a JSON
// scene and in a supervised worker (cli/worker_process.h) for anything a library imports.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/worker_process.h"
#include "driver/plugin_loader.h"
#include "input/mesh_normals.h"

namespace wux {

struct ExportOptions {
    std::string input;
    std::string output;
    std::string upText = "auto";          // auto, y or z
    std::string helpersText = "markers";  // markers, all or none
    std::string report;
    float smoothAngle = kDefaultSmoothAngleDegrees;
    bool verify = false;
    std::string plugin;
    bool syncEachFile = true;  // false in a batch, which syncs its folders once at its end
};

// Finds and loads the plug-in (--plugin, or where LocatePlugin looks); throws its ToolError.
void LoadPlugin(const std::string& explicitPath, PluginLibrary* plugin);

// One export in this process by the loaded plug-in: prints its summary and warnings, or
// "wux export: " and its failure, and returns the exit code.
int ExportScene(const ExportOptions& options, PluginLibrary* plugin);

// wux export INPUT... --out-dir DIR (cli/batch_export.cpp): converts files and folders of files
// in parallel, in supervised workers (one per job slot) under the same rules as a single
// export, goes on past failures, prints one line per failure and a summary, and writes one
// report with an entry per input.
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
