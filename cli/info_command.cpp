// wux info FILE [--json]: what the file holds. Exit codes: 0 shown, 1 the file is not a
// readable WUX file (the reader's error with its offset), 2 the file cannot be read.
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "cli/commands.h"
#include "format/tool_text.h"
#include "format/mapped_file.h"
#include "format/wux_info.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

struct InfoOptions {
    std::string path;
    bool json = false;
};

int RunInfo(const InfoOptions& options) {
    MappedFile file;
    if (const ToolResult<void> opened = file.Open(options.path); !opened.Ok()) {
        std::cerr << "wux info: " << opened.Error().Text() << "\n";
        return 2;
    }
    const ToolResult<WuxFile> read = ReadWux(file.Span());
    if (const ToolResult<void> intact = file.Intact(); !intact.Ok()) {
        std::cerr << "wux info: " << intact.Error().Text() << "\n";
        return 2;
    }
    if (!read.Ok()) {
        std::cerr << "wux info: " << QuotedPath(options.path) << ": not a readable WUX file: offset " << *read.Error().offset << ": "
                  << read.Error().message << "\n";
        return 1;
    }
    if (options.json) {
        std::cout << DumpInfoJson(InfoJson(*read)) << "\n";
    } else {
        std::cout << options.path << "\n" << InfoText(*read);
    }
    return 0;
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* command = app.add_subcommand("info", "Show what a WUX file holds: header counts, materials, meshes, "
                                                   "spheres, ellipsoid and reference entries");
    command->add_option("file", options->path, "the WUX file")->required();
    command->add_flag("--json", options->json, "print JSON instead of text");
    command->footer("Exit codes: 0 shown, 1 not a readable WUX file, 2 the file cannot be read.");
    command->callback([options] {
        int code = 2;
        try {
            code = RunInfo(*options);
        } catch (const std::bad_alloc&) {
            std::cerr << "wux info: " << QuotedPath(options->path) << ": out of memory\n";
        }
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
