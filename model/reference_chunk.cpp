#include "model/reference_chunk.h"

#include "format/wux_format.h"

ReferenceEntry::ReferenceEntry(const char* entryName) : name(entryName) {}

ReferenceChunk::ReferenceChunk() : ChunkHeader(wux_file::kReferenceTag), entries(new RecordList()) {}
