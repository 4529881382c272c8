#include "picture/png_encode.h"

#include <stb_image_write.h>

namespace wux {
namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Image& image) {
    std::vector<std::uint8_t> out;
    if (stbi_write_png_to_func(Append, &out, image.width, image.height, 3, image.rgb.data(), image.width * 3) == 0)
        out.clear();
    return out;
}

}  // namespace wux
