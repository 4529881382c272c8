#pragma once

#include <cstdint>
#include <string>

#include "model/chunk_header.h"

// One enabled texture-map slot of a material.
struct MaterialMap {
    int32_t channel = 0;   // the material's own map slot, 0 to 11
    std::string fileName;  // the bitmap's file name without its folder
    float amount = 0.0f;
};

// One GMAT record per distinct material name.
struct MaterialChunk : ChunkHeader {
    static constexpr int kMaxMaps = 12;
    static constexpr int kColourWords = 19;

    std::string name;
    float colourBlock[kColourWords];  // filled by the material collector
    int32_t mapCount = 0;             // slots 0 .. mapCount - 1 of maps are in use
    MaterialMap maps[kMaxMaps];

    explicit MaterialChunk(const char* name);
};
