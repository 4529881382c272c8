// wux view IN.wux -o OUT.html [--overlays LIST] [--texture-dir DIR]: one HTML page that shows the file's scene in
// any browser with WebGL 2, with nothing fetched when it opens.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "picture/html_page.h"
#include "cli/commands.h"
#include "cli/picture_files.h"
#include "cli/picture_validators.h"
#include "cli/progress_bar.h"

namespace wux {
namespace {

struct ViewCommandOptions {
    std::string input, output;
    std::vector<std::string> textureDirs;
    std::string overlays = "none";
};

int RunView(const ViewCommandOptions& given) {
    PageOptions options;
    options.overlays = *ParseOverlaySet(given.overlays);
    options.title = std::filesystem::path(given.input).filename().string();

    // The page carries every overlay, shown or not.
    OverlaySet all;
    for (OverlayKind kind : kOverlayKinds) all.Set(kind);
    PictureScene scene;
    if (const int code = LoadPictureScene("view", given.input, all, given.textureDirs, false, &scene)) return code;
    ProgressBar progress(scene.triangleCount, "triangles in the page");
    const std::string page = BuildViewerPage(scene, options, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    if (const int code = WritePictureFile("view", given.input, given.output,
                                          reinterpret_cast<const std::uint8_t*>(page.data()), page.size()))
        return code;
    std::cout << given.output << ": " << scene.triangleCount << (scene.triangleCount == 1 ? " triangle" : " triangles")
              << ", " << page.size() << " bytes\n";
    return 0;
}

}  // namespace

void AddViewCommand(CLI::App& app) {
    auto options = std::make_shared<ViewCommandOptions>();
    CLI::App* command = app.add_subcommand("view", "Write one self-contained HTML page that shows a WUX file's scene");
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("-o,--output", options->output, "the HTML file to write")->required();
    command->add_option("--overlays", options->overlays,
                        "overlays shown when the page opens: spheres, ellipsoid, helpers (comma-separated), all or "
                        "none; each can be toggled in the page")
        ->capture_default_str()
        ->check(OverlayListValidator());
    command->add_option("--texture-dir", options->textureDirs,
                        "a folder to look for map files in, after the WUX file's own (repeatable)")
        ->check(CLI::ExistingDirectory);
    command->footer("Exit codes: 0 written, 1 not a readable WUX file, 2 a file cannot be read or written.");
    command->callback([options] {
        if (const int code = RunView(*options)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
