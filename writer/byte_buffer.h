#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A growable byte buffer with explicit little-endian stores: values are shifted
// out byte by byte, so the bytes never depend on the build machine's byte order.
class ByteBuffer {
public:
    static_assert(sizeof(float) == 4, "f32 fields need a 4-byte float");

    explicit ByteBuffer(size_t reserveBytes = 0) { bytes_.reserve(reserveBytes); }

    void putU8(uint8_t value) { bytes_.push_back(value); }

    void putU16(uint16_t value) {
        uint8_t* p = grow(2);
        storeU16(p, value);
    }

    void putU32(uint32_t value) {
        uint8_t* p = grow(4);
        storeU32(p, value);
    }

    void putI32(int32_t value) { putU32(static_cast<uint32_t>(value)); }

    void putF32(float value) { putU32(floatBits(value)); }

    void putBytes(const void* data, size_t size) {
        if (size == 0) return;
        uint8_t* p = grow(size);
        std::memcpy(p, data, size);
    }

    void putZeros(size_t size) {
        if (size == 0) return;
        uint8_t* p = grow(size);
        std::memset(p, 0, size);
    }

    // Four tag characters, no terminator.
    void putTag(const char* tag) { putBytes(tag, 4); }

    // Makes room for size more bytes and returns where they start; the caller
    // fills them with the store functions below. Used by tight array loops.
    uint8_t* grow(size_t size) {
        size_t old = bytes_.size();
        bytes_.resize(old + size);
        return bytes_.data() + old;
    }

    static void storeU16(uint8_t* p, uint16_t value) {
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
    }

    static void storeU32(uint8_t* p, uint32_t value) {
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        p[3] = static_cast<uint8_t>(value >> 24);
    }

    static void storeF32(uint8_t* p, float value) { storeU32(p, floatBits(value)); }

    static uint32_t floatBits(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);  // reinterpret the IEEE-754 bits, not bytes
        return bits;
    }

    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    void clear() { bytes_.clear(); }

private:
    std::vector<uint8_t> bytes_;
};
