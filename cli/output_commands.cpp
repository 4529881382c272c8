// The commands that make another file of a WUX file, read whole, and write it through the
// writer's checked file layer (a temporary file renamed into place, so a failure leaves an
// existing file as it was):
// wux convert IN.wux OUT [--texture-dir DIR]...: a WUX file in another format, chosen by OUT's
// extension: .json (a JSON scene `wux export` reads back), .glb or .gltf (glTF 2.0), .obj
// (with its .mtl), .wux (written again by the plug-in's writer, in the normal layout); "-"
// writes the JSON scene to standard output.
// wux render IN.wux -o OUT.png [--size WxH] [--view V] [--overlays LIST] [--background RRGGBB] [--texture-dir DIR]:
// a picture of the file's scene, drawn in software so that it works without a display or GPU.
// wux view IN.wux -o OUT.html [--overlays LIST] [--texture-dir DIR]: one HTML page that shows the file's scene in
// any browser with WebGL 2, with nothing fetched when it opens.
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command.h"
#include "convert/convert.h"
#include "format/mapped_file.h"
#include "format/texture_lookup.h"
#include "format/tool_text.h"
#include "format/wux_reader.h"
#include "picture/html_page.h"
#include "picture/picture_options.h"
#include "picture/render.h"
#include "writer/byte_buffer.h"
#include "writer/model_serializer.h"
#include "writer/staged_files.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// What the three take: the WUX file, the file to write and the folders maps are looked in;
// the pictures' own options.
struct OutputCommandOptions {
    std::string input, output;
    std::vector<std::string> textureDirs;
    std::string overlays = "none";
    std::string size = "800x600", view = "three-quarter", background;  // render's own
};

int RunConvert(const OutputCommandOptions& options) {
    // "-": the JSON scene on standard output, the one format here that is a single stream.
    const bool toStdout = options.output == "-";
    const std::string ext = toStdout ? ".json" : Lower(fs::path(options.output).extension().string());
    if (!toStdout)
        CheckOutputName(options.output, {".json", ".glb", ".gltf", ".obj", ".wux"}, "a JSON scene, glTF, OBJ or WUX file");
    for (const std::string& dir : options.textureDirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec))
            ThrowToolError(ToolError::Kind::Input, dir,
                           fs::exists(dir, ec) ? "--texture-dir is not a folder" : "--texture-dir does not exist");
    }
    const ToolResult<WuxDocument> read = OpenWux(options.input);
    if (!read.Ok()) throw read.Error();
    Warnings warnings;
    if (ext != ".wux") WarnNotFinite(*read->model, &warnings);
    StagedFiles outputs;
    ToolResult<void> staged;
    if (ext == ".wux") {
        // The counts follow the records, as the plug-in writes them; every fixed word, size
        // and padding is the writer's own.
        ExportModel& model = *read->model;
        model.meshCount = model.meshes->count();
        model.materialCount = model.materials->count();
        const ToolResult<StagedFiles::File*> file = outputs.Stage(options.output);
        if (file.Ok()) {
            ByteBuffer out(**file);
            SaveError error;
            if (!SerializeModel(model, out, &error) && error.kind != SaveError::Kind::WriteFailed)
                staged = ToolError::Of(ToolError::Kind::Output, options.output, error.message);
            (void)out.flush();  // a failed write shows at Commit()
        } else {
            staged = file.Error();
        }
    } else if (toStdout) {
        std::cout << WuxToJsonScene(*read, &warnings) << std::flush;
    } else if (ext == ".json") {
        const std::string text = WuxToJsonScene(*read, &warnings);
        staged = outputs.Add(options.output, text.data(), text.size());
    } else if (ext == ".obj") {
        staged = WriteObj(*read, options.output, &outputs, &warnings);
    } else {
        std::vector<std::string> textureDirs = {fs::path(options.input).parent_path().string()};
        textureDirs.insert(textureDirs.end(), options.textureDirs.begin(), options.textureDirs.end());
        staged = WriteGltf(*read, options.output, textureDirs, &outputs, &warnings);
    }
    for (const Warnings::Entry& e : warnings.Entries()) {
        std::string text = std::string(WarningText(e.kind)) + ": " + std::to_string(e.count);
        for (std::size_t i = 0; i < e.examples.size(); ++i) text += (i ? ", " : " (") + e.examples[i];
        Warn(text + (e.examples.empty() ? "" : e.count > e.examples.size() ? ", ...)" : ")"));
    }
    if (staged.Ok()) staged = outputs.Commit({options.input});
    if (!staged.Ok()) throw staged.Error();
    if (!toStdout) Note("wrote " + options.output);
    return 0;
}

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
PictureScene LoadPictureScene(const OutputCommandOptions& given, const OverlaySet& overlays, bool decodeMaps) {
    const std::string& path = given.input;
    const ToolResult<WuxDocument> read = OpenWux(path);
    if (!read.Ok()) throw read.Error();
    TextureSearch maps{{fs::path(path).parent_path().string()}, decodeMaps};
    maps.folders.insert(maps.folders.end(), given.textureDirs.begin(), given.textureDirs.end());
    std::uint64_t triangles = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*read->model->meshes)) triangles += std::uint64_t(mesh->faceCount);
    ProgressBar progress(triangles, "triangles read");
    PictureScene scene = BuildPictureScene(*read, maps, [&](std::uint64_t done) { progress.Update(done, 0); });
    ClearProgress();
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
void WritePictureFile(const OutputCommandOptions& given, const void* data, std::size_t size) {
    StagedFiles files;
    ToolResult<void> written = files.Add(given.output, data, size);
    if (written.Ok()) written = files.Commit({given.input});
    if (!written.Ok()) throw written.Error();
}

int RunRender(const OutputCommandOptions& given) {
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
    ClearProgress();
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

int RunView(const OutputCommandOptions& given) {
    PageOptions options;
    CheckOutputName(given.output, {".html", ".htm"}, "an HTML page");
    options.overlays = *ParseOverlaySet(given.overlays);
    options.title = fs::path(given.input).filename().string();

    // The page carries every overlay, shown or not.
    OverlaySet all;
    for (OverlayKind kind : kOverlayKinds) all.Set(kind);
    const PictureScene scene = LoadPictureScene(given, all, false);
    ProgressBar progress(scene.triangleCount, "triangles in the page");
    const std::string page = BuildViewerPage(scene, options, [&](std::uint64_t done) { progress.Update(done, 0); });
    ClearProgress();
    WritePictureFile(given, page.data(), page.size());
    if (ShowSummary()) std::cout << given.output << ": " << Plural(scene.triangleCount, "triangle", "triangles") << ", " << page.size() << " bytes\n";
    return 0;
}

// The command with the options both take, in help order: the WUX file, -o, then the command's own.
CLI::App* AddPictureCommand(CLI::App& app, const std::string& name, const std::string& description,
                            const std::vector<std::string>& examples, const std::string& outputHelp,
                            OutputCommandOptions* options) {
    CLI::App* command = AddCommand(app, name, description, examples);
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("-o,--output", options->output, outputHelp)->required();
    return command;
}

void AddOverlays(CLI::App* command, OutputCommandOptions* options, const std::string& help) {
    command->add_option("--overlays", options->overlays, help)
        ->capture_default_str()
        ->check(ParsedBy("LIST", ParseOverlaySet));
}

void AddTextureDirs(CLI::App* command, OutputCommandOptions* options) {
    command->add_option("--texture-dir", options->textureDirs,
                        "a folder to look for map files in, after the WUX file's own (repeatable)")
        ->check(CLI::ExistingDirectory);
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<OutputCommandOptions>();
    CLI::App* command = AddCommand(
        app, "convert",
        "Convert a WUX file to a JSON scene (.json), glTF 2.0 (.glb, .gltf), OBJ (.obj with .mtl) or WUX (.wux, "
        "rewritten in the normal layout), by OUT's extension",
        {"wux convert scene.wux scene.glb --texture-dir maps", "wux convert scene.wux scene.obj",
         "wux convert damaged.wux repaired.wux",
         "wux convert scene.wux - | jq .nodes"});
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("output", options->output, "the file to write; - writes the JSON scene to standard output")
        ->required();
    command->add_option("--texture-dir", options->textureDirs,
                        "glTF: a folder to look for map files in, after the WUX file's own (repeatable)");
    SetBody(command, [options] { return RunConvert(*options); });
}

void AddRenderCommand(CLI::App& app) {
    auto options = std::make_shared<OutputCommandOptions>();
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
    auto options = std::make_shared<OutputCommandOptions>();
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
