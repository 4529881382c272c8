// Reads a scene written as JSON (the format in docs/json-scene.md) into a SceneDescription.
// The reader is strict: anything it does not understand is an error that names the file
// and the JSON path of the offending value, so a typo never silently changes the export.
#pragma once

#include <cstddef>
#include <string>

#include "format/tool_error.h"
#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

// Brackets nested deeper than this are refused before the text is parsed, which bounds
// the recursion of everything that walks the scene afterwards.
constexpr std::size_t kMaxJsonDepth = 512;

// Allowed deviation of a rotation quaternion's length from 1.
constexpr double kQuaternionTolerance = 1e-3;

// An error's kind is Syntax (not well-formed JSON, or nested too deeply), Schema (well-formed,
// but not a scene: unknown key, wrong type, bad index, ...) or Io (the file cannot be read);
// its file is sourceName (normally the file's path) and its place the JSON path or byte
// offset: Text() reads "<file>: <JSON path or byte offset>: <what>".
ToolResult<SceneDescription> ParseJsonScene(const std::string& text, const std::string& sourceName);

ToolResult<SceneDescription> ReadJsonSceneFile(const std::string& path, const ReadProgress& progress = {});

// Warns of each enabled bitmap of a standard material that a node uses whose file is not on
// disk: a relative path is looked for from `folder`, '\' read as '/'.
void ReportMissingTextures(const SceneDescription& scene, const std::string& folder, Warnings* warnings);

}  // namespace wux
