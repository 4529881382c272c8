#pragma once

#include <cstdint>

// Counts the bytes held through the global operator new and new[] of the whole
// process, the plug-in's and the host's included: this program replaces those
// operators, and a loaded library's calls bind to the program's. Sizes are the
// allocator's usable sizes, so the figure is what the heap really hands out.
namespace heap_counter {

uint64_t LiveBytes();
// Starts a new peak at the current live bytes.
void ResetPeak();
// The highest live bytes since the last ResetPeak.
uint64_t PeakBytes();

}  // namespace heap_counter

// The peak heap growth of a section: what it allocated through operator new
// beyond what was held when it began.
class HeapPeak {
public:
    void Begin() {
        heap_counter::ResetPeak();
        baseline_ = heap_counter::LiveBytes();
    }
    uint64_t End() const {
        uint64_t peak = heap_counter::PeakBytes();
        return peak > baseline_ ? peak - baseline_ : 0;
    }

private:
    uint64_t baseline_ = 0;
};
