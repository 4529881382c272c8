// Reads a scene written as JSON (the format in docs/json-scene.md) into a SceneDescription.
// The reader is strict: anything it does not understand is an error that names the file
// and the JSON path of the offending value, so a typo never silently changes the export.
#pragma once

#include <cstddef>
#include <string>

#include "input/scene_description.h"

namespace wux {

struct JsonSceneError {
    enum class Kind {
        Io,      // the file cannot be read
        Syntax,  // not well-formed JSON, or nested too deeply
        Schema,  // well-formed, but not a scene: unknown key, wrong type, bad index, ...
    };
    Kind kind = Kind::Schema;
    std::string message;  // complete text, "<file>: <JSON path or byte offset>: <what>"
};

// Brackets nested deeper than this are refused before the text is parsed, which bounds
// the recursion of everything that walks the scene afterwards.
constexpr std::size_t kMaxJsonDepth = 512;

// Allowed deviation of a rotation quaternion's length from 1.
constexpr double kQuaternionTolerance = 1e-3;

// sourceName is put in front of every message (normally the file's path).
bool ParseJsonScene(const std::string& text, const std::string& sourceName, SceneDescription* scene,
                    JsonSceneError* error);

bool ReadJsonSceneFile(const std::string& path, SceneDescription* scene, JsonSceneError* error);

}  // namespace wux
