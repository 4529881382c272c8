// The end-to-end benchmark: the whole `wux export INPUT OUTPUT.wux` command against
// Assimp's own converter (`assimp export INPUT OUT.ply -fplyb`), each a separate process,
// judged by processor time (children included) and peak resident set.
#pragma once

#include <cstdint>
#include <string>

struct EndToEndOptions {
    std::string wux;          // the wux command
    std::string baseline;     // an older wux to print beside it ("today"); empty for none
    std::string assimp;       // the assimp command
    std::string folder;       // for the inputs and outputs
    int64_t triangles = 1000000;       // of each generated input
    int64_t largeTriangles = 16000000; // of the PLY that shows growth (0 skips it)
    int runs = 3;             // per command and input; medians are shown
    bool keepFiles = false;
};

// Prints the table and the verdicts; returns false when an input could not be made or a
// command failed.
bool RunEndToEnd(const EndToEndOptions& options);
