// wux render IN.wux -o OUT.png [--size WxH] [--view V] [--overlays LIST] [--background RRGGBB] [--texture-dir DIR]:
// a picture of the file's scene, drawn in software so that it works without a display or GPU.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "format/texture_lookup.h"
#include "picture/picture_options.h"
#include "picture/render.h"
#include "cli/command.h"
#include "cli/commands.h"
#include "format/tool_text.h"
#include "cli/picture_files.h"
#include "cli/picture_validators.h"
#include "cli/progress_bar.h"

namespace wux {
namespace {

struct RenderCommandOptions {
    std::string input, output;
    std::vector<std::string> textureDirs;
    std::string size = "800x600", view = "three-quarter", overlays = "none", background;
};

int RunRender(const RenderCommandOptions& given) {
    RenderOptions options;
    // The validators below accepted every word, so the parsers succeed here.
    const auto size = ParsePictureSize(given.size, kMaxPictureSide);
    options.width = size->width;
    options.height = size->height;
    options.view = *ParseView(given.view);
    options.overlays = *ParseOverlaySet(given.overlays);
    if (!given.background.empty()) options.background = *ParseHexColour(given.background);

    CheckOutputName(given.output, {".png"}, "a PNG picture");
    const PictureScene scene = LoadPictureScene(given.input, options.overlays, given.textureDirs, true);
    ProgressBar progress(scene.triangleCount, "triangles drawn");
    const Image image = RenderPicture(scene, options, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    if (image.width == 0)
        ThrowToolError(ToolError::Kind::Limit, given.input,
                       "drawing it would test more than " + std::to_string(options.maxSamples) +
                           " samples (large triangles over one another); a smaller --size takes fewer");
    const std::vector<std::uint8_t> png = EncodePng(image.width, image.height, 3, image.rgb.data());
    if (png.empty()) ThrowToolError(ToolError::Kind::Limit, given.output, "the PNG encoder failed (out of memory)");
    WritePictureFile(given.input, given.output, png.data(), png.size());
    if (ShowSummary())
        std::cout << given.output << ": " << options.width << "x" << options.height << ", " << ViewName(options.view)
              << " view, " << scene.triangleCount << (scene.triangleCount == 1 ? " triangle" : " triangles") << "\n";
    return 0;
}

}  // namespace

void AddRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderCommandOptions>();
    CLI::App* command =
        AddCommand(app, "render", "Draw a WUX file's scene into a PNG picture",
                   {"wux render scene.wux -o scene.png", "wux render scene.wux -o top.png --view top --size 1024x768",
                    "wux render scene.wux -o scene.png --overlays spheres,helpers --background ffffff"});
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("-o,--output", options->output, "the PNG file to write")->required();
    command->add_option("--size", options->size, "picture size in pixels, WIDTHxHEIGHT")
        ->capture_default_str()
        ->check(SizeValidator(kMaxPictureSide));
    command->add_option("--view", options->view, "front, back, left, right, top or three-quarter")
        ->capture_default_str()
        ->check(ViewValidator());
    command->add_option("--overlays", options->overlays,
                        "lines to draw over the model: spheres, ellipsoid, helpers (comma-separated), all or none")
        ->capture_default_str()
        ->check(OverlayListValidator());
    command->add_option("--background", options->background, "background colour RRGGBB (default 2e333d)")
        ->check(ColourValidator());
    command->add_option("--texture-dir", options->textureDirs,
                        "a folder to look for map files in, after the WUX file's own (repeatable)")
        ->check(CLI::ExistingDirectory);
    SetBody(command, [options] { return RunRender(*options); });
}

}  // namespace wux
