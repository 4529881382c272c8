#pragma once

#include <cstdint>
#include <cstring>

#include "format/wux_format.h"
#include "writer/byte_buffer.h"

// Appends text (never null) as a padded string: a u32 P, the L characters, then P - L
// zero bytes (P as wux_file::PaddedLength gives it); returns 4 + P, the bytes written.
inline uint32_t WritePaddedString(ByteBuffer& out, const char* text) {
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    const uint32_t padded = static_cast<uint32_t>(wux_file::PaddedLength(length));  // always at least one zero
    out.putU32(padded);
    out.putBytes(text, length);
    out.putZeros(padded - length);
    return 4 + padded;
}
