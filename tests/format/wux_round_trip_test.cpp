// The plug-in's writer and this reader must agree: a model saved by ExportModel::Save
// passes every check and reads back into a model that saves to the same bytes.
#include <gtest/gtest.h>

#include <memory>

#include "model/export_model.h"
#include "format/mapped_file.h"
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

TEST(WuxRoundTrip, SavedModelChecksCleanAndReadsBackToTheSameBytes) {
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

    // Read back into the model and written again: the same bytes, so nothing was misread.
    const auto read = wux::OpenWux(span);
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const std::string again = folder.Path("again.wux");
    ASSERT_EQ(read->model->Save(again.c_str()), 0);
    const auto written = wux::LoadFileBytes(again);
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(*written, *file);
    EXPECT_TRUE(wux::CheckWux(wux::SpanOf(*written)).Valid());
}

}  // namespace
