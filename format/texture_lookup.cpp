#include "format/texture_lookup.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <stb_image.h>
#include <stb_image_write.h>

#include "format/mapped_file.h"
#include "format/tool_text.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char* magic, std::size_t n) {
    return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

}  // namespace

TextureFolders::TextureFolders(std::vector<std::string> folders) {
    for (std::string& folder : folders) folders_.push_back(Folder{std::move(folder), false, {}, {}});
}

std::optional<std::string> TextureFolders::Find(const std::string& fileName) {
    // A bare file name only: the file keeps no folders, and nothing may climb out of one.
    if (fileName.empty() || fileName == "." || fileName == ".." || fileName.find('/') != std::string::npos)
        return std::nullopt;
    const std::string wanted = Lower(fileName);
    for (Folder& folder : folders_) {
        if (!folder.listed) {
            folder.listed = true;
            std::error_code ec;
            for (fs::directory_iterator it(folder.path.empty() ? fs::path(".") : fs::path(folder.path), ec), end;
                 !ec && it != end; it.increment(ec)) {
                std::error_code fileEc;
                if (!it->is_regular_file(fileEc)) continue;
                const std::string name = it->path().filename().string();
                folder.exact.emplace(name, it->path().string());
                folder.lower.emplace(Lower(name), it->path().string());
            }
        }
        if (const auto exact = folder.exact.find(fileName); exact != folder.exact.end()) return exact->second;
        if (const auto lower = folder.lower.find(wanted); lower != folder.lower.end()) return lower->second;
    }
    return std::nullopt;
}

ToolResult<TextureImage> LoadTextureImage(const std::string& path) {
    auto loaded = LoadFileBytes(path);
    if (!loaded.Ok()) return loaded.Error();
    std::vector<std::uint8_t>& bytes = *loaded;
    TextureImage image;
    const fs::path name = fs::path(path).filename();
    const bool png = StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8), jpeg = StartsWith(bytes, "\xFF\xD8\xFF", 3);
    if (png || jpeg) {
        // Decoded all the same (within the pixel budget), so that a file that only starts
        // like one is not embedded as if it were an image: it is unreadable like any other.
        int width = 0, height = 0, channels = 0;
        const bool head = bytes.size() <= static_cast<std::size_t>(INT32_MAX) &&
                          stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) != 0;
        if (!head || std::uint64_t(width) * std::uint64_t(height) <= kMaxTexturePixels) {
            if (const ToolResult<TexturePixels> decoded = DecodeTexture(bytes, path, 0); !decoded.Ok()) return decoded.Error();
        }
        image.mimeType = png ? "image/png" : "image/jpeg";
        image.fileName = name.string();
        image.bytes = std::move(bytes);
        return image;
    }
    const ToolResult<TexturePixels> decoded = DecodeTexture(bytes, path, 0);
    if (!decoded.Ok()) return decoded.Error();
    image.bytes = EncodePng(decoded->width, decoded->height, decoded->channels, decoded->pixels.data());
    if (image.bytes.empty()) return ToolError::Of(ToolError::Kind::Input, path, "cannot encode the image as PNG");
    image.mimeType = "image/png";
    image.fileName = fs::path(name).replace_extension(".png").string();
    return image;
}

std::vector<std::uint8_t> EncodePng(int width, int height, int channels, const std::uint8_t* pixels) {
    std::vector<std::uint8_t> out;
    const auto append = [](void* context, void* data, int size) {
        auto& bytes = *static_cast<std::vector<std::uint8_t>*>(context);
        bytes.insert(bytes.end(), static_cast<const std::uint8_t*>(data),
                     static_cast<const std::uint8_t*>(data) + size);
    };
    if (stbi_write_png_to_func(append, &out, width, height, channels, pixels, width * channels) == 0) out.clear();
    return out;
}

ToolResult<TexturePixels> DecodeTexture(const std::vector<std::uint8_t>& bytes, const std::string& path, int channels) {
    auto fail = [&](std::string message) { return ToolError::Of(ToolError::Kind::Input, path, std::move(message)); };
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return fail("too large to decode");
    const int size = static_cast<int>(bytes.size());
    int width = 0, height = 0, given = 0;
    if (stbi_info_from_memory(bytes.data(), size, &width, &height, &given) == 0)
        return fail(std::string("cannot decode the image: ") + stbi_failure_reason());
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxTexturePixels)
        return fail("the image claims " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels; images over 8192x8192 pixels are not decoded");
    TexturePixels out;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes.data(), size, &out.width, &out.height, &given, channels), stbi_image_free);
    if (!pixels) return fail(std::string("cannot decode the image: ") + stbi_failure_reason());
    out.channels = channels == 0 ? given : channels;
    out.pixels.assign(pixels.get(), pixels.get() + std::size_t(out.width) * out.height * out.channels);
    return out;
}

}  // namespace wux
