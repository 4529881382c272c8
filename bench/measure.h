#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Wall-clock stopwatch on the monotonic clock.
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

// The middle value (the mean of the two middle ones for an even count); 0 when empty.
double Median(std::vector<double> values);

// The processor time the process has used so far, user and system, in seconds.
double ProcessCpuSeconds();

// Measures how far the process's resident set grows above where it stood when
// Begin was called. The kernel keeps the high-water mark (VmHWM); Begin hands
// all freed heap pages back to the system (so a section cannot hide its growth
// in pages an earlier one left resident) and then resets that mark to the
// current resident size, so End - Begin is the peak growth of the section.
class PeakMemory {
public:
    // False when /proc/self/clear_refs cannot be written (old kernel, sandbox).
    static bool Supported();

    void Begin();
    // Peak growth in bytes since Begin (0 if the figures cannot be read).
    uint64_t End() const;

private:
    uint64_t baseline_ = 0;
};

// Reads one "Name:   123 kB" line of /proc/self/status, in bytes; 0 if missing.
uint64_t ReadProcStatusBytes(const std::string& field);
