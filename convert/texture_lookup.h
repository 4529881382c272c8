// Map files for the glTF writer: a file named in a material is looked for in a list of
// folders, and turned into an image glTF may hold. PNG and JPEG files are kept as they are;
// BMP, TGA, PSD, GIF, HDR and PNM files are decoded and written again as PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/tool_error.h"

namespace wux {

struct TextureImage {
    std::string sourcePath;          // the file found
    std::string mimeType;            // "image/png" or "image/jpeg"
    std::string fileName;            // the name to give a copy: the source's, with .png when converted
    std::vector<std::uint8_t> bytes;
};

// The first folder holding the file, by its exact name and then ignoring letter case (maps
// made on Windows often name BRICK.BMP for brick.bmp). None when no folder has it.
std::optional<std::string> FindTexture(const std::string& fileName, const std::vector<std::string>& folders);

// The file as a glTF image; an Io error naming it when it cannot be read, decoded or encoded.
ToolResult<TextureImage> LoadTextureImage(const std::string& path);

}  // namespace wux
