#pragma once

#include <memory>
#include <string>

#include "model/chunk_header.h"
#include "model/record_list.h"

// One helper object: its name, a 4 x 4 matrix (rows 0-2 the unit axes, row 3 the
// reference position; the fourth column all 0) and its half lengths along X, Y, Z.
struct ReferenceEntry : ModelRecord {
    std::string name;
    float transform[4][4];
    float halfExtents[3];

    explicit ReferenceEntry(const char* name);
};

// The single GREF record; owns the list of ReferenceEntry records.
struct ReferenceChunk : ChunkHeader {
    std::unique_ptr<RecordList> entries;

    ReferenceChunk();
};
