#include "bench/bench_scene.h"

#include <vector>

#include "bench/grid_mesh.h"
#include "host/standin/standin.h"

namespace {

Matrix3 Translation(const Placement& at) {
    Matrix3 tm(TRUE);
    tm.SetTrans(Point3(at.x, at.y, at.z));
    return tm;
}

void FillMesh(Mesh& mesh, const GridMesh& grid) {
    const int vertices = grid.vertexCount();
    const int triangles = grid.triangleCount();
    mesh.setNumVerts(vertices);
    mesh.setNumTVerts(vertices);
    mesh.setNumFaces(triangles);
    mesh.setNumTVFaces(triangles);
    for (int n = 0; n < vertices; ++n) {
        mesh.verts[n] = Point3(grid.positions[3 * n], grid.positions[3 * n + 1], grid.positions[3 * n + 2]);
        mesh.tVerts[n] = UVVert(grid.uvs[2 * n], grid.uvs[2 * n + 1], 0.0f);
    }
    for (int f = 0; f < triangles; ++f) {
        const uint32_t* corner = &grid.corners[3 * f];
        mesh.faces[f].setVerts(int(corner[0]), int(corner[1]), int(corner[2]));
        mesh.faces[f].smGroup = 1;
        mesh.tvFace[f].setTVerts(int(corner[0]), int(corner[1]), int(corner[2]));
    }
}

Color MaterialColour(int material, float base) {
    return Color(base, float(material % 10) / 10.0f, float(material % 7) / 7.0f);
}

StandinStdMat* MakeMaterial(StandinScene& scene, const SceneShape& shape, int index) {
    auto* material = scene.Create<StandinStdMat>(MaterialName(index).c_str());
    material->SetDiffuse(MaterialColour(index, 0.8f));
    material->SetAmbient(MaterialColour(index, 0.2f));
    material->SetSpecular(MaterialColour(index, 0.9f));
    for (int map = 0; map < shape.mapsPerMaterial; ++map) {
        auto* bitmap = scene.Create<StandinBitmapTex>(MapPath(index, map).c_str());
        material->SetMap(MapSlot(map), bitmap, map == 0 ? 1.0f : 0.3f);
    }
    return material;
}

}  // namespace

BenchScene::BenchScene(const SceneShape& shape)
    : scene_(new StandinScene()), interface_(new StandinInterface(0)) {
    exportInterface_.theScene = scene_.get();
    StandinScene& scene = *scene_;

    std::vector<StandinStdMat*> materials;
    for (int m = 0; m < shape.materialsUsed(); ++m) materials.push_back(MakeMaterial(scene, shape, m));

    const GridMesh grid = MakeGridMesh(shape.trianglesPerMesh);
    for (int i = 0; i < shape.meshCount; ++i) {
        auto* object = scene.Create<TriObject>();
        FillMesh(object->mesh, grid);
        StandinNode* node = scene.AddNode(nullptr, MeshNodeName(i));
        node->SetLocalTM(Translation(MeshPlacement(i)));
        node->SetObject(object);
        if (!materials.empty()) node->SetMtl(materials[size_t(i) % materials.size()]);
    }
    for (int i = 0; i < shape.helperCount; ++i) {
        StandinNode* node = scene.AddNode(nullptr, HelperName(i));
        node->SetLocalTM(Translation(HelperPlacement(i)));
        node->SetObject(scene.Create<StandinPointHelper>(HelperSize(i)));
    }
    for (int i = 0; i < shape.boundSphereCount; ++i) {
        StandinNode* node = scene.AddNode(nullptr, "GBND");
        node->SetLocalTM(Translation(SpherePlacement(i)));
        node->SetObject(scene.Create<StandinSphere>(SphereRadius(i), 8));
    }
    if (shape.ellipsoid) {
        StandinNode* node = scene.AddNode(nullptr, "GELP");
        Matrix3 tm(TRUE);
        tm.Scale(Point3(3.0f, 2.0f, 1.0f));
        node->SetLocalTM(tm);
        node->SetObject(scene.Create<StandinSphere>(1.0f, 8));
    }
}

BenchScene::~BenchScene() = default;

Interface* BenchScene::hostInterface() { return interface_.get(); }
