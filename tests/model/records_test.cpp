#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "model/export_model.h"

namespace {

TEST(ChunkRecords, HeaderCopiesExactlyFourCharacters) {
    const ChunkHeader head("GMATX");
    EXPECT_EQ(0, std::memcmp(head.sign, "GMAT\0", 5));
}

// Filled records with everything they own; LeakSanitizer reports anything not freed.
TEST(ChunkRecords, OwnedRecordsAreReleasedWithTheirOwner) {
    auto references = std::make_unique<ReferenceChunk>();
    for (int i = 0; i < 3; ++i) references->entries->append(std::make_unique<ReferenceEntry>("a long helper name that is heap allocated"));
    auto bounds = std::make_unique<BoundChunk>();
    for (int i = 0; i < 3; ++i) bounds->spheres->append(std::make_unique<BoundSphere>(0.f, 0.f, 0.f, float(i)));
    auto material = std::make_unique<MaterialChunk>("a long material name that is heap allocated");
    material->mapCount = MaterialChunk::kMaxMaps;
    for (MaterialMap& map : material->maps) map.fileName = "a long bitmap file name that is heap allocated.tga";
    EXPECT_EQ(references->entries->count(), 3);
    EXPECT_EQ(bounds->spheres->count(), 3);
}

// The face blocks start all 0 even in memory a freed record wrote to, at every size around the
// page boundaries (whole pages are handed back to the system rather than written).
TEST(ChunkRecords, FaceBlocksStartAllZeroInReusedMemory) {
    for (int32_t faces : {1, 341, 342, 683, 5000, 5001}) {
        const size_t words = 3 * size_t(faces);
        for (int round = 0; round < 3; ++round) {
            VertexChunk chunk(3 * faces, faces, 0);
            ASSERT_TRUE(std::all_of(chunk.faceBlocks.get(), chunk.faceBlocks.get() + words, [](uint32_t w) { return w == 0; }))
                << faces << " faces, round " << round;
            std::fill_n(chunk.faceBlocks.get(), words, 0xdeadbeefu);
        }
    }
}

}  // namespace
