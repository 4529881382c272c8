// What one export is asked to do, and the export itself as it runs inside one process.
#pragma once

#include <string>

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
};

// One export in this process: prints its summary, or "wux export: " and its failure, and
// returns the exit code. The command runs it in a worker process.
int ExportInProcess(const ExportOptions& options);

}  // namespace wux
