#include "cli/command.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <new>

#include "cli/exit_codes.h"
#include "format/tool_text.h"

namespace wux {
namespace {

Verbosity verbosity = Verbosity::Normal;
std::string commandName;  // the command running, for "wux CMD: "
bool progressOnLine = false;

std::string Prefix() { return commandName.empty() ? "wux: " : "wux " + commandName + ": "; }

constexpr std::size_t kBarWidth = 24;

std::string Clock(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

CLI::Validator RangeCheck(double least, double most, const std::string& words) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            double value = 0;
            if (!CLI::detail::lexical_cast(text, value)) return "must be a number, not \"" + text + "\"";
            return value >= least && value <= most ? std::string() : "must be " + words + ", not " + text;
        },
        "");
}

}  // namespace

Verbosity CurrentVerbosity() { return verbosity; }

void AddVerbosityFlags(CLI::App* app) {
    app->add_flag_callback("-q,--quiet", [] { verbosity = Verbosity::Quiet; },
                           "print only results and errors: no progress, warnings or summaries");
    app->add_flag_callback("-v,--verbose", [] { verbosity = Verbosity::Verbose; },
                           "also say what is done, step by step, on standard error");
}

CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::vector<std::string>& examples) {
    CLI::App* command = app.add_subcommand(name, description);
    AddVerbosityFlags(command);
    std::string footer = "Examples:";
    for (const std::string& example : examples) footer += "\n  " + example;
    command->footer(footer + "\n\nExit codes: see `wux help`.");
    return command;
}

void SetBody(CLI::App* command, std::function<int()> body) {
    const std::string name = command->get_name();
    command->callback([name, body] {
        commandName = name;
        int code = kExitFailed;
        try {
            code = body();
        } catch (const ToolError& error) {
            PrintError(error.Text());
            code = ExitCodeOf(error.kind);
            if (code == kExitUsage) std::cerr << "Run 'wux help " << name << "' for the options and examples.\n";
        } catch (const std::bad_alloc&) {
            PrintError("out of memory");
        } catch (const CLI::Error&) {
            throw;
        } catch (const std::exception& e) {
            PrintError(e.what());
        }
        if (code != kExitOk) throw CLI::RuntimeError(code);
    });
}

CLI::Validator AtLeast(double least) {
    return RangeCheck(least, std::numeric_limits<double>::infinity(), ShortestNumber(least) + " or more");
}

CLI::Validator Between(double least, double most) {
    return RangeCheck(least, most, "from " + ShortestNumber(least) + " to " + ShortestNumber(most));
}

void CheckOutputName(const std::string& path, const std::vector<std::string>& extensions, const std::string& what) {
    if (path == "-")
        ThrowToolError(ToolError::Kind::Argument, "", what + " cannot go to standard output ('-'); give a file name");
    // A pipe or a device already there (/dev/null) is what the user chose to write to.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
        return;
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) return;
    std::string names;
    for (std::size_t i = 0; i < extensions.size(); ++i)
        names += (i == 0 ? "" : i + 1 == extensions.size() ? " or " : ", ") + extensions[i];
    ThrowToolError(ToolError::Kind::Argument, path, "the output is " + what + ", so its name must end in " + names);
}

void PrintError(const std::string& text) {
    ClearProgress();
    std::cerr << Prefix() << text << "\n" << std::flush;
}

void Warn(const std::string& text) {
    if (verbosity != Verbosity::Quiet) PrintError("warning: " + text);
}

void Note(const std::string& text) {
    if (verbosity == Verbosity::Verbose) PrintError(text);
}

bool ShowSummary() { return verbosity != Verbosity::Quiet; }

bool ProgressShown() {
    static const bool tty = isatty(STDERR_FILENO) != 0;
    return tty && verbosity != Verbosity::Quiet;
}

void ShowProgress(const std::string& text) {
    if (!ProgressShown()) return;
    std::cerr << "\r\033[K" << text << std::flush;
    progressOnLine = true;
}

void ClearProgress() {
    if (!progressOnLine) return;
    std::cerr << "\r\033[K" << std::flush;
    progressOnLine = false;
}

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

nlohmann::ordered_json ErrorJson(const ToolError& error) {
    return {{"code", ExitCodeOf(error.kind)},
            {"file", error.file},
            {"offset", error.offset ? nlohmann::ordered_json(*error.offset) : nlohmann::ordered_json(nullptr)},
            {"message", error.place.empty() ? error.message : error.place + ": " + error.message}};
}

int FailWithJson(const ToolError& error, bool json, const nlohmann::ordered_json& shape) {
    if (!json) throw error;
    PrintError(error.Text());
    PrintJson(shape);
    return ExitCodeOf(error.kind);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace wux
