#include "model/ellipsoid_chunk.h"

#include "format/wux_format.h"

EllipsoidChunk::EllipsoidChunk(float cx, float cy, float cz, float sx, float sy, float sz)
    : ChunkHeader(wux_file::kEllipsoidTag), centre{cx, cy, cz}, semiAxes{sx, sy, sz} {}
