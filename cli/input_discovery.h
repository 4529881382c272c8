// The files a batch export converts: every INPUT that is a file, and every file under an
// INPUT folder that the JSON reader or Assimp reads (told by its extension), each with the
// path of its output under the output folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace wux {

struct BatchInput {
    std::string input;
    std::string output;
    std::string error;  // set when the INPUT itself cannot be used (it does not exist, ...)
};

struct Discovery {
    std::vector<BatchInput> inputs;  // in the order given, each folder's files sorted by path
    std::size_t skipped = 0;         // files in the folders that no reader takes
};

// Whether the JSON reader or Assimp reads a file of this name.
bool IsConvertibleName(const std::string& path);

// Outputs mirror each file's path relative to its INPUT folder (a file given by itself lands
// at the top of outDir), with the extension .wux. When two inputs would share an output, each
// of them keeps its own extension in the name ("a.obj.wux", "a.fbx.wux"), and any name still
// shared gets a number ("a.obj-2.wux"); so does a name that an output folder takes ("x.wux/"
// from an input folder x.wux). A file given twice is converted once. The search of folders
// leaves outDir and the report out (a second run does not read the first one's files).
Discovery DiscoverInputs(const std::vector<std::string>& paths, const std::string& outDir,
                         const std::string& report = std::string());

}  // namespace wux
