// What every wux command shares: its registration with -q/--quiet, -v/--verbose and examples,
// the one way its body fails (a ToolError, printed as "wux CMD: ..." and mapped to its exit
// code), and where it speaks: results on standard output; errors, warnings, progress and
// verbose notes on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "format/tool_error.h"

namespace wux {

enum class Verbosity { Quiet, Normal, Verbose };
Verbosity CurrentVerbosity();

// Adds the command with -q and -v, and a footer of examples ("wux export a.json a.wux").
CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::vector<std::string>& examples);
// -q/--quiet and -v/--verbose on this command (or on the whole tool).
void AddVerbosityFlags(CLI::App* app);
// Runs `body` when the command is chosen; a ToolError or an exception out of it becomes the
// message and the exit code. The body's own result is the code otherwise (0, or 1 for a
// negative answer).
void SetBody(CLI::App* command, std::function<int()> body);

// Range checks whose failure reads "--jobs must be 1 or more, not 0".
CLI::Validator AtLeast(double least);
CLI::Validator Between(double least, double most);

// An output named for what it is ("a PNG picture", {".png"}): refuses "-", as no stream makes
// sense for it, and a name with another extension, both as usage errors.
void CheckOutputName(const std::string& path, const std::vector<std::string>& extensions, const std::string& what);

// "wux CMD: text" on standard error, the progress line cleared first.
void PrintError(const std::string& text);
// "wux CMD: warning: text", unless quiet.
void Warn(const std::string& text);
// "wux CMD: text", only when verbose.
void Note(const std::string& text);
// Whether a command's summary of what it wrote is printed (not with -q).
bool ShowSummary();

// A progress line on standard error: only on a terminal and not with -q.
bool ProgressShown();
void ShowProgress(const std::string& text);
void ClearProgress();

// A one-line progress bar for long work on a terminal: files (or other units) done, failures,
// time left.
class ProgressBar {
public:
    // Draws on standard error, and only when it is a terminal.
    explicit ProgressBar(std::size_t total, std::string unit = "files");
    ~ProgressBar() { ClearProgress(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(std::size_t done, std::size_t failed);
    // Redraws with the last figures (the time left moves on).
    void Redraw();
    // Text after the figures, e.g. the file that has been running long; empty for none.
    void SetNote(std::string note) { note_ = std::move(note); }

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

// A failure as JSON, for the commands whose --json promises JSON either way:
// {"code": 2, "file": ..., "offset": N or null, "message": ...}.
nlohmann::ordered_json ErrorJson(const ToolError& error);
// With --json: the error on standard error, then `json` on standard output, and the error's
// exit code back; without, throws the error.
int FailWithJson(const ToolError& error, bool json, const nlohmann::ordered_json& shape);

// JSON on standard output. Names are the files' bytes; those that are not UTF-8 become U+FFFD.
template <typename Json>
void PrintJson(const Json& json) {
    std::cout << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

// text with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// The commands, each registered on the application with its own callback.
void AddInfoCommand(CLI::App& app);
void AddCheckCommand(CLI::App& app);
void AddExportCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
void AddDiffCommand(CLI::App& app);
void AddRenderCommand(CLI::App& app);
void AddViewCommand(CLI::App& app);

}  // namespace wux
