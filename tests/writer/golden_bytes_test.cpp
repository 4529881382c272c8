#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/export_model.h"
#include "test_models.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_bytes.h"
#include "tests/support/wux_check.h"
#include "writer/byte_buffer.h"
#include "writer/model_serializer.h"
#include "writer/save_result.h"

namespace {

class FailingSink : public ByteSink {
public:
    bool write(const uint8_t*, size_t) override { return false; }
};

class GoldenBytes : public ::testing::Test {
protected:
    // Saves through the file layer; the file must pass the checker.
    std::vector<uint8_t> Save(const ExportModel& model) {
        const std::string path = folder_.Path("out.wux");
        EXPECT_EQ(model.Save(path.c_str()), 0);
        EXPECT_TRUE(PassesChecker(path));
        return ReadFileBytes(path);
    }

    TempFolder folder_;
};

// The whole file of the model from MakeFullModel, written out field by field.
wuxtest::Bytes FullModelFile() {
    wuxtest::Bytes e;
    // File head and GNFO: 782 bytes in all; GREF starts at 586, so GNFO spans 574.
    e.Text("LIBF").U32(782).Text("IDFM");
    e.Text("GNFO").U32(574).U32(100).Zeros(24).Hex("0000803f").U32(1).U32(2);

    // GMAT "Stone", 176 bytes at offset 60; map names of lengths 0, 3, 4 and 7.
    e.Text("GMAT").U32(176).U32(100);
    e.U32(8).Text("Stone").Zeros(3);
    for (int w = 0; w < 19; ++w) e.F32(TestColourWord(w, 0.0f, 0.25f));
    e.U32(4);
    e.U32(0).U32(4).Zeros(4).F32(0.5f);
    e.U32(3).U32(4).Text("a.b").Zeros(1).F32(0.25f);
    e.U32(7).U32(8).Text("a.bm").Zeros(4).F32(1.0f);
    e.U32(11).U32(8).Text("tex.tga").Zeros(1).F32(0.75f);

    // GMAT "Material", 108 bytes at offset 236 (96 + P with P = 12).
    e.Text("GMAT").U32(108).U32(100);
    e.U32(12).Text("Material").Zeros(4);
    for (int w = 0; w < 19; ++w) e.F32(TestColourWord(w, 100.0f, 1.0f));
    e.U32(0);

    // GVTX, one triangle: 28 + 32 * 3 + 18 = 142 bytes at offset 344.
    e.Text("GVTX").U32(142).U32(100).U32(1).Hex("e3f1ba44").U32(3).U32(1);
    e.F32(1).F32(2).F32(3).F32(0.5f).F32(0.25f);
    e.F32(4).F32(5).F32(6).F32(0.75f).F32(1);
    e.F32(-1).F32(-2).F32(-3).F32(0).F32(0);
    e.U16(0).U16(1).U16(2);
    e.F32(0).F32(0).F32(1).F32(0).F32(1).F32(0).F32(1).F32(0).F32(0);
    e.Zeros(12);

    // GBND at offset 486 (2 modulo 4, no filler), two further spheres: 64 bytes.
    e.Text("GBND").U32(64).U32(100).F32(1).F32(2).F32(3).F32(4).U32(2);
    e.F32(5).F32(6).F32(7).F32(0.5f);
    e.F32(-1).F32(-1).F32(-1).F32(0.25f);

    // GELP, 36 bytes at offset 550.
    e.Text("GELP").U32(36).U32(100).F32(1).F32(2).F32(3).F32(4).F32(5).F32(6);

    // GREF at offset 586: 16 + (4 + 8 + 80) + (4 + 4 + 80) = 196 bytes.
    e.Text("GREF").U32(196).U32(100).U32(2);
    e.U32(8).Text("Dummy01").Zeros(1);
    e.F32(1).F32(0).F32(0).F32(0).F32(0).F32(1).F32(0).F32(0).F32(0).F32(0).F32(1).F32(0);
    e.F32(10).F32(20).F32(30).F32(0);
    e.F32(1.5f).F32(2.5f).F32(3.5f).Hex("f0aadcff");
    e.U32(4).Zeros(4);
    for (int i = 0; i < 16; ++i) e.F32(i % 4 == 3 ? 0.0f : static_cast<float>(i));
    e.F32(0.5f).F32(0.5f).F32(0.5f).Hex("f0aadcff");
    return e;
}

TEST_F(GoldenBytes, EmptyModelIsThe108ByteFile) {
    const ExportModel model;
    EXPECT_EQ(Save(model), wuxtest::EmptySceneFile());
}

TEST_F(GoldenBytes, ModelWithEveryChunkKind) {
    const wuxtest::Bytes e = FullModelFile();
    ASSERT_EQ(e.Size(), 782u);
    ASSERT_EQ(e.data[486], 'G');
    ASSERT_EQ(e.data[487], 'B');
    auto model = MakeFullModel();
    RecordListNode* cursorBefore = model->materials->cursor;
    EXPECT_EQ(Save(*model), e.data);
    EXPECT_EQ(model->materials->cursor, cursorBefore) << "writing must not move a list's cursor";
}

TEST_F(GoldenBytes, BlockSizeDoesNotChangeTheBytes) {
    const wuxtest::Bytes e = FullModelFile();
    auto model = MakeFullModel();
    for (size_t blockSize : {size_t{64}, size_t{100}, size_t{4096}}) {
        VectorSink sink;
        ByteBuffer out(sink, blockSize);
        ASSERT_TRUE(SerializeModel(*model, out, nullptr));
        ASSERT_TRUE(out.flush());
        EXPECT_EQ(sink.bytes, e.data) << "block size " << blockSize;
    }
}

TEST_F(GoldenBytes, LargeMeshCrossesBlocksIntact) {
    auto model = MakeMeshModel(20000);
    VectorSink sink;
    ByteBuffer out(sink, 1000);  // not a multiple of any element size
    ASSERT_TRUE(SerializeModel(*model, out, nullptr));
    ASSERT_TRUE(out.flush());
    ASSERT_EQ(sink.bytes.size(), 60u + 28u + 114u * 20000u + 32u + 16u);
    EXPECT_EQ(Save(*model), sink.bytes);
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
