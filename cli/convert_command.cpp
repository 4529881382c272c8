// wux convert IN.wux OUT [--texture-dir DIR]...: a WUX file in another format, chosen by OUT's
// extension: .json (a JSON scene `wux export` reads back), .glb or .gltf (glTF 2.0), .obj
// (with its .mtl), .wux (written again by the plug-in's writer, in the normal layout); "-"
// writes the JSON scene to standard output.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "convert/convert.h"
#include "cli/command.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "format/wux_reader.h"
#include "writer/byte_buffer.h"
#include "writer/model_serializer.h"

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

}  // namespace wux
