// wux check FILE: every rule of the WUX layout. Valid (warnings allowed) is 0, invalid 1.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/exit_codes.h"
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

int RunCheck(const CheckOptions& options) {
    MappedFile file;
    CheckReport report;
    ToolResult<void> read = file.Open(options.path);
    if (read.Ok()) {
        report = CheckWux(file.Span(), options.maxProblems);
        read = file.Intact();  // cut short while it was read
    }
    if (!read.Ok())
        return FailWithJson(read.Error(), options.json, UnreadableCheckJson(options.path, read.Error().message));
    const int code = report.Valid() ? kExitOk : kExitNo;
    if (options.json) {
        PrintJson(CheckJson(options.path, report));
        return code;
    }
    // Quiet keeps the errors and the verdict; the warnings are left out.
    CheckReport shown = report;
    if (CurrentVerbosity() == Verbosity::Quiet)
        shown.problems.erase(std::remove_if(shown.problems.begin(), shown.problems.end(),
                                            [](const Problem& p) { return p.severity != Problem::Severity::Error; }),
                             shown.problems.end());
    std::cout << FormatReport(shown);
    std::cout << options.path << ": " << (report.Valid() ? "valid" : "invalid") << " ("
              << Plural(report.errorCount, "error", "errors") << ", "
              << Plural(report.warningCount, "warning", "warnings") << ")\n";
    return code;
}

}  // namespace

void AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = AddCommand(app, "check", "Check a WUX file against every rule of the format",
                                   {"wux check scene.wux", "wux check scene.wux --json --max-problems 10"});
    command->add_option("file", options->path, "the WUX file")->required();
    command->add_option("--max-problems", options->maxProblems, "list at most this many problems")
        ->capture_default_str()
        ->check(AtLeast(1));
    command->add_flag("--json", options->json,
                      "print the result as one JSON object: file, valid, errors and warnings (offset, where, message)");
    SetBody(command, [options] { return RunCheck(*options); });
}

}  // namespace wux
