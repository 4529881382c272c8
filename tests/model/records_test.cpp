#include <gtest/gtest.h>

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

}  // namespace
