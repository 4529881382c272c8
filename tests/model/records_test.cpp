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

TEST(ChunkRecords, EachCarriesItsTagWithATerminator) {
    const MaterialChunk material("Stone");
    const VertexChunk mesh(3, 1, 0);
    const ReferenceChunk references;
    const BoundChunk bounds;
    const EllipsoidChunk ellipsoid(0, 0, 0, 1, 1, 1);
    const struct {
        const ChunkHeader& head;
        const char* tag;
    } cases[] = {{material, "GMAT"}, {mesh, "GVTX"}, {references, "GREF"}, {bounds, "GBND"}, {ellipsoid, "GELP"}};
    for (const auto& c : cases) EXPECT_EQ(0, std::memcmp(c.head.sign, c.tag, 5)) << c.tag;
}

TEST(ChunkRecords, HeaderCopiesExactlyFourCharacters) {
    const ChunkHeader head("GMATX");
    EXPECT_EQ(0, std::memcmp(head.sign, "GMAT\0", 5));
}

TEST(ChunkRecords, RecordsKeepTheirOwnCopyOfNames) {
    char name[] = "Stone";
    const MaterialChunk material(name);
    const ReferenceEntry entry(name);
    name[0] = 'X';
    EXPECT_EQ(material.name, "Stone");
    EXPECT_EQ(entry.name, "Stone");
    EXPECT_EQ(material.mapCount, 0);
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

TEST(ChunkRecords, BoundChunkStartsWithZeroMainSphereAndNoSpheres) {
    const BoundChunk bounds;
    ASSERT_NE(bounds.mainSphere, nullptr);
    EXPECT_EQ(bounds.mainSphere->x, 0.0f);
    EXPECT_EQ(bounds.mainSphere->y, 0.0f);
    EXPECT_EQ(bounds.mainSphere->z, 0.0f);
    EXPECT_EQ(bounds.mainSphere->radius, 0.0f);
    ASSERT_NE(bounds.spheres, nullptr);
    EXPECT_EQ(bounds.spheres->count(), 0);
}

TEST(ChunkRecords, ConstructorsStoreValuesInArgumentOrder) {
    const BoundSphere sphere(1, 2, 3, 4);
    EXPECT_EQ(sphere.x, 1.0f);
    EXPECT_EQ(sphere.y, 2.0f);
    EXPECT_EQ(sphere.z, 3.0f);
    EXPECT_EQ(sphere.radius, 4.0f);
    const EllipsoidChunk ellipsoid(1, 2, 3, 4, 5, 6);
    const float centre[] = {1, 2, 3};
    const float axes[] = {4, 5, 6};
    EXPECT_EQ(0, std::memcmp(ellipsoid.centre, centre, sizeof centre));
    EXPECT_EQ(0, std::memcmp(ellipsoid.semiAxes, axes, sizeof axes));
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
