#include "cli/progress_bar.h"

#include <cmath>
#include <cstdio>

#include "cli/command.h"

namespace wux {
namespace {

constexpr std::size_t kBarWidth = 24;

std::string Clock(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::size_t total, std::string unit)
    : total_(total), unit_(std::move(unit)), start_(std::chrono::steady_clock::now()) {}

std::string ProgressBar::Format(std::size_t done, std::size_t failed, std::size_t total, double elapsedSeconds,
                                std::size_t width, const std::string& unit) {
    const std::size_t filled = total == 0 ? width : done * width / total;
    std::string line = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
                       std::to_string(done) + "/" + std::to_string(total) + " " + unit;
    if (failed > 0) line += ", " + std::to_string(failed) + " failed";
    // The time left is only a guess once a file has taken its time.
    if (done > 0 && done < total) line += ", about " + Clock(elapsedSeconds / done * (total - done)) + " left";
    return line;
}

void ProgressBar::Update(std::size_t done, std::size_t failed) {
    done_ = done;
    failed_ = failed;
    Redraw();
}

void ProgressBar::Redraw() {
    if (!ProgressShown()) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    ShowProgress(Format(done_, failed_, total_, elapsed, kBarWidth, unit_) + (note_.empty() ? "" : "; " + note_));
}

}  // namespace wux
