#include <gtest/gtest.h>

#include <cstring>

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

    const auto read = wux::OpenWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::WuxDocument& f = *read;
    EXPECT_EQ(f.fileSizeField, 108u);
    EXPECT_EQ(f.gnfo.blockSize, 80u);
    EXPECT_EQ(f.model->meshCount, 0);
    EXPECT_EQ(f.model->materialCount, 0);
    ASSERT_EQ(f.chunks.size(), 1u);
    EXPECT_EQ(f.chunks[0].offset, 60u);
    EXPECT_EQ(f.model->bounds->mainSphere->radius, 0.0f);
    EXPECT_EQ(f.model->ellipsoid, nullptr);
    EXPECT_EQ(f.gref.offset, 92u);
    EXPECT_EQ(f.model->references->entries->count(), 0);

    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.Valid());
    EXPECT_TRUE(report.problems.empty()) << wux::FormatReport(report);
}

TEST(WuxReader, ReadsEveryKindOfChunkBack) {
    const Built built = Build(RichFile());
    const auto read = wux::OpenWux(built.bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::WuxDocument& f = *read;

    EXPECT_EQ(f.model->meshCount, 2);
    EXPECT_EQ(f.model->materialCount, 2);
    ASSERT_EQ(f.chunks.size(), 6u);  // 2 GMAT, 2 GVTX, GBND, GELP
    EXPECT_EQ(f.chunks[0].offset, 60u);
    EXPECT_EQ(f.chunks[1].offset, built.materials[1]);

    const auto materials = wux::Records<MaterialChunk>(*f.model->materials);
    ASSERT_EQ(materials.size(), 2u);
    const MaterialChunk& brick = *materials[0];
    EXPECT_EQ(brick.name, "brick");
    EXPECT_EQ(f.strings[0].paddedLength, 8u);
    EXPECT_EQ(wux::Colour(brick, wux_file::kDiffuseWord), (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(wux::Colour(brick, wux_file::kSpecularWord), (std::array<float, 3>{0.9f, 0.9f, 0.9f}));
    ASSERT_EQ(brick.mapCount, 2);
    EXPECT_EQ(brick.maps[1].channel, 8);
    EXPECT_EQ(brick.maps[1].fileName, "bump.bmp");
    EXPECT_EQ(brick.maps[1].amount, 0.5f);
    EXPECT_EQ(f.chunks[0].blockSize, f.chunks[0].contentSize);
    EXPECT_EQ(f.strings[3].paddedLength, 12u);  // after brick's name and its two maps' names
    EXPECT_EQ(materials[1]->colourBlock[wux_file::kOpacityWord], 0.25f);

    const auto meshes = wux::Records<VertexChunk>(*f.model->meshes);
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(f.chunks[2].blockSize, 142u);  // one triangle
    EXPECT_EQ(meshes[0]->vertexCount, 3);
    const VertexChunk& four = *meshes[1];
    EXPECT_EQ(four.materialIndex, 1);
    EXPECT_EQ(four.faceCount, 4);
    EXPECT_EQ(four.triangles[3 * 3 + 2], 11);
    EXPECT_EQ(four.normals[11].z, 1.0f);
    EXPECT_EQ(four.vertices[5].v, 0.75f);
    EXPECT_EQ(f.meshConstants[1], wux_file::kMeshConstantBits);
    const auto box = wux::BoundingBox(four);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->min, (std::array<float, 3>{0, 0, -11}));
    EXPECT_EQ(box->max, (std::array<float, 3>{11, 22, 0}));

    // After the odd-sized meshes the GBND chunk starts at an offset that is 2 modulo 4.
    EXPECT_EQ(f.chunks[4].offset % 4, 2u);
    EXPECT_EQ(f.model->bounds->mainSphere->radius, 10.0f);
    const auto spheres = wux::Records<BoundSphere>(*f.model->bounds->spheres);
    ASSERT_EQ(spheres.size(), 2u);
    EXPECT_EQ(spheres[1]->y, 5.0f);
    ASSERT_NE(f.model->ellipsoid, nullptr);
    EXPECT_EQ(f.model->ellipsoid->semiAxes[0], 8.0f);

    const auto entries = wux::Records<ReferenceEntry>(*f.model->references->entries);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1]->name, "Dummy");
    EXPECT_EQ(entries[1]->transform[3][0], 7.0f);
    EXPECT_EQ(entries[1]->halfExtents[2], 3.0f);
    EXPECT_EQ(f.endWords[1], 0xFFDCAAF0u);
    EXPECT_EQ(f.trailingBytes, 0u);

    const wux::CheckReport report = wux::CheckWux(built.bytes.Span());
    EXPECT_TRUE(report.problems.empty()) << wux::FormatReport(report);
}

TEST(WuxReader, EveryPrefixIsRejectedWithAnOffsetInsideIt) {
    const Built built = Build(RichFile());
    const auto& full = built.bytes.data;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto read = wux::OpenWux(wux::ByteSpan{full.data(), n});
        ASSERT_FALSE(read.Ok()) << "prefix of " << n << " bytes";
        EXPECT_LE(*read.Error().offset, n) << read.Error().message;
        EXPECT_FALSE(read.Error().message.empty());
        EXPECT_FALSE(wux::CheckWux(wux::ByteSpan{full.data(), n}).Valid());
        const auto counts = wux::OpenWux(wux::ByteSpan{full.data(), n}, false);
        ASSERT_FALSE(counts.Ok()) << "prefix of " << n << " bytes, mesh arrays skipped";
        EXPECT_EQ(counts.Error().offset, read.Error().offset) << counts.Error().message;
    }
}

// Skipping the mesh arrays reads the same file but for the arrays themselves, which
// ReadMeshArrays then reads one mesh at a time.
TEST(WuxReader, SkippingMeshArraysKeepsEverythingElse) {
    const Built built = Build(RichFile());
    const auto full = wux::OpenWux(built.bytes.Span());
    const auto counts = wux::OpenWux(built.bytes.Span(), false);
    ASSERT_TRUE(full.Ok() && counts.Ok()) << counts.Error().message;
    const auto a = wux::Records<VertexChunk>(*full->model->meshes), b = wux::Records<VertexChunk>(*counts->model->meshes);
    ASSERT_EQ(b.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i]->vertexCount, a[i]->vertexCount);
        EXPECT_EQ(b[i]->faceCount, a[i]->faceCount);
        EXPECT_EQ(b[i]->materialIndex, a[i]->materialIndex);
        EXPECT_TRUE(!b[i]->vertices && !b[i]->normals && !b[i]->triangles && !b[i]->faceBlocks);
        const auto mesh = wux::ReadMeshArrays(built.bytes.Span(), counts->chunks[2 + i], *b[i]);
        EXPECT_EQ(std::memcmp(mesh->vertices.get(), a[i]->vertices.get(), sizeof(MeshVertex) * std::size_t(mesh->vertexCount)), 0);
        EXPECT_EQ(mesh->triangles[3 * std::size_t(mesh->faceCount) - 1], a[i]->triangles[3 * std::size_t(mesh->faceCount) - 1]);
    }
    EXPECT_EQ(counts->chunks.size(), full->chunks.size());
    EXPECT_EQ(counts->chunks[2].contentSize, full->chunks[2].contentSize);
    EXPECT_EQ(counts->model->references->entries->count(), full->model->references->entries->count());
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
        const auto read = wux::OpenWux(copy.Span());
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
        const auto read = wux::OpenWux(copy.Span());
        ASSERT_FALSE(read.Ok());
        EXPECT_EQ(read.Error().kind, ToolError::Kind::BadTag);
        EXPECT_EQ(*read.Error().offset, c.at);
        EXPECT_NE(read.Error().message.find(c.expect), std::string::npos) << read.Error().message;
    }
}

}  // namespace
