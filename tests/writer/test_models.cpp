#include "test_models.h"

#include "model/export_model.h"

float TestColourWord(int word, float base, float step) {
    switch (word) {
        case 0: case 1: return 0.0f;
        case 5: case 13: case 17: return 1.0f;
        case 18: return 39.0f;
        default: return base + step * static_cast<float>(word);
    }
}

std::unique_ptr<ExportModel> MakeFullModel() {
    auto model = std::make_unique<ExportModel>();

    auto stone = std::make_unique<MaterialChunk>("Stone");
    for (int w = 0; w < 19; ++w) stone->colourBlock[w] = TestColourWord(w, 0.0f, 0.25f);
    stone->mapCount = 4;
    stone->maps[0] = MaterialMap{0, "", 0.5f};
    stone->maps[1] = MaterialMap{3, "a.b", 0.25f};
    stone->maps[2] = MaterialMap{7, "a.bm", 1.0f};
    stone->maps[3] = MaterialMap{11, "tex.tga", 0.75f};
    stone->maps[4] = MaterialMap{5, "unused slot", 9.0f};  // beyond mapCount: never written
    model->materials->append(std::move(stone));

    auto plain = std::make_unique<MaterialChunk>("Material");
    for (int w = 0; w < 19; ++w) plain->colourBlock[w] = TestColourWord(w, 100.0f, 1.0f);
    model->materials->append(std::move(plain));
    model->materialCount = 2;

    auto mesh = std::make_unique<VertexChunk>(3, 1, 1);
    mesh->vertices[0] = MeshVertex{1, 2, 3, 0.5f, 0.25f};
    mesh->vertices[1] = MeshVertex{4, 5, 6, 0.75f, 1};
    mesh->vertices[2] = MeshVertex{-1, -2, -3, 0, 0};
    for (uint16_t i = 0; i < 3; ++i) mesh->triangles[i] = i;
    mesh->normals[0] = MeshNormal{0, 0, 1};
    mesh->normals[1] = MeshNormal{0, 1, 0};
    mesh->normals[2] = MeshNormal{1, 0, 0};
    for (int i = 0; i < 3; ++i) mesh->faceBlocks[i] = 0;
    model->meshes->append(std::move(mesh));
    model->meshCount = 1;

    model->bounds->mainSphere = std::make_unique<BoundSphere>(1.f, 2.f, 3.f, 4.f);
    model->bounds->spheres->append(std::make_unique<BoundSphere>(5.f, 6.f, 7.f, 0.5f));
    model->bounds->spheres->append(std::make_unique<BoundSphere>(-1.f, -1.f, -1.f, 0.25f));

    model->ellipsoid = std::make_unique<EllipsoidChunk>(1.f, 2.f, 3.f, 4.f, 5.f, 6.f);

    auto dummy = std::make_unique<ReferenceEntry>("Dummy01");
    const float axes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {10, 20, 30, 0}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) dummy->transform[r][c] = axes[r][c];
    dummy->halfExtents[0] = 1.5f;
    dummy->halfExtents[1] = 2.5f;
    dummy->halfExtents[2] = 3.5f;
    model->references->entries->append(std::move(dummy));

    auto unnamed = std::make_unique<ReferenceEntry>("");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) unnamed->transform[r][c] = c == 3 ? 0.0f : static_cast<float>(4 * r + c);
    for (float& h : unnamed->halfExtents) h = 0.5f;
    model->references->entries->append(std::move(unnamed));
    return model;
}

std::unique_ptr<ExportModel> MakeMeshModel(int32_t faceCount) {
    auto model = std::make_unique<ExportModel>();
    auto mesh = std::make_unique<VertexChunk>(3 * faceCount, faceCount, 0);
    for (int32_t i = 0; i < 3 * faceCount; ++i) {
        const float f = static_cast<float>(i);
        mesh->vertices[i] = MeshVertex{f, f + 0.5f, -f, 0.25f, 0.75f};
        mesh->normals[i] = MeshNormal{0, 0, 1};
        mesh->triangles[i] = static_cast<uint16_t>(i);
        mesh->faceBlocks[i] = 0;
    }
    model->meshes->append(std::move(mesh));
    model->meshCount = 1;
    return model;
}
