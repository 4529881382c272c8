#include "writer/padded_string.h"

#include <cstring>

#include "writer/byte_buffer.h"

uint32_t PaddedStringSize(uint32_t length) { return 4 + (4 * (length / 4) + 4); }

uint32_t WritePaddedString(ByteBuffer& out, const char* text) {
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    const uint32_t padded = 4 * (length / 4) + 4;  // always at least one zero byte
    out.putU32(padded);
    out.putBytes(text, length);
    out.putZeros(padded - length);
    return 4 + padded;
}
