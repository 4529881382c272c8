// wux info FILE [--json]: what the file holds.
#include <iostream>
#include <memory>
#include <string>

#include "cli/command.h"
#include "format/tool_text.h"
#include "format/mapped_file.h"
#include "format/wux_info.h"

namespace wux {
namespace {

struct InfoOptions {
    std::string path;
    bool json = false;
};

int RunInfo(const InfoOptions& options) {
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

}  // namespace

void AddInfoCommand(CLI::App& app) {
    auto options = std::make_shared<InfoOptions>();
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

}  // namespace wux
