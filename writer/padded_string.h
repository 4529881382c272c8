#pragma once

#include <cstdint>

class ByteBuffer;

// Length of a padded string field for a text of length L: a u32 P, the L
// characters, then P - L zero bytes, where P = 4 * (L / 4) + 4.
uint32_t PaddedStringSize(uint32_t length);

// Appends text (never null) as a padded string; returns 4 + P, the bytes written.
uint32_t WritePaddedString(ByteBuffer& out, const char* text);
