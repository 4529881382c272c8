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
    void Add(const std::string& path, std::vector<std::uint8_t> bytes);
    void Add(const std::string& path, const std::string& text);

    // An Output error whose message names the file.
    ToolResult<void> Commit();

    const std::vector<std::string>& Paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
    std::vector<std::vector<std::uint8_t>> contents_;
};

}  // namespace wux
