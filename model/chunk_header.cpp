#include "model/chunk_header.h"

#include <cstring>

ChunkHeader::ChunkHeader(const char* tag) {
    std::memcpy(sign, tag, 4);
    sign[4] = '\0';
}
