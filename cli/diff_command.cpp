// wux diff A B [--tolerance T] [--json]: two WUX files compared as models. Exit codes: 0 equal,
// 1 different, 2 a file cannot be read or is not a readable WUX file.
#include <iostream>
#include <memory>
#include <string>

#include "convert/model_diff.h"
#include "cli/commands.h"
#include "format/tool_text.h"
#include "format/file_bytes.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

struct DiffCommandOptions {
    std::string pathA, pathB;
    double tolerance = 1e-5;
    bool json = false;
};

// The bytes stay alive with the model: nothing in WuxFile points into them, but reading
// twice in one run keeps the two loads apart.
bool Load(const std::string& path, WuxFile* out) {
    const auto file = LoadFileBytes(path);
    if (!file.Ok()) {
        std::cerr << "wux diff: " << file.Error().Text() << "\n";
        return false;
    }
    ToolResult<WuxFile> read = ReadWux(SpanOf(*file));
    if (!read.Ok()) {
        std::cerr << "wux diff: " << QuotedPath(path) << ": not a readable WUX file: offset " << *read.Error().offset << ": "
                  << read.Error().message << "\n";
        return false;
    }
    *out = std::move(*read);
    return true;
}

int RunDiff(const DiffCommandOptions& options) {
    WuxFile a, b;
    if (!Load(options.pathA, &a) || !Load(options.pathB, &b)) return 2;
    DiffOptions diffOptions;
    diffOptions.tolerance = options.tolerance;
    const DiffReport report = DiffModels(a, b, diffOptions);
    if (options.json) {
        // Names are the files' bytes; those that are not UTF-8 become U+FFFD, as in check and info.
        std::cout << DiffJson(report, options.pathA, options.pathB).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << "\n";
    } else {
        std::cout << FormatDiffText(report, options.pathA, options.pathB);
    }
    return report.Equal() ? 0 : 1;
}

}  // namespace

void AddDiffCommand(CLI::App& app) {
    auto options = std::make_shared<DiffCommandOptions>();
    CLI::App* command = app.add_subcommand(
        "diff", "Compare two WUX files as models: header counts, materials by name, meshes corner by corner, "
                "spheres, ellipsoid and reference entries");
    command->add_option("a", options->pathA, "the first WUX file")->required();
    command->add_option("b", options->pathB, "the second WUX file")->required();
    command->add_option("--tolerance", options->tolerance,
                        "numbers within T times their size (T itself below 1) are equal")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--json", options->json, "print JSON instead of text");
    command->footer("Exit codes: 0 equal, 1 different, 2 a file cannot be read.");
    command->callback([options] {
        if (const int code = RunDiff(*options)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
