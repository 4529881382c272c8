#include <gtest/gtest.h>

#include "tests/support/wux_bytes.h"
#include "format/wux_checker.h"
#include "format/wux_reader.h"

namespace {

using wux::ToolError;
using wuxtest::Build;
using wuxtest::Built;
using wuxtest::RichFile;

TEST(WuxReader, EmptySceneFileIsTheGolden108BytesAndValid) {
    const Built built = Build(wuxtest::File{});
    ASSERT_EQ(built.bytes.data, wuxtest::EmptySceneFile());

    const auto read = wux::ReadWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::WuxFile& f = *read;
    EXPECT_EQ(f.header.fileSizeField, 108u);
    EXPECT_EQ(f.header.gnfo.blockSize, 80u);
    EXPECT_EQ(f.header.meshCount, 0u);
    EXPECT_EQ(f.header.materialCount, 0u);
    ASSERT_EQ(f.bounds.size(), 1u);
    EXPECT_EQ(f.bounds[0].chunk.offset, 60u);
    EXPECT_EQ(f.bounds[0].mainSphere.radius, 0.0f);
    EXPECT_TRUE(f.ellipsoids.empty());
    EXPECT_EQ(f.references.chunk.offset, 92u);
    EXPECT_TRUE(f.references.entries.empty());

    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.Valid());
    EXPECT_TRUE(report.problems.empty()) << wux::FormatReport(report);
}

TEST(WuxReader, ReadsEveryKindOfChunkBack) {
    const Built built = Build(RichFile());
    const auto read = wux::ReadWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::WuxFile& f = *read;

    EXPECT_EQ(f.header.meshCount, 2u);
    EXPECT_EQ(f.header.materialCount, 2u);
    ASSERT_EQ(f.chunks.size(), 6u);  // 2 GMAT, 2 GVTX, GBND, GELP
    EXPECT_EQ(f.chunks[0].offset, 60u);

    ASSERT_EQ(f.materials.size(), 2u);
    const wux::Material& brick = f.materials[0];
    EXPECT_EQ(brick.name.text, "brick");
    EXPECT_EQ(brick.name.paddedLength, 8u);
    EXPECT_EQ(brick.Diffuse(), (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(brick.Specular(), (std::array<float, 3>{0.9f, 0.9f, 0.9f}));
    ASSERT_EQ(brick.maps.size(), 2u);
    EXPECT_EQ(brick.maps[1].channel, 8u);
    EXPECT_EQ(brick.maps[1].fileName.text, "bump.bmp");
    EXPECT_EQ(brick.maps[1].amount, 0.5f);
    EXPECT_EQ(brick.chunk.blockSize, brick.chunk.contentSize);
    EXPECT_EQ(f.materials[1].name.paddedLength, 12u);
    EXPECT_EQ(f.materials[1].Opacity(), 0.25f);
    EXPECT_EQ(f.materials[1].chunk.offset, built.materials[1]);

    ASSERT_EQ(f.meshes.size(), 2u);
    const wux::MeshChunk& one = f.meshes[0];
    EXPECT_EQ(one.chunk.blockSize, 142u);  // one triangle
    EXPECT_EQ(one.vertexCount, 3u);
    const wux::MeshChunk& four = f.meshes[1];
    EXPECT_EQ(four.materialIndex, 1);
    EXPECT_EQ(four.faceCount, 4u);
    EXPECT_EQ(four.triangles[3], (std::array<std::uint16_t, 3>{9, 10, 11}));
    EXPECT_EQ(four.normals[11], (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(four.vertices[5].v, 0.75f);
    const auto box = wux::BoundingBox(four);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->min, (std::array<float, 3>{0, 0, -11}));
    EXPECT_EQ(box->max, (std::array<float, 3>{11, 22, 0}));

    // After the odd-sized meshes the GBND chunk starts at an offset that is 2 modulo 4.
    EXPECT_EQ(f.bounds[0].chunk.offset % 4, 2u);
    EXPECT_EQ(f.bounds[0].mainSphere.radius, 10.0f);
    ASSERT_EQ(f.bounds[0].spheres.size(), 2u);
    EXPECT_EQ(f.bounds[0].spheres[1].centre, (std::array<float, 3>{4, 5, 6}));
    ASSERT_EQ(f.ellipsoids.size(), 1u);
    EXPECT_EQ(f.ellipsoids[0].semiAxes, (std::array<float, 3>{8, 4, 2}));

    ASSERT_EQ(f.references.entries.size(), 2u);
    const wux::Reference& dummy = f.references.entries[1];
    EXPECT_EQ(dummy.name.text, "Dummy");
    EXPECT_EQ(dummy.transform[12], 7.0f);
    EXPECT_EQ(dummy.halfExtents, (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(dummy.endWord, 0xFFDCAAF0u);
    EXPECT_EQ(f.header.trailingBytes, 0u);

    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.problems.empty()) << wux::FormatReport(report);
}

TEST(WuxReader, EveryPrefixIsRejectedWithAnOffsetInsideIt) {
    const Built built = Build(RichFile());
    const auto& full = built.bytes.data;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto read = wux::ReadWux(wux::ByteSpan{full.data(), n});
        ASSERT_FALSE(read.Ok()) << "prefix of " << n << " bytes";
        EXPECT_LE(*read.Error().offset, n) << read.Error().message;
        EXPECT_FALSE(read.Error().message.empty());
        EXPECT_FALSE(wux::CheckWux(wux::ByteSpan{full.data(), n}).Valid());
        const auto counts = wux::ReadWuxWithoutMeshArrays(wux::ByteSpan{full.data(), n});
        ASSERT_FALSE(counts.Ok()) << "prefix of " << n << " bytes, mesh arrays skipped";
        EXPECT_EQ(counts.Error().offset, read.Error().offset) << counts.Error().message;
    }
}

// Skipping the mesh arrays reads the same file but for the arrays themselves.
TEST(WuxReader, SkippingMeshArraysKeepsEverythingElse) {
    const Built built = Build(RichFile());
    const auto full = wux::ReadWux(built.bytes.Span());
    const auto counts = wux::ReadWuxWithoutMeshArrays(built.bytes.Span());
    ASSERT_TRUE(full.Ok() && counts.Ok()) << counts.Error().message;
    ASSERT_EQ(counts->meshes.size(), full->meshes.size());
    for (std::size_t i = 0; i < full->meshes.size(); ++i) {
        const wux::MeshChunk& a = full->meshes[i];
        const wux::MeshChunk& b = counts->meshes[i];
        EXPECT_EQ(b.vertexCount, a.vertexCount);
        EXPECT_EQ(b.faceCount, a.faceCount);
        EXPECT_EQ(b.materialIndex, a.materialIndex);
        EXPECT_EQ(b.chunk.contentSize, a.chunk.contentSize);
        EXPECT_TRUE(b.vertices.empty() && b.normals.empty() && b.triangles.empty() && b.faceBlocks.empty());
    }
    EXPECT_EQ(counts->chunks.size(), full->chunks.size());
    EXPECT_EQ(counts->references.entries.size(), full->references.entries.size());
    EXPECT_EQ(counts->bounds.size(), full->bounds.size());
}

// Flipping any byte must never crash; a report is invalid exactly when it holds an error.
TEST(WuxReader, ByteFlipsNeverCrashAndReportConsistently) {
    const Built built = Build(RichFile());
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < built.bytes.Size(); ++i) {
        for (const std::uint8_t mask : {0x01, 0x80, 0xFF}) {
            wuxtest::Bytes copy = built.bytes;
            copy.data[i] ^= mask;
            const wux::CheckReport report = wux::CheckWux(copy.Span());
            std::size_t errors = 0;
            for (const auto& p : report.problems) {
                errors += p.severity == wux::Problem::Severity::Error;
                EXPECT_LT(p.offset, copy.Size()) << wux::FormatProblem(p);
            }
            EXPECT_EQ(report.Valid(), errors == 0);
            invalid += !report.Valid();
        }
    }
    EXPECT_GT(invalid, 0u);
}

// Every byte of the head is a tag, a size, a constant or a count: any change breaks the file.
TEST(WuxReader, EveryChangeToTheHeadIsAnError) {
    const Built built = Build(RichFile());
    for (std::size_t i = 0; i < 60; ++i) {
        for (const std::uint8_t mask : {0x01, 0x10, 0x80}) {
            wuxtest::Bytes copy = built.bytes;
            copy.data[i] ^= mask;
            EXPECT_FALSE(wux::CheckWux(copy.Span()).Valid()) << "byte " << i << " ^ " << int(mask);
        }
    }
}

struct HostileCase {
    const char* name;
    std::size_t (*field)(const Built&);  // offset of the u32 to overwrite
    std::uint32_t value;
    ToolError::Kind kind;
    std::size_t before = 0;  // the error names the field this many bytes earlier
};

TEST(WuxReader, HostileCountsAndSizesAreErrorsAtTheirField) {
    const Built built = Build(RichFile());
    const HostileCase cases[] = {
        {"GNFO block_size", [](const Built&) -> std::size_t { return 16; }, 0xFFFFFFFF, ToolError::Kind::Truncated},
        {"GNFO block_size too small", [](const Built&) -> std::size_t { return 16; }, 47, ToolError::Kind::BadSize},
        {"GMAT block_size", [](const Built& b) { return b.materials[0] + 4; }, 0xFFFFFFF0, ToolError::Kind::Truncated},
        {"GMAT block_size zero", [](const Built& b) { return b.materials[0] + 4; }, 0, ToolError::Kind::BadSize},
        {"name padded length", [](const Built& b) { return b.materials[0] + 12; }, 0xFFFFFFFC, ToolError::Kind::BadCount},
        {"map count", [](const Built& b) { return b.materials[0] + 12 + 12 + 76; }, 0xFFFFFFFF, ToolError::Kind::BadCount},
        {"vertex count", [](const Built& b) { return b.meshes[0] + 20; }, 0x7FFFFFFF, ToolError::Kind::BadCount},
        {"face count", [](const Built& b) { return b.meshes[0] + 24; }, 0xFFFFFFFF, ToolError::Kind::BadCount, 4},
        {"sphere count", [](const Built& b) { return b.bounds + 28; }, 0x10000000, ToolError::Kind::BadCount},
        {"GREF entry count", [](const Built& b) { return b.references + 12; }, 0xFFFFFFFF, ToolError::Kind::BadCount},
        {"GREF block_size", [](const Built& b) { return b.references + 4; }, 0xFFFFFFFF, ToolError::Kind::Truncated},
    };
    for (const HostileCase& c : cases) {
        wuxtest::Bytes copy = built.bytes;
        const std::size_t at = c.field(built);
        copy.PatchU32(at, c.value);
        const auto read = wux::ReadWux(copy.Span());
        ASSERT_FALSE(read.Ok()) << c.name;
        EXPECT_EQ(read.Error().kind, c.kind) << c.name << ": " << read.Error().message;
        EXPECT_EQ(*read.Error().offset, at - c.before) << c.name << ": " << read.Error().message;
    }
}

TEST(WuxReader, WrongTagsAreNamedWithTheirOffset) {
    const Built built = Build(RichFile());
    const struct {
        std::size_t at;
        const char* expect;
    } cases[] = {{0, "\"LIBF\""}, {8, "\"IDFM\""}, {12, "GNFO"}, {built.meshes[0], "unknown tag \"GVT\\x00\""},
                 {built.references, "GREF"}};
    for (const auto& c : cases) {
        wuxtest::Bytes copy = built.bytes;
        copy.data[c.at + 3] = 0;
        const auto read = wux::ReadWux(copy.Span());
        ASSERT_FALSE(read.Ok());
        EXPECT_EQ(read.Error().kind, ToolError::Kind::BadTag);
        EXPECT_EQ(*read.Error().offset, c.at);
        EXPECT_NE(read.Error().message.find(c.expect), std::string::npos) << read.Error().message;
    }
}

}  // namespace
