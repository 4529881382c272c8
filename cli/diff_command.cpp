// wux diff A B [--tolerance T] [--json]: two WUX files compared as models. Equal is 0,
// different 1.
#include <iostream>
#include <memory>
#include <string>

#include "convert/model_diff.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "format/mapped_file.h"

namespace wux {
namespace {

struct DiffCommandOptions {
    std::string pathA, pathB;
    double tolerance = 1e-5;
    bool json = false;
};

int RunDiff(const DiffCommandOptions& options) {
    ToolResult<WuxDocument> a = OpenWux(options.pathA);
    ToolResult<WuxDocument> b = a.Ok() ? OpenWux(options.pathB) : ToolResult<WuxDocument>(a.Error());
    if (!b.Ok())
        return FailWithJson(b.Error(), options.json,
                            {{"a", options.pathA}, {"b", options.pathB}, {"error", ErrorJson(b.Error())}});
    DiffOptions diffOptions;
    diffOptions.tolerance = options.tolerance;
    const DiffReport report = DiffModels(*a, *b, diffOptions);
    if (options.json) {
        PrintJson(DiffJson(report, options.pathA, options.pathB));
    } else {
        std::cout << FormatDiffText(report, options.pathA, options.pathB);
    }
    return report.Equal() ? kExitOk : kExitNo;
}

}  // namespace

void AddDiffCommand(CLI::App& app) {
    auto options = std::make_shared<DiffCommandOptions>();
    CLI::App* command = AddCommand(app, "diff",
                                   "Compare two WUX files as models: header counts, materials by name, meshes corner "
                                   "by corner, spheres, ellipsoid and reference entries",
                                   {"wux diff a.wux b.wux", "wux diff a.wux b.wux --tolerance 1e-4 --json"});
    command->add_option("a", options->pathA, "the first WUX file")->required();
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
