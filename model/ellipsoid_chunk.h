#pragma once

#include "model/chunk_header.h"

// The GELP record: centre and semi-axis lengths along the object's X, Y and Z axes.
struct EllipsoidChunk : ChunkHeader {
    float centre[3];
    float semiAxes[3];

    EllipsoidChunk(float cx, float cy, float cz, float sx, float sy, float sz);
};
