#include "model/ellipsoid_chunk.h"

EllipsoidChunk::EllipsoidChunk(float cx, float cy, float cz, float sx, float sy, float sz)
    : ChunkHeader("GELP"), centre{cx, cy, cz}, semiAxes{sx, sy, sz} {}
