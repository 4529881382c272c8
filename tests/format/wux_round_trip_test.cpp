// The plug-in's writer and this reader must agree: a model saved by ExportModel::Save
// reads back with the same values and passes every check.
#include <gtest/gtest.h>

#include <memory>

#include "model/export_model.h"
#include "format/file_bytes.h"
#include "format/wux_checker.h"
#include "format/wux_reader.h"
#include "tests/support/temp_folder.h"

namespace {

void AddMaterial(ExportModel& model, const char* name, float diffuse, std::initializer_list<int> channels) {
    auto m = std::make_unique<MaterialChunk>(name);
    const float words[19] = {0, 0, diffuse, diffuse, diffuse, 1, 0.1f, 0.2f, 0.3f, 0.75f,
                             0.9f, 0.9f, 0.9f, 1, 0.5f, 0.5f, 0.5f, 1, 39};
    std::copy(std::begin(words), std::end(words), m->colourBlock);
    for (int channel : channels) {
        MaterialMap& map = m->maps[m->mapCount++];
        map.channel = channel;
        map.fileName = "map" + std::to_string(channel) + ".bmp";
        map.amount = 0.5f;
    }
    model.materials->append(std::move(m));
    ++model.materialCount;
}

void AddMesh(ExportModel& model, int32_t faces, int32_t material) {
    auto m = std::make_unique<VertexChunk>(3 * faces, faces, material);
    for (int32_t k = 0; k < 3 * faces; ++k) {
        m->vertices[k] = MeshVertex{float(k), 1, -float(k), 0.5f, 0.25f};
        m->normals[k] = MeshNormal{0, 1, 0};
        m->triangles[k] = static_cast<uint16_t>(k);
        m->faceBlocks[k] = 0;
    }
    model.meshes->append(std::move(m));
    ++model.meshCount;
}

TEST(WuxRoundTrip, SavedModelReadsBackAndChecksClean) {
    ExportModel model;
    AddMaterial(model, "stone", 0.4f, {1, 8});
    AddMaterial(model, "abcd", 0.6f, {});
    AddMesh(model, 1, 0);
    AddMesh(model, 5, 1);
    AddMesh(model, 0, 0);
    *model.bounds->mainSphere = BoundSphere(1, 2, 3, 10);
    model.bounds->spheres->append(std::make_unique<BoundSphere>(0, 0, 0, 2));
    model.ellipsoid = std::make_unique<EllipsoidChunk>(1, 2, 3, 8, 4, 2);
    auto entry = std::make_unique<ReferenceEntry>("Point01");
    const float transform[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {4, 5, 6, 0}};
    std::copy(&transform[0][0], &transform[0][0] + 16, &entry->transform[0][0]);
    entry->halfExtents[0] = entry->halfExtents[1] = entry->halfExtents[2] = 10;
    model.references->entries->append(std::move(entry));

    const TempFolder folder;
    const std::string path = folder.Path("round_trip.wux");
    ASSERT_EQ(model.Save(path.c_str()), 0);
    const auto file = wux::LoadFileBytes(path);
    ASSERT_TRUE(file.Ok()) << file.Error().Text();
    const wux::ByteSpan span = wux::SpanOf(*file);

    const wux::CheckReport report = wux::CheckWux(span);
    EXPECT_TRUE(report.Valid()) << wux::FormatReport(report);
    EXPECT_EQ(report.errorCount, 0u);
    EXPECT_EQ(report.warningCount, 1u) << wux::FormatReport(report);  // the mesh without triangles

    const auto read = wux::ReadWux(span);
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const wux::WuxFile& f = *read;
    ASSERT_EQ(f.materials.size(), 2u);
    EXPECT_EQ(f.materials[0].name.text, "stone");
    EXPECT_EQ(f.materials[1].name.paddedLength, 8u);
    EXPECT_EQ(f.materials[0].Diffuse()[1], 0.4f);
    EXPECT_EQ(f.materials[0].Opacity(), 0.75f);
    ASSERT_EQ(f.materials[0].maps.size(), 2u);
    EXPECT_EQ(f.materials[0].maps[1].channel, 8u);
    EXPECT_EQ(f.materials[0].maps[1].fileName.text, "map8.bmp");
    ASSERT_EQ(f.meshes.size(), 3u);
    EXPECT_EQ(f.meshes[1].faceCount, 5u);
    EXPECT_EQ(f.meshes[1].materialIndex, 1);
    EXPECT_EQ(f.meshes[1].vertices[14].z, -14.0f);
    EXPECT_EQ(f.meshes[1].vertices[14].v, 0.25f);
    EXPECT_EQ(f.meshes[1].normals[3][1], 1.0f);
    ASSERT_EQ(f.bounds.size(), 1u);
    EXPECT_EQ(f.bounds[0].mainSphere.radius, 10.0f);
    ASSERT_EQ(f.bounds[0].spheres.size(), 1u);
    EXPECT_EQ(f.bounds[0].spheres[0].radius, 2.0f);
    ASSERT_EQ(f.ellipsoids.size(), 1u);
    EXPECT_EQ(f.ellipsoids[0].semiAxes[0], 8.0f);
    ASSERT_EQ(f.references.entries.size(), 1u);
    EXPECT_EQ(f.references.entries[0].name.text, "Point01");
    EXPECT_EQ(f.references.entries[0].transform[13], 5.0f);
}

}  // namespace
