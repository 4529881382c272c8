#include "model/bound_chunk.h"

#include "format/wux_format.h"

BoundSphere::BoundSphere(float cx, float cy, float cz, float r) : x(cx), y(cy), z(cz), radius(r) {}

BoundChunk::BoundChunk()
    : ChunkHeader(wux_file::kBoundTag), mainSphere(new BoundSphere(0.0f, 0.0f, 0.0f, 0.0f)), spheres(new RecordList()) {}

BoundChunk::~BoundChunk() {
    mainSphere.reset();
    spheres.reset();
}
