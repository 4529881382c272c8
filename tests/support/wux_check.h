// The checker run on every WUX file a test writes: a written file must pass it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/wux_reader.h"
#include "writer/byte_sink.h"

// Keeps every byte written to it: a file built in memory.
class VectorSink : public ByteSink {
public:
    bool write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

// Success when the file reads, the checker finds no error and the plug-in's writer gives the
// same bytes again from what was read; otherwise what differs. Use as
// EXPECT_TRUE(PassesChecker(path)).
::testing::AssertionResult PassesChecker(const std::string& path);
::testing::AssertionResult PassesChecker(const std::vector<std::uint8_t>& bytes);

// A written file, which must pass the checker, read back, with its records by number.
struct WrittenFile {
    wux::WuxDocument doc;
    std::vector<const MaterialChunk*> materials;
    std::vector<const VertexChunk*> meshes;
    std::vector<const BoundSphere*> spheres;  // after the main sphere
    std::vector<const ReferenceEntry*> entries;
};
WrittenFile ReadWritten(const std::string& path);
