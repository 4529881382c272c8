#pragma once

#include <cstdint>

class ByteBuffer;

// Appends text (never null) as a padded string: a u32 P, the L characters, then P - L
// zero bytes (P as wux_file::PaddedLength gives it); returns 4 + P, the bytes written.
uint32_t WritePaddedString(ByteBuffer& out, const char* text);
