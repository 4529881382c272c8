// The picture commands, drawn from the WUX file read whole, written through the writer's
// checked file layer (a temporary file renamed into place, so a failure leaves an existing
// file as it was):
// wux render IN.wux -o OUT.png [--size WxH] [--view V] [--overlays LIST] [--background RRGGBB] [--texture-dir DIR]:
// a picture of the file's scene, drawn in software so that it works without a display or GPU.
// wux view IN.wux -o OUT.html [--overlays LIST] [--texture-dir DIR]: one HTML page that shows the file's scene in
// any browser with WebGL 2, with nothing fetched when it opens.
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "format/mapped_file.h"
#include "format/texture_lookup.h"
#include "format/tool_text.h"
#include "picture/html_page.h"
#include "picture/picture_options.h"
#include "picture/render.h"
#include "writer/staged_files.h"

namespace wux {
namespace {

struct PictureCommandOptions {
    std::string input, output;
    std::vector<std::string> textureDirs;
    std::string overlays = "none";
    std::string size = "800x600", view = "three-quarter", background;  // render's own
};

// A CLI11 validator made from the picture library's own parser, so that the command line and
// the parser never disagree: parse(text) -> ToolResult; its error's text is the option's error.
template <typename Parse>
CLI::Validator ParsedBy(const std::string& description, Parse parse) {
    return CLI::Validator(
        [parse](std::string& text) {
            const auto parsed = parse(text);
            return parsed.Ok() ? std::string() : parsed.Error().Text();
        },
        description);
}

// Warns of the triangles, the maps, and the overlays among `overlays`, that cannot be drawn.
// Maps are looked for beside the file, then in textureDirs, as `wux convert` looks for them.
PictureScene LoadPictureScene(const PictureCommandOptions& given, const OverlaySet& overlays, bool decodeMaps) {
    const std::string& path = given.input;
    const ToolResult<WuxDocument> read = OpenWux(path);
    if (!read.Ok()) throw read.Error();
    TextureSearch maps{{std::filesystem::path(path).parent_path().string()}, decodeMaps};
    maps.folders.insert(maps.folders.end(), given.textureDirs.begin(), given.textureDirs.end());
    std::uint64_t triangles = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*read->model->meshes)) triangles += std::uint64_t(mesh->faceCount);
    ProgressBar progress(triangles, "triangles read");
    PictureScene scene = BuildPictureScene(*read, maps, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    for (const std::string& missing : scene.missingMaps) Warn(missing);
    auto warn = [&](std::uint64_t count, const char* one, const char* many, const std::string& why) {
        if (count > 0) Warn(QuotedPath(path) + ": " + Plural(count, one, many) + " not drawn (" + why + ")");
    };
    warn(scene.droppedTriangles, "triangle", "triangles",
         "a corner outside its mesh or not a finite number; `wux check` lists them");
    if (scene.meshesSmoothed > 0)
        Warn(QuotedPath(path) + ": " + Plural(scene.meshesSmoothed, "mesh", "meshes") +
             " lit by normals worked out from the triangles (the stored normals fit no one transform)");
    const std::string limit = "not finite numbers, or past the first " + std::to_string(kMaxOverlayItems);
    if (overlays.Has(OverlayKind::Spheres)) warn(scene.droppedSpheres, "sphere", "spheres", limit);
    if (overlays.Has(OverlayKind::Ellipsoid))
        warn(scene.droppedEllipsoids, "ellipsoid", "ellipsoids", "not finite numbers");
    if (overlays.Has(OverlayKind::Helpers)) warn(scene.droppedHelpers, "helper", "helpers", limit);
    return scene;
}

// Refuses to write over the input itself: the picture would replace the model it shows.
void WritePictureFile(const PictureCommandOptions& given, const void* data, std::size_t size) {
    StagedFiles files;
    ToolResult<void> written = files.Add(given.output, data, size);
    if (written.Ok()) written = files.Commit({given.input});
    if (!written.Ok()) throw written.Error();
}

int RunRender(const PictureCommandOptions& given) {
    RenderOptions options;
    // The validators accepted every word, so the parsers succeed here.
    const auto size = ParsePictureSize(given.size, kMaxPictureSide);
    options.width = size->width;
    options.height = size->height;
    options.view = *ParseView(given.view);
    options.overlays = *ParseOverlaySet(given.overlays);
    if (!given.background.empty()) options.background = *ParseHexColour(given.background);

    CheckOutputName(given.output, {".png"}, "a PNG picture");
    const PictureScene scene = LoadPictureScene(given, options.overlays, true);
    ProgressBar progress(scene.triangleCount, "triangles drawn");
    const Image image = RenderPicture(scene, options, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    if (image.width == 0)
        ThrowToolError(ToolError::Kind::Limit, given.input,
                       "drawing it would test more than " + std::to_string(options.maxSamples) +
                           " samples (large triangles over one another); a smaller --size takes fewer");
    const std::vector<std::uint8_t> png = EncodePng(image.width, image.height, 3, image.rgb.data());
    if (png.empty()) ThrowToolError(ToolError::Kind::Limit, given.output, "the PNG encoder failed (out of memory)");
    WritePictureFile(given, png.data(), png.size());
    if (ShowSummary())
        std::cout << given.output << ": " << options.width << "x" << options.height << ", " << ViewName(options.view)
                  << " view, " << Plural(scene.triangleCount, "triangle", "triangles") << "\n";
    return 0;
}

int RunView(const PictureCommandOptions& given) {
    PageOptions options;
    CheckOutputName(given.output, {".html", ".htm"}, "an HTML page");
    options.overlays = *ParseOverlaySet(given.overlays);
    options.title = std::filesystem::path(given.input).filename().string();

    // The page carries every overlay, shown or not.
    OverlaySet all;
    for (OverlayKind kind : kOverlayKinds) all.Set(kind);
    const PictureScene scene = LoadPictureScene(given, all, false);
    ProgressBar progress(scene.triangleCount, "triangles in the page");
    const std::string page = BuildViewerPage(scene, options, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    WritePictureFile(given, page.data(), page.size());
    if (ShowSummary()) std::cout << given.output << ": " << Plural(scene.triangleCount, "triangle", "triangles") << ", " << page.size() << " bytes\n";
    return 0;
}

// The command with the options both take, in help order: the WUX file, -o, then the command's own.
CLI::App* AddPictureCommand(CLI::App& app, const std::string& name, const std::string& description,
                            const std::vector<std::string>& examples, const std::string& outputHelp,
                            PictureCommandOptions* options) {
    CLI::App* command = AddCommand(app, name, description, examples);
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("-o,--output", options->output, outputHelp)->required();
    return command;
}

void AddOverlays(CLI::App* command, PictureCommandOptions* options, const std::string& help) {
    command->add_option("--overlays", options->overlays, help)
        ->capture_default_str()
        ->check(ParsedBy("LIST", ParseOverlaySet));
}

void AddTextureDirs(CLI::App* command, PictureCommandOptions* options) {
    command->add_option("--texture-dir", options->textureDirs,
                        "a folder to look for map files in, after the WUX file's own (repeatable)")
        ->check(CLI::ExistingDirectory);
}

}  // namespace

void AddRenderCommand(CLI::App& app) {
    auto options = std::make_shared<PictureCommandOptions>();
    CLI::App* command =
        AddPictureCommand(app, "render", "Draw a WUX file's scene into a PNG picture",
                          {"wux render scene.wux -o scene.png", "wux render scene.wux -o top.png --view top --size 1024x768",
                           "wux render scene.wux -o scene.png --overlays spheres,helpers --background ffffff"},
                          "the PNG file to write", options.get());
    command->add_option("--size", options->size, "picture size in pixels, WIDTHxHEIGHT")
        ->capture_default_str()
        ->check(ParsedBy("WxH", [](const std::string& text) { return ParsePictureSize(text, kMaxPictureSide); }));
    command->add_option("--view", options->view, "front, back, left, right, top or three-quarter")
        ->capture_default_str()
        ->check(ParsedBy("VIEW", [](const std::string& text) -> ToolResult<View> {
            if (const std::optional<View> view = ParseView(text)) return *view;
            return ArgumentError("\"" + text + "\" is not a view: front, back, left, right, top or three-quarter");
        }));
    AddOverlays(command, options.get(),
                "lines to draw over the model: spheres, ellipsoid, helpers (comma-separated), all or none");
    command->add_option("--background", options->background, "background colour RRGGBB (default 2e333d)")
        ->check(ParsedBy("RRGGBB", ParseHexColour));
    AddTextureDirs(command, options.get());
    SetBody(command, [options] { return RunRender(*options); });
}

void AddViewCommand(CLI::App& app) {
    auto options = std::make_shared<PictureCommandOptions>();
    CLI::App* command =
        AddPictureCommand(app, "view", "Write one self-contained HTML page that shows a WUX file's scene",
                          {"wux view scene.wux -o scene.html", "wux view scene.wux -o scene.html --overlays all"},
                          "the HTML file to write", options.get());
    AddOverlays(command, options.get(),
                "overlays shown when the page opens: spheres, ellipsoid, helpers (comma-separated), all or none; each "
                "can be toggled in the page");
    AddTextureDirs(command, options.get());
    SetBody(command, [options] { return RunView(*options); });
}

}  // namespace wux
