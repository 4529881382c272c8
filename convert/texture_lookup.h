// Map files for the glTF writer: a file named in a material is looked for in a list of
// folders, and turned into an image glTF may hold. PNG and JPEG files are kept as they are;
// BMP, TGA, PSD, GIF, HDR and PNM files are decoded and written again as PNG.
#pragma once

#include <cstdint>
#include <map>
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

// Images to convert may hold at most this many pixels (an 8192 x 8192 picture, 256 MiB
// decoded): a header that claims more is not decoded, however small the file (a few bytes
// can claim gigabytes).
constexpr std::uint64_t kMaxTexturePixels = std::uint64_t{1} << 26;

// Folders to look for map files in, each listed once, when it is first needed.
class TextureFolders {
public:
    explicit TextureFolders(std::vector<std::string> folders);

    // The first folder holding the file, by its exact name and then ignoring letter case
    // (maps made on Windows often name BRICK.BMP for brick.bmp). None when no folder has it.
    std::optional<std::string> Find(const std::string& fileName);

private:
    struct Folder {
        std::string path;
        bool listed = false;
        std::map<std::string, std::string> exact, lower;  // file name (and in lower case) to path
    };
    std::vector<Folder> folders_;
};

// The file as a glTF image; an Io error naming it when it cannot be read, decoded or encoded,
// or when it claims more than kMaxTexturePixels.
ToolResult<TextureImage> LoadTextureImage(const std::string& path);

}  // namespace wux
