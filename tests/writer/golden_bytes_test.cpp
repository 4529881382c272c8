#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "expected_bytes.h"
#include "model/export_model.h"
#include "test_models.h"
#include "writer/byte_buffer.h"
#include "writer/model_serializer.h"
#include "writer/save_result.h"

namespace {

class VectorSink : public ByteSink {
public:
    bool write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

class FailingSink : public ByteSink {
public:
    bool write(const uint8_t*, size_t) override { return false; }
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class GoldenBytes : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("wux-golden-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::vector<uint8_t> Save(const ExportModel& model) {
        const std::filesystem::path path = folder_ / "out.wux";
        EXPECT_EQ(model.Save(path.string().c_str()), 0);
        return ReadFile(path);
    }

    std::filesystem::path folder_;
};

// The whole file of the model from MakeFullModel, written out field by field.
ExpectedBytes FullModelFile() {
    ExpectedBytes e;
    // File head and GNFO: 782 bytes in all; GREF starts at 586, so GNFO spans 574.
    e.text("LIBF").u32(782).text("IDFM");
    e.text("GNFO").u32(574).u32(100).zeros(24).hex("0000803f").u32(1).u32(2);

    // GMAT "Stone", 176 bytes at offset 60; map names of lengths 0, 3, 4 and 7.
    e.text("GMAT").u32(176).u32(100);
    e.u32(8).text("Stone").zeros(3);
    for (int w = 0; w < 19; ++w) e.f32(0.25f * static_cast<float>(w));
    e.u32(4);
    e.u32(0).u32(4).zeros(4).f32(0.5f);
    e.u32(3).u32(4).text("a.b").zeros(1).f32(0.25f);
    e.u32(7).u32(8).text("a.bm").zeros(4).f32(1.0f);
    e.u32(11).u32(8).text("tex.tga").zeros(1).f32(0.75f);

    // GMAT "Material", 108 bytes at offset 236 (96 + P with P = 12).
    e.text("GMAT").u32(108).u32(100);
    e.u32(12).text("Material").zeros(4);
    for (int w = 0; w < 19; ++w) e.f32(100.0f + static_cast<float>(w));
    e.u32(0);

    // GVTX, one triangle: 28 + 32 * 3 + 18 = 142 bytes at offset 344.
    e.text("GVTX").u32(142).u32(100).u32(1).hex("e3f1ba44").u32(3).u32(1);
    e.f32(1).f32(2).f32(3).f32(0.5f).f32(0.25f);
    e.f32(4).f32(5).f32(6).f32(0.75f).f32(1);
    e.f32(-1).f32(-2).f32(-3).f32(0).f32(0);
    e.u16(0).u16(1).u16(2);
    e.f32(0).f32(0).f32(1).f32(0).f32(1).f32(0).f32(1).f32(0).f32(0);
    e.zeros(12);

    // GBND at offset 486 (2 modulo 4, no filler), two further spheres: 64 bytes.
    e.text("GBND").u32(64).u32(100).f32(1).f32(2).f32(3).f32(4).u32(2);
    e.f32(5).f32(6).f32(7).f32(0.5f);
    e.f32(-1).f32(-1).f32(-1).f32(0.25f);

    // GELP, 36 bytes at offset 550.
    e.text("GELP").u32(36).u32(100).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6);

    // GREF at offset 586: 16 + (4 + 8 + 80) + (4 + 4 + 80) = 196 bytes.
    e.text("GREF").u32(196).u32(100).u32(2);
    e.u32(8).text("Dummy01").zeros(1);
    e.f32(1).f32(0).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(0).f32(1).f32(0);
    e.f32(10).f32(20).f32(30).f32(0);
    e.f32(1.5f).f32(2.5f).f32(3.5f).hex("f0aadcff");
    e.u32(4).zeros(4);
    for (int i = 0; i < 16; ++i) e.f32(static_cast<float>(i));
    e.f32(0.5f).f32(0.5f).f32(0.5f).hex("f0aadcff");
    return e;
}

TEST_F(GoldenBytes, EmptyModelIsThe108ByteFile) {
    ExpectedBytes e;
    e.hex("4c494246 6c000000 4944464d 474e464f 50000000 64000000").zeros(24);
    e.hex("0000803f 00000000 00000000 47424e44 20000000 64000000").zeros(20);
    e.hex("47524546 10000000 64000000 00000000");
    ASSERT_EQ(e.size(), 108u);
    const ExportModel model;
    EXPECT_EQ(Save(model), e.bytes());
}

TEST_F(GoldenBytes, ModelWithEveryChunkKind) {
    const ExpectedBytes e = FullModelFile();
    ASSERT_EQ(e.size(), 782u);
    ASSERT_EQ(e.bytes()[486], 'G');
    ASSERT_EQ(e.bytes()[487], 'B');
    auto model = MakeFullModel();
    RecordListNode* cursorBefore = model->materials->cursor;
    EXPECT_EQ(Save(*model), e.bytes());
    EXPECT_EQ(model->materials->cursor, cursorBefore) << "writing must not move a list's cursor";
}

TEST_F(GoldenBytes, BlockSizeDoesNotChangeTheBytes) {
    const ExpectedBytes e = FullModelFile();
    auto model = MakeFullModel();
    for (size_t blockSize : {size_t{64}, size_t{100}, size_t{4096}}) {
        VectorSink sink;
        ByteBuffer out(sink, blockSize);
        ASSERT_TRUE(SerializeModel(*model, out, nullptr));
        ASSERT_TRUE(out.flush());
        EXPECT_EQ(sink.bytes, e.bytes()) << "block size " << blockSize;
    }
    ByteBuffer memory;
    ASSERT_TRUE(SerializeModel(*model, memory, nullptr));
    EXPECT_EQ(std::vector<uint8_t>(memory.data(), memory.data() + memory.size()), e.bytes());
}

TEST_F(GoldenBytes, LargeMeshCrossesBlocksIntact) {
    auto model = MakeMeshModel(20000);
    ByteBuffer memory;
    ASSERT_TRUE(SerializeModel(*model, memory, nullptr));
    const std::vector<uint8_t> whole(memory.data(), memory.data() + memory.size());
    ASSERT_EQ(whole.size(), 60u + 28u + 114u * 20000u + 32u + 16u);

    VectorSink sink;
    ByteBuffer out(sink, 1000);  // not a multiple of any element size
    ASSERT_TRUE(SerializeModel(*model, out, nullptr));
    ASSERT_TRUE(out.flush());
    EXPECT_TRUE(sink.bytes == whole);
    EXPECT_EQ(Save(*model), whole);
}

TEST_F(GoldenBytes, FailingSinkIsReported) {
    auto model = MakeMeshModel(20000);
    FailingSink sink;
    ByteBuffer out(sink, 4096);
    SaveError error;
    EXPECT_FALSE(SerializeModel(*model, out, &error));
    EXPECT_EQ(error.kind, SaveError::Kind::WriteFailed);
}

}  // namespace
