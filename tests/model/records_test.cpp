#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "model/bound_chunk.h"
#include "model/ellipsoid_chunk.h"
#include "model/material_chunk.h"
#include "model/reference_chunk.h"
#include "model/vertex_chunk.h"

namespace {

TEST(ChunkRecords, HeaderCopiesExactlyFourCharacters) {
    const ChunkHeader head("GMATX");
    EXPECT_EQ(0, std::memcmp(head.sign, "GMAT\0", 5));
}

TEST(ChunkRecords, VertexChunkAllocatesEveryArray) {
    VertexChunk empty(0, 0, 2);
    EXPECT_EQ(empty.vertexCount, 0);
    EXPECT_EQ(empty.faceCount, 0);
    EXPECT_EQ(empty.materialIndex, 2);

    VertexChunk mesh(6, 2, 1);
    EXPECT_EQ(mesh.vertexCount, 6);
    EXPECT_EQ(mesh.faceCount, 2);
    // Writing every entry must stay inside the arrays (AddressSanitizer checks the bounds).
    for (int i = 0; i < 6; ++i) {
        mesh.vertices[i] = MeshVertex{1, 2, 3, 4, 5};
        mesh.normals[i] = MeshNormal{0, 0, 1};
    }
    for (int i = 0; i < 6; ++i) {
        mesh.triangles[i] = static_cast<uint16_t>(i);
        mesh.faceBlocks[i] = 0;
    }
    EXPECT_EQ(mesh.triangles[5], 5);
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
