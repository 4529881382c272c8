#include "model/material_chunk.h"

#include "format/wux_format.h"

MaterialChunk::MaterialChunk(const char* materialName) : ChunkHeader(wux_file::kMaterialTag), name(materialName) {}
