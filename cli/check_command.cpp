// wux check FILE: every rule of the WUX layout. Exit codes: 0 valid (warnings allowed),
// 1 invalid, 2 the file cannot be read.
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "format/file_bytes.h"
#include "format/wux_checker.h"

namespace wux {
namespace {

struct CheckOptions {
    std::string path;
    std::size_t maxProblems = kDefaultMaxProblems;
};

int RunCheck(const CheckOptions& options) {
    const FileBytes file = LoadFileBytes(options.path);
    if (!file.ok) {
        std::cerr << "wux check: " << options.path << ": " << file.error << "\n";
        return 2;
    }
    const CheckReport report = CheckWux(ByteSpan{file.bytes.data(), file.bytes.size()}, options.maxProblems);
    std::cout << FormatReport(report);
    std::cout << options.path << ": " << (report.Valid() ? "valid" : "invalid") << " (" << report.errorCount
              << (report.errorCount == 1 ? " error, " : " errors, ") << report.warningCount
              << (report.warningCount == 1 ? " warning)" : " warnings)") << "\n";
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
    command->footer("Exit codes: 0 valid, 1 invalid, 2 the file cannot be read.");
    command->callback([options] {
        if (const int code = RunCheck(*options)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
