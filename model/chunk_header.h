#pragma once

#include "model/model_record.h"

// The head of every chunk record: its four-character tag and a terminating zero.
struct ChunkHeader : ModelRecord {
    char sign[5];

    // Copies exactly four characters of tag.
    explicit ChunkHeader(const char* tag);
};
