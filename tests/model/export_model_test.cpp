#include <gtest/gtest.h>

#include <memory>

#include "model/export_model.h"

namespace {

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
