#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/export_model.h"
#include "model/material_chunk.h"
#include "model/vertex_chunk.h"
#include "tracked_record.h"

namespace {

TEST(ExportModel, DestroysMembersInOrder) {
    // Lists hold any record, so tracked records reveal the order in which the
    // model releases its material list, mesh list, entries and spheres.
    std::vector<std::string> log;
    {
        ExportModel model;
        model.materials->append(std::make_unique<TrackedRecord>("material", &log));
        model.meshes->append(std::make_unique<TrackedRecord>("mesh", &log));
        model.references->entries->append(std::make_unique<TrackedRecord>("entry", &log));
        model.bounds->spheres->append(std::make_unique<TrackedRecord>("sphere", &log));
        model.ellipsoid = std::make_unique<EllipsoidChunk>(0.f, 0.f, 0.f, 1.f, 1.f, 1.f);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"material", "mesh", "entry", "sphere"}));
}

TEST(ExportModel, ReleasesEveryRecordOfAFilledModel) {
    // LeakSanitizer checks that nothing reachable from the model survives it.
    auto model = std::make_unique<ExportModel>();
    model->materials->append(std::make_unique<MaterialChunk>("a material name long enough for the heap"));
    model->materialCount = 1;
    model->meshes->append(std::make_unique<VertexChunk>(3, 1, 0));
    model->meshCount = 1;
    model->references->entries->append(std::make_unique<ReferenceEntry>("a helper name long enough for the heap"));
    model->bounds->spheres->append(std::make_unique<BoundSphere>(1.f, 2.f, 3.f, 4.f));
    model->bounds->mainSphere = std::make_unique<BoundSphere>(0.f, 0.f, 0.f, 9.f);
    model->ellipsoid = std::make_unique<EllipsoidChunk>(0.f, 0.f, 0.f, 1.f, 1.f, 1.f);
    model->ellipsoid = std::make_unique<EllipsoidChunk>(1.f, 1.f, 1.f, 2.f, 2.f, 2.f);  // a later one replaces it
    model.reset();
}

}  // namespace
