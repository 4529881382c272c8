// wux convert IN.wux OUT [--texture-dir DIR]...: a WUX file in another format, chosen by OUT's
// extension: .json (a JSON scene `wux export` reads back), .glb or .gltf (glTF 2.0), .obj
// (with its .mtl); "-" writes the JSON scene to standard output.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "convert/gltf_writer.h"
#include "convert/json_scene_writer.h"
#include "convert/obj_writer.h"
#include "convert/record_inverse.h"
#include "cli/command.h"
#include "cli/commands.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

struct ConvertCommandOptions {
    std::string input, output;
    std::vector<std::string> textureDirs;
};

void PrintWarnings(const Warnings& warnings) {
    for (const Warnings::Entry& e : warnings.Entries()) {
        std::string text = std::string(WarningText(e.kind)) + ": " + std::to_string(e.count);
        for (std::size_t i = 0; i < e.examples.size(); ++i) text += (i ? ", " : " (") + e.examples[i];
        Warn(text + (e.examples.empty() ? "" : e.count > e.examples.size() ? ", ...)" : ")"));
    }
}

int RunConvert(const ConvertCommandOptions& options) {
    // "-": the JSON scene on standard output, the one format here that is a single stream.
    const bool toStdout = options.output == "-";
    const std::string ext = toStdout ? ".json" : Lower(fs::path(options.output).extension().string());
    if (!toStdout) CheckOutputName(options.output, {".json", ".glb", ".gltf", ".obj"}, "a JSON scene, glTF or OBJ file");
    for (const std::string& dir : options.textureDirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec))
            ThrowToolError(ToolError::Kind::Input, dir,
                           fs::exists(dir, ec) ? "--texture-dir is not a folder" : "--texture-dir does not exist");
    }
    const ToolResult<WuxFile> read = ReadWuxFile(options.input);
    if (!read.Ok()) throw read.Error();
    Warnings warnings;
    WarnNotFinite(*read, &warnings);
    StagedFiles outputs;
    ToolResult<void> staged;
    if (toStdout) {
        std::cout << WuxToJsonScene(*read, &warnings) << std::flush;
    } else if (ext == ".json") {
        const std::string text = WuxToJsonScene(*read, &warnings);
        staged = outputs.Add(options.output, text.data(), text.size());
    } else if (ext == ".obj") {
        staged = WriteObj(*read, options.output, &outputs, &warnings);
    } else {
        GltfOptions gltf;
        gltf.binary = ext == ".glb";
        gltf.outputPath = options.output;
        gltf.textureDirs = {fs::path(options.input).parent_path().string()};
        gltf.textureDirs.insert(gltf.textureDirs.end(), options.textureDirs.begin(), options.textureDirs.end());
        staged = WriteGltf(*read, gltf, &outputs, &warnings);
    }
    PrintWarnings(warnings);
    if (staged.Ok()) staged = outputs.Commit({options.input});
    if (!staged.Ok()) throw staged.Error();
    if (!toStdout) Note("wrote " + options.output);
    return 0;
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertCommandOptions>();
    CLI::App* command = AddCommand(
        app, "convert",
        "Convert a WUX file to a JSON scene (.json), glTF 2.0 (.glb, .gltf) or OBJ (.obj with .mtl), by OUT's extension",
        {"wux convert scene.wux scene.glb --texture-dir maps", "wux convert scene.wux scene.obj",
         "wux convert scene.wux - | jq .nodes"});
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("output", options->output, "the file to write; - writes the JSON scene to standard output")
        ->required();
    command->add_option("--texture-dir", options->textureDirs,
                        "glTF: a folder to look for map files in, after the WUX file's own (repeatable)");
    SetBody(command, [options] { return RunConvert(*options); });
}

}  // namespace wux
