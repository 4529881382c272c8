// PNG bytes of an image, made in memory so that the file is written by one checked layer.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/rasteriser.h"

namespace wux {

// Empty when the encoder fails (it fails only for want of memory).
std::vector<std::uint8_t> EncodePng(const Image& image);

}  // namespace wux
