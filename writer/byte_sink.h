#pragma once

#include <cstddef>
#include <cstdint>

// Where a ByteBuffer hands its full blocks: a file, or memory in tests.
class ByteSink {
public:
    virtual ~ByteSink();
    // Writes all size bytes, or returns false.
    virtual bool write(const uint8_t* data, size_t size) = 0;
};
