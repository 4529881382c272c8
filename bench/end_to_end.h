// The end-to-end benchmark: the whole `wux export INPUT OUTPUT.wux` command against
// Assimp's own converter (`assimp export INPUT OUT.ply -fplyb`) and against Assimp's import
// alone, each a separate process, timed by wall clock with its peak resident set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct EndToEndOptions {
    std::string wux;          // the wux command
    std::string assimp;       // the assimp command
    std::string self;         // this program, run with --import-only for the import alone
    std::string folder;       // for the inputs and outputs
    int64_t triangles = 1000000;  // of each generated input
    int runs = 3;             // per command and input; medians are shown
    std::vector<std::string> modelFolders;  // real files of at least minModelTriangles are added
    int64_t minModelTriangles = 10000;
    bool keepFiles = false;
};

// Prints the table and the verdicts; returns false when an input could not be made or a
// command failed on a generated input.
bool RunEndToEnd(const EndToEndOptions& options);

// The child side of the import-alone figure: reads path as Assimp's converter does
// (triangulated, sorted by primitive type) and prints "triangles N". Exit 0 when read.
int RunImportOnly(const std::string& path);
