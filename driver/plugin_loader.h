// Loads the exporter plug-in library at run time and drives it the way the host does:
// the four exported functions, the class descriptor, a SceneExport made by the descriptor,
// and one DoExport call per export.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "format/tool_error.h"
#include "host/max_sdk.h"
#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

// Where the plug-in library is looked for, first hit wins: the explicit path (from
// --plugin), the WUX_PLUGIN environment variable, the installed layout's plug-in folder
// relative to the running executable (lib/wux/ beside bin/), wux_plugin.so beside the
// executable, then, for the tool in its own build tree only, the build tree's plug-in.
// The path found; or, when none of the places holds the library, a PluginNotFound error
// listing the places tried and how to name the library.
ToolResult<std::string> LocatePlugin(const std::string& explicitPath);

// One line per kind of warning, as the export prints them: "warning: KIND: count (examples)";
// empty without warnings.
std::string FormatWarnings(const Warnings& warnings);

class PluginLibrary {
public:
    // Opens the library, resolves and checks its entry points and class descriptor. The
    // error's kind is one of the Plugin kinds, and it names the library's path.
    ToolResult<void> Load(const std::string& path);

    const char* Description() const;
    // Why the last export's file could not be written (the system's error or the format's
    // size limit; empty when the library does not tell), and whether that was the output
    // file's failure rather than the scene's.
    std::pair<std::string, bool> LastSaveFailure() const;
    // What the last export passed over or left out, when the library tells, added to *warnings;
    // a node is named with where it came from (in `nodes`, the exported scene) when its name
    // is no other node's. Nodes without an object are left to the importer unless asked for.
    void AddOutcome(const std::vector<SceneNode>& nodes, bool nodesWithoutObject, Warnings* warnings) const;

    // One export as the host runs it: a new exporter from the descriptor, DoExport with
    // prompts suppressed and no options, then the exporter deleted. DoExport's result, or
    // an error when no exporter could be made or an exception escaped the plug-in.
    ToolResult<int> Export(const std::string& outputPath, ExpInterface* ei, Interface* ip);

private:
    struct Close {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Close> handle_;
    std::string path_;
    const TCHAR* (*libDescription_)() = nullptr;
    ClassDesc* classDesc_ = nullptr;
};

}  // namespace wux
