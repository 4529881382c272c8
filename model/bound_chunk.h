#pragma once

#include <memory>

#include "model/chunk_header.h"
#include "model/record_list.h"

// A bounding sphere: world-space centre and radius.
struct BoundSphere : ModelRecord {
    float x, y, z, radius;

    BoundSphere(float x, float y, float z, float radius);
};

// The single GBND record: the largest sphere so far and every other sphere.
struct BoundChunk : ChunkHeader {
    std::unique_ptr<BoundSphere> mainSphere;  // never null
    std::unique_ptr<RecordList> spheres;      // of BoundSphere

    // Main sphere at the origin with radius 0, then an empty list.
    BoundChunk();
    // Main sphere first, then the list.
    ~BoundChunk() override;
};
