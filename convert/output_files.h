// The files one conversion writes (a glTF file with its buffer and textures, an OBJ file
// with its material library), written all or nothing through the export's file layer
// (driver/export_files.h): each goes to a temporary file beside its target first, and only
// when every one is written are they moved into place. On failure no temporary is left and
// no existing file at a target is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/tool_error.h"

namespace wux {

class OutputFiles {
public:
    // A file that replaces what is at path (the output, its .bin or .mtl).
    void Add(const std::string& path, std::vector<std::uint8_t> bytes);
    void Add(const std::string& path, const std::string& text);
    // A file that never replaces another (a texture copy): its name was found free.
    void AddNew(const std::string& path, std::vector<std::uint8_t> bytes);

    // Refuses, before anything is written, a replaced file that is the input or another
    // output (an Argument error); else an Output error whose message names the file.
    ToolResult<void> Commit(const std::string& input);

private:
    struct File {
        std::string path;
        std::vector<std::uint8_t> bytes;
        bool replaces = true;
    };
    std::vector<File> files_;
};

}  // namespace wux
