#include "bench/heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Single-threaded use is enough here (the exporter runs on one thread), but
// atomics keep the counts sane should a library allocate from another thread.
std::atomic<bool> counting{false};
std::atomic<int64_t> net{0};
std::atomic<int64_t> peak{0};

void* Counted(void* block) {
    if (block == nullptr || !counting.load(std::memory_order_relaxed)) return block;
    const int64_t size = static_cast<int64_t>(malloc_usable_size(block));
    const int64_t now = net.fetch_add(size, std::memory_order_relaxed) + size;
    int64_t highest = peak.load(std::memory_order_relaxed);
    while (now > highest && !peak.compare_exchange_weak(highest, now, std::memory_order_relaxed)) {
    }
    return block;
}

void Release(void* block) {
    if (block == nullptr) return;
    if (counting.load(std::memory_order_relaxed))
        net.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

void* Allocate(std::size_t size) {
    for (;;) {
        if (void* block = Counted(std::malloc(size == 0 ? 1 : size))) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    std::size_t align = static_cast<std::size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);
    for (;;) {
        void* block = nullptr;
        if (posix_memalign(&block, align, size == 0 ? 1 : size) == 0) return Counted(block);
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

namespace heap_counter {

void Start() {
    counting.store(false);
    net.store(0);
    peak.store(0);
    counting.store(true);
}

uint64_t Stop() {
    counting.store(false);
    const int64_t highest = peak.load();
    return highest > 0 ? static_cast<uint64_t>(highest) : 0;
}

}  // namespace heap_counter

// The replaceable global allocation functions, all of them, so that no form
// bypasses the count (a block freed by a form not replaced would be miscounted).
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    try {
        return AllocateAligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    try {
        return AllocateAligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
