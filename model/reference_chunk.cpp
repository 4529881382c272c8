#include "model/reference_chunk.h"

ReferenceEntry::ReferenceEntry(const char* entryName) : name(entryName) {}

ReferenceChunk::ReferenceChunk() : ChunkHeader("GREF"), entries(new RecordList()) {}
