// wux check FILE: every rule of the WUX layout. Exit codes: 0 valid (warnings allowed),
// 1 invalid, 2 the file cannot be read.
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "cli/commands.h"
#include "format/check_json.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "format/wux_checker.h"

namespace wux {
namespace {

struct CheckOptions {
    std::string path;
    std::size_t maxProblems = kDefaultMaxProblems;
    bool json = false;
};

// Names are the file's bytes; those that are not UTF-8 become U+FFFD.
void PrintJson(const nlohmann::ordered_json& json) {
    std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

int RunCheck(const CheckOptions& options) {
    MappedFile file;
    if (const ToolResult<void> opened = file.Open(options.path); !opened.Ok()) {
        std::cerr << "wux check: " << opened.Error().Text() << "\n";
        if (options.json) PrintJson(UnreadableCheckJson(options.path, opened.Error().message));
        return 2;
    }
    const CheckReport report = CheckWux(file.Span(), options.maxProblems);
    if (const ToolResult<void> intact = file.Intact(); !intact.Ok()) {
        std::cerr << "wux check: " << intact.Error().Text() << "\n";
        if (options.json) PrintJson(UnreadableCheckJson(options.path, intact.Error().message));
        return 2;
    }
    if (options.json) {
        PrintJson(CheckJson(options.path, report));
        return report.Valid() ? 0 : 1;
    }
    std::cout << FormatReport(report);
    std::cout << options.path << ": " << (report.Valid() ? "valid" : "invalid") << " ("
              << Plural(report.errorCount, "error", "errors") << ", "
              << Plural(report.warningCount, "warning", "warnings") << ")\n";
    return report.Valid() ? 0 : 1;
}

}  // namespace

void AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand("check", "Check a WUX file against every rule of the format");
    command->add_option("file", options->path, "the WUX file")->required();
    command->add_option("--max-problems", options->maxProblems, "list at most this many problems")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    command->add_flag("--json", options->json,
                      "print the result as one JSON object: file, valid, errors and warnings (offset, where, message)");
    command->footer("Exit codes: 0 valid, 1 invalid, 2 the file cannot be read.");
    command->callback([options] {
        int code = 2;
        try {
            code = RunCheck(*options);
        } catch (const std::bad_alloc&) {
            std::cerr << "wux check: " << QuotedPath(options->path) << ": out of memory\n";
        }
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
