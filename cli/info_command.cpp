// wux info FILE [--json]: what the file holds. Exit codes: 0 shown, 1 the file is not a
// readable WUX file (the reader's error with its offset), 2 the file cannot be read.
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "format/file_bytes.h"
#include "format/wux_info.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

struct InfoOptions {
    std::string path;
    bool json = false;
};

int RunInfo(const InfoOptions& options) {
    const FileBytes file = LoadFileBytes(options.path);
    if (!file.ok) {
        std::cerr << "wux info: " << options.path << ": " << file.error << "\n";
        return 2;
    }
    const ReadResult<WuxFile> read = ReadWux(ByteSpan{file.bytes.data(), file.bytes.size()});
    if (!read.Ok()) {
        std::cerr << "wux info: " << options.path << ": not a readable WUX file: offset " << read.error.offset << ": "
                  << read.error.message << "\n";
        return 1;
    }
    if (options.json) {
        std::cout << DumpInfoJson(InfoJson(*read.value)) << "\n";
    } else {
        std::cout << options.path << "\n" << InfoText(*read.value);
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
        if (const int code = RunInfo(*options)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
