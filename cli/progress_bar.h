// A one-line progress bar for long work on a terminal: files (or other units) done, failures,
// time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "cli/command.h"

namespace wux {

class ProgressBar {
public:
    // Draws on standard error, and only when it is a terminal.
    explicit ProgressBar(std::size_t total, std::string unit = "files");
    ~ProgressBar() { Clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(std::size_t done, std::size_t failed);
    // Redraws with the last figures (the time left moves on).
    void Redraw();
    // Text after the figures, e.g. the file that has been running long; empty for none.
    void SetNote(std::string note) { note_ = std::move(note); }
    // Takes the bar off the line so that other text can be printed there.
    void Clear() { ClearProgress(); }

    // "[#######.............]  12/48 files, 1 failed, about 0:23 left"
    static std::string Format(std::size_t done, std::size_t failed, std::size_t total, double elapsedSeconds,
                              std::size_t width, const std::string& unit = "files");

private:
    std::size_t total_;
    std::string unit_;
    std::string note_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace wux
