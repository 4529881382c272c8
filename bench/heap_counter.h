#pragma once

#include <cstdint>

// Counts the bytes allocated and freed through the global operator new and
// new[] of the whole process, the plug-in's and the host's included: this
// program replaces those operators, and a loaded library's calls bind to the
// program's. Sizes are the allocator's usable sizes, so the figure is what the
// heap really hands out. Counting is on only inside a HeapPeak section, so
// timed code outside one pays only a flag test per allocation.
namespace heap_counter {

// Starts counting from zero.
void Start();
// Stops counting; returns the highest net growth (allocated minus freed) seen
// since Start. Blocks freed in the section that were allocated before it count
// as released memory.
uint64_t Stop();

}  // namespace heap_counter

// The peak heap growth of a section: what it allocated through operator new
// beyond what was held when it began.
class HeapPeak {
public:
    void Begin() { heap_counter::Start(); }
    uint64_t End() const { return heap_counter::Stop(); }
};
