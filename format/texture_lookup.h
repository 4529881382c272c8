// Map files named in materials, for `convert` and for the pictures alike: a file is looked
// for in a list of folders, and turned into an image glTF or a web page may hold (PNG and
// JPEG kept as they are once they decode; BMP, TGA, PSD, GIF, HDR and PNM decoded and
// written again as PNG), or into pixels. Nothing is decoded past kMaxTexturePixels: a few
// bytes of header can claim gigabytes of pixels.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "format/tool_error.h"

namespace wux {

struct TextureImage {
    std::string mimeType;            // "image/png" or "image/jpeg"
    std::string fileName;            // the name to give a copy: the source's, with .png when converted
    std::vector<std::uint8_t> bytes;
};

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

// The most pixels an image may have to be decoded: 8192 x 8192.
constexpr std::uint64_t kMaxTexturePixels = 8192ull * 8192ull;

// The file as a glTF image; an Io error naming it when it cannot be read, decoded or encoded.
ToolResult<TextureImage> LoadTextureImage(const std::string& path);

// PNG bytes of 8-bit pixels, row by row from the top; empty when the encoder fails (for want
// of memory).
std::vector<std::uint8_t> EncodePng(int width, int height, int channels, const std::uint8_t* pixels);

// 8-bit pixels, row by row from the top of the image.
struct TexturePixels {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint8_t> pixels;
};

// The image decoded into `channels` channels (0: as many as it has); an Io error naming
// `path` when it cannot be decoded or its header claims more than kMaxTexturePixels.
ToolResult<TexturePixels> DecodeTexture(const std::vector<std::uint8_t>& bytes, const std::string& path, int channels);

}  // namespace wux
