#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "writer/byte_sink.h"

// Output buffer with explicit little-endian stores: every value is stored in
// file byte order, so the bytes never depend on the build machine's byte order.
//
// The buffer holds at most one block and hands each full block to the sink, so
// a large file is never held in memory; putBytes hands a run of a sixteenth of a
// block or more to the sink directly, without copying it.
//
// After the sink has failed once, further output is dropped: failed() tells.
class ByteBuffer {
public:
    static constexpr size_t kDefaultBlockSize = size_t{1} << 20;

    explicit ByteBuffer(ByteSink& sink, size_t blockSize = kDefaultBlockSize);
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Makes room for size more contiguous bytes and returns where they start;
    // the caller fills every one of them.
    uint8_t* room(size_t size) {
        if (size > capacity_ - used_) makeRoom(size);
        uint8_t* p = storage_.get() + used_;
        used_ += size;
        return p;
    }

    void putU32(uint32_t value) { store(room(4), value); }
    void putI32(int32_t value) { putU32(static_cast<uint32_t>(value)); }
    void putF32(float value) { storeF32(room(4), value); }
    void putTag(const char* tag) { std::memcpy(room(4), tag, 4); }  // four characters, no terminator
    void putBytes(const void* data, size_t size);
    void putZeros(size_t size) { std::memset(room(size), 0, size); }

    // Hands everything buffered to the sink; false once the sink has failed.
    bool flush();
    bool failed() const { return failed_; }

    // Bytes put since construction, flushed or not.
    uint64_t totalBytes() const { return flushed_ + used_; }
    // The most a single room() call takes without growing the block.
    size_t blockSize() const { return blockSize_; }
    // The smallest run that putBytes hands to the sink without buffering it.
    size_t directSize() const { return std::max<size_t>(blockSize_ / 16, 1); }

    // Stores an unsigned value of 2 or 4 bytes. On a little-endian machine a
    // value's own bytes are already in file order, so one plain store does. The
    // byte-by-byte form is kept for other machines: compilers do not merge it
    // into one store when the value was just loaded from the model, since a byte
    // store might alias that load, and the mesh arrays are the bulk of every
    // large file.
    template <typename Unsigned>
    static void store(uint8_t* p, Unsigned value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(p, &value, sizeof value);
#else
        for (size_t i = 0; i < sizeof value; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
#endif
    }
    // Stores value's IEEE-754 bit pattern, taken as a number (not as memory bytes).
    static void storeF32(uint8_t* p, float value) {
        static_assert(sizeof(float) == sizeof(uint32_t), "f32 fields need a 4-byte float");
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        store(p, bits);
    }

private:
    void makeRoom(size_t size);

    ByteSink* sink_;
    size_t blockSize_;
    std::unique_ptr<uint8_t[]> storage_;
    size_t capacity_;
    size_t used_ = 0;
    uint64_t flushed_ = 0;
    bool failed_ = false;
};
