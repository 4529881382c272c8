#include "writer/byte_buffer.h"

ByteSink::~ByteSink() = default;

ByteBuffer::ByteBuffer(ByteSink& sink, size_t blockSize)
    : sink_(&sink),
      blockSize_(std::max<size_t>(blockSize, 64)),
      storage_(new uint8_t[blockSize_]),
      capacity_(blockSize_) {}

void ByteBuffer::makeRoom(size_t size) {
    flush();
    // A request larger than a block (tests use blocks of a few dozen bytes) gets a block of its size.
    if (size > capacity_) {
        storage_.reset(new uint8_t[size]);
        capacity_ = size;
    }
}

void ByteBuffer::putBytes(const void* data, size_t size) {
    if (size < directSize()) {
        std::memcpy(room(size), data, size);
        return;
    }
    // Copying a large run into the block first would only pass over every
    // byte once more: what is buffered goes first, then the run itself.
    flush();
    if (!failed_ && !sink_->write(static_cast<const uint8_t*>(data), size)) failed_ = true;
    flushed_ += size;
}

bool ByteBuffer::flush() {
    if (used_ != 0 && !failed_ && !sink_->write(storage_.get(), used_)) failed_ = true;
    flushed_ += used_;
    used_ = 0;
    return !failed_;
}
