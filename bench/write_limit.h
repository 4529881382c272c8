#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/tool_error.h"

// The fastest the exporter could write a file of a given size: the bytes come
// from one prepared buffer and go out in large writes through the writer's own
// file layer (temporary file in the target's folder, checked writes, flush to
// disk, rename), so only the work of building the bytes is left out.
class WriteLimit {
public:
    explicit WriteLimit(uint64_t fileBytes);

    // Writes the buffer to path: the seconds from opening to the file in place, or
    // an Io error with the file layer's reason.
    wux::ToolResult<double> Write(const std::string& path) const;

    uint64_t size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};
