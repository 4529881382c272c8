#include "model/material_chunk.h"

MaterialChunk::MaterialChunk(const char* materialName) : ChunkHeader("GMAT"), name(materialName) {}
