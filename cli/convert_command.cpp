// wux convert IN.wux OUT [--texture-dir DIR]...: a WUX file in another format, chosen by OUT's
// extension: .json (a JSON scene `wux export` reads back), .glb or .gltf (glTF 2.0), .obj
// (with its .mtl). Exit codes: 0 written (warnings allowed), 1 not written, 2 IN cannot be read.
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
#include "convert/output_files.h"
#include "cli/commands.h"
#include "format/file_bytes.h"
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
        std::cerr << "wux convert: warning: " << WarningText(e.kind) << ": " << e.count;
        for (std::size_t i = 0; i < e.examples.size(); ++i) std::cerr << (i ? ", " : " (") << e.examples[i];
        std::cerr << (e.examples.empty() ? "" : e.count > e.examples.size() ? ", ...)" : ")") << "\n";
    }
}

int RunConvert(const ConvertCommandOptions& options) {
    const std::string ext = Lower(fs::path(options.output).extension().string());
    if (ext != ".json" && ext != ".glb" && ext != ".gltf" && ext != ".obj") {
        std::cerr << "wux convert: " << QuotedPath(options.output) << ": unknown output format '" << ext
                  << "' (expected .json, .glb, .gltf or .obj)\n";
        return 1;
    }
    for (const std::string& dir : options.textureDirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) {
            std::cerr << "wux convert: " << ToolError::Of(ToolError::Kind::Io, dir, fs::exists(dir, ec) ? "--texture-dir is not a folder" : "--texture-dir does not exist").Text() << "\n";
            return 2;
        }
    }
    const auto file = LoadFileBytes(options.input);
    if (!file.Ok()) {
        std::cerr << "wux convert: " << file.Error().Text() << "\n";
        return 2;
    }
    const ToolResult<WuxFile> read = ReadWux(SpanOf(*file));
    if (!read.Ok()) {
        std::cerr << "wux convert: " << QuotedPath(options.input) << ": not a readable WUX file: offset " << *read.Error().offset
                  << ": " << read.Error().message << "\n";
        return 1;
    }
    Warnings warnings;
    WarnNotFinite(*read, &warnings);
    OutputFiles outputs;
    if (ext == ".json") {
        outputs.Add(options.output, WuxToJsonScene(*read, &warnings));
    } else if (ext == ".obj") {
        WriteObj(*read, options.output, &outputs, &warnings);
    } else {
        GltfOptions gltf;
        gltf.binary = ext == ".glb";
        gltf.outputPath = options.output;
        gltf.textureDirs = {fs::path(options.input).parent_path().string()};
        gltf.textureDirs.insert(gltf.textureDirs.end(), options.textureDirs.begin(), options.textureDirs.end());
        WriteGltf(*read, gltf, &outputs, &warnings);
    }
    PrintWarnings(warnings);
    if (const ToolResult<void> committed = outputs.Commit(options.input); !committed.Ok()) {
        std::cerr << "wux convert: " << committed.Error().Text() << "\n";
        return committed.Error().kind == ToolError::Kind::Argument ? 64 : 1;
    }
    return 0;
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertCommandOptions>();
    CLI::App* command = app.add_subcommand(
        "convert", "Convert a WUX file to a JSON scene (.json), glTF 2.0 (.glb, .gltf) or OBJ (.obj with .mtl), "
                   "by OUT's extension");
    command->add_option("input", options->input, "the WUX file")->required();
    command->add_option("output", options->output, "the file to write")->required();
    command->add_option("--texture-dir", options->textureDirs,
                        "glTF: a folder to look for map files in, after the WUX file's own (repeatable)");
    command->footer("Exit codes: 0 written, 1 not written, 2 the input cannot be read.");
    command->callback([options] {
        if (const int code = RunConvert(*options)) throw CLI::RuntimeError(code);
    });
}

}  // namespace wux
