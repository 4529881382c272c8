// The commands that read WUX files and answer in text, or with --json in JSON:
// wux info FILE [--json]: what the file holds.
// wux check FILE [--max-problems N] [--json]: every rule of the WUX layout. Valid (warnings
// allowed) is 0, invalid 1.
// wux diff A B [--tolerance T] [--json]: two WUX files compared as models. Equal is 0,
// different 1.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "convert/model_diff.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "format/wux_checker.h"
#include "format/wux_info.h"

namespace wux {
namespace {

// What the three take: the WUX file (diff: A and B), each one's own option, and --json.
struct InspectOptions {
    std::string path, pathB;
    std::size_t maxProblems = kDefaultMaxProblems;  // check
    double tolerance = 1e-5;                        // diff
    bool json = false;
};

int RunInfo(const InspectOptions& options) {
    const ToolResult<WuxDocument> read = OpenWux(options.path);
    if (!read.Ok())
        return FailWithJson(read.Error(), options.json, {{"file", options.path}, {"error", ErrorJson(read.Error())}});
    if (options.json) {
        std::cout << DumpInfoJson(InfoJson(*read)) << "\n";
    } else {
        std::cout << options.path << "\n" << InfoText(*read);
    }
    return 0;
}

int RunCheck(const InspectOptions& options) {
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
    std::cout << FormatReport(shown) << options.path << ": " << (report.Valid() ? "valid" : "invalid") << " ("
              << Plural(report.errorCount, "error", "errors") << ", "
              << Plural(report.warningCount, "warning", "warnings") << ")\n";
    return code;
}

int RunDiff(const InspectOptions& options) {
    ToolResult<WuxDocument> a = OpenWux(options.path);
    ToolResult<WuxDocument> b = a.Ok() ? OpenWux(options.pathB) : ToolResult<WuxDocument>(a.Error());
    if (!b.Ok())
        return FailWithJson(b.Error(), options.json,
                            {{"a", options.path}, {"b", options.pathB}, {"error", ErrorJson(b.Error())}});
    DiffOptions diffOptions;
    diffOptions.tolerance = options.tolerance;
    const DiffReport report = DiffModels(*a, *b, diffOptions);
    if (options.json) {
        PrintJson(DiffJson(report, options.path, options.pathB));
    } else {
        std::cout << FormatDiffText(report, options.path, options.pathB);
    }
    return report.Equal() ? kExitOk : kExitNo;
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    auto options = std::make_shared<InspectOptions>();
    CLI::App* command = AddCommand(app, "info",
                                   "Show what a WUX file holds: header counts, materials, meshes, spheres, ellipsoid "
                                   "and reference entries",
                                   {"wux info scene.wux", "wux info scene.wux --json"});
    command->add_option("file", options->path, "the WUX file")->required();
    command->add_flag("--json", options->json,
                      "print JSON instead of text; a failure is JSON too: {\"file\", \"error\": {\"code\", \"file\", "
                      "\"offset\", \"message\"}}");
    SetBody(command, [options] { return RunInfo(*options); });
}

void AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<InspectOptions>();
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

void AddDiffCommand(CLI::App& app) {
    auto options = std::make_shared<InspectOptions>();
    CLI::App* command = AddCommand(app, "diff",
                                   "Compare two WUX files as models: header counts, materials by name, meshes corner "
                                   "by corner, spheres, ellipsoid and reference entries",
                                   {"wux diff a.wux b.wux", "wux diff a.wux b.wux --tolerance 1e-4 --json"});
    command->add_option("a", options->path, "the first WUX file")->required();
    command->add_option("b", options->pathB, "the second WUX file")->required();
    command->add_option("--tolerance", options->tolerance,
                        "numbers within T times their size (T itself below 1) are equal")
        ->capture_default_str()
        ->check(AtLeast(0));
    command->add_flag("--json", options->json,
                      "print JSON instead of text; a failure is JSON too: {\"a\", \"b\", \"error\": {\"code\", "
                      "\"file\", \"offset\", \"message\"}}");
    SetBody(command, [options] { return RunDiff(*options); });
}

}  // namespace wux
