#include "writer/byte_buffer.h"

#include <algorithm>
#include <utility>

ByteSink::~ByteSink() = default;

namespace {
constexpr size_t kInitialMemoryCapacity = 4096;
}

ByteBuffer::ByteBuffer() : blockSize_(kDefaultBlockSize) {}

ByteBuffer::ByteBuffer(ByteSink& sink, size_t blockSize)
    : sink_(&sink),
      blockSize_(std::max<size_t>(blockSize, 64)),
      storage_(new uint8_t[blockSize_]),
      capacity_(blockSize_) {}

void ByteBuffer::makeRoom(size_t size) {
    if (sink_ != nullptr) {
        flush();
        if (size <= capacity_) return;
    }
    // Memory-only buffer (or an oversized request): grow geometrically.
    size_t wanted = std::max({used_ + size, capacity_ * 2, kInitialMemoryCapacity});
    std::unique_ptr<uint8_t[]> bigger(new uint8_t[wanted]);
    if (used_ != 0) std::memcpy(bigger.get(), storage_.get(), used_);
    storage_ = std::move(bigger);
    capacity_ = wanted;
}

void ByteBuffer::putBytes(const void* data, size_t size) {
    const uint8_t* from = static_cast<const uint8_t*>(data);
    if (sink_ != nullptr && size >= directSize()) {
        // Copying a large run into the block first would only pass over every
        // byte once more: what is buffered goes first, then the run itself.
        flush();
        if (!failed_ && !sink_->write(from, size)) failed_ = true;
        flushed_ += size;
        return;
    }
    while (size != 0) {
        size_t piece = sink_ != nullptr ? std::min(size, blockSize_) : size;
        std::memcpy(room(piece), from, piece);
        from += piece;
        size -= piece;
    }
}

void ByteBuffer::putZeros(size_t size) {
    while (size != 0) {
        size_t piece = sink_ != nullptr ? std::min(size, blockSize_) : size;
        std::memset(room(piece), 0, piece);
        size -= piece;
    }
}

bool ByteBuffer::flush() {
    if (sink_ == nullptr) return true;
    if (used_ != 0 && !failed_ && !sink_->write(storage_.get(), used_)) failed_ = true;
    flushed_ += used_;
    used_ = 0;
    return !failed_;
}
