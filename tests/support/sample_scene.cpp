#include "tests/support/sample_scene.h"

#include "host/standin/standin.h"

// Every value is exact in binary and every transform uses exact rotations (3-4-5
// triangles), so the two builds compute the same floats whatever their maths library.
namespace {

Matrix3 Transform(const Point3& x, const Point3& y, const Point3& z, const Point3& t)
{
    Matrix3 m(TRUE);
    const Point3 rows[] = {x, y, z, t};
    for (int i = 0; i < 4; ++i) m.SetRow(i, rows[i]);
    return m;
}

// A unit box of 8 corners, 12 faces, each side in a smoothing group of its own, with a UV
// per corner; an editable mesh, as most meshes in the host's scenes are.
TriObject* MakeBox(StandinScene& scene, float half)
{
    TriObject* box = scene.Create<StandinEditableMesh>();
    Mesh& mesh = box->mesh;
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) {
        mesh.verts[i] = Point3((i & 1) ? half : -half, (i & 2) ? half : -half, (i & 4) ? half : -half);
    }
    const int faces[12][3] = {
        {0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4}, {0, 1, 5}, {5, 4, 0},
        {1, 3, 7}, {7, 5, 1}, {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2},
    };
    mesh.setNumFaces(12);
    mesh.setNumTVerts(8);
    mesh.setNumTVFaces(12);
    for (int f = 0; f < 12; ++f) {
        mesh.faces[f].setVerts(faces[f][0], faces[f][1], faces[f][2]);
        mesh.faces[f].smGroup = 1u << (f / 2);
        mesh.tvFace[f].setTVerts(faces[f][0], faces[f][1], faces[f][2]);
    }
    for (int i = 0; i < 8; ++i) {
        mesh.tVerts[i] = UVVert((i & 1) ? 1.0f : 0.0f, (i & 2) ? 0.75f : 0.25f, 0.0f);
    }
    return box;
}

// Two triangles in the XY plane with texture coordinates of their own.
TriObject* MakeQuad(StandinScene& scene, float width, float height)
{
    TriObject* quad = scene.Create<TriObject>();
    Mesh& mesh = quad->mesh;
    mesh.setNumVerts(4);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(width, 0.0f, 0.0f);
    mesh.verts[2] = Point3(width, height, 0.0f);
    mesh.verts[3] = Point3(0.0f, height, 0.0f);
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(2, 3, 0);
    mesh.faces[0].smGroup = mesh.faces[1].smGroup = 1;
    mesh.setNumTVerts(4);
    mesh.tVerts[0] = UVVert(0.0f, 0.0f, 0.0f);
    mesh.tVerts[1] = UVVert(2.0f, 0.0f, 0.0f);
    mesh.tVerts[2] = UVVert(2.0f, 0.5f, 0.0f);
    mesh.tVerts[3] = UVVert(0.0f, 0.5f, 0.0f);
    mesh.setNumTVFaces(2);
    mesh.tvFace[0].setTVerts(0, 1, 2);
    mesh.tvFace[1].setTVerts(2, 3, 0);
    return quad;
}

// A single triangle without texture coordinates.
TriObject* MakeTriangle(StandinScene& scene)
{
    TriObject* tri = scene.Create<TriObject>();
    Mesh& mesh = tri->mesh;
    mesh.setNumVerts(3);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(4.0f, 0.0f, 1.0f);
    mesh.verts[2] = Point3(0.0f, 3.0f, 2.0f);
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
    return tri;
}

}  // namespace

struct SampleScene::Parts {
    StandinScene scene;
    StandinInterface host;
    StandinExpInterface exporter{&scene};
};

SampleScene::SampleScene() : parts_(new Parts())
{
    StandinScene& scene = parts_->scene;

    StandinStdMat* brick = scene.Create<StandinStdMat>("Brick");
    brick->SetAmbient(Color(0.25f, 0.125f, 0.0625f));
    brick->SetDiffuse(Color(0.75f, 0.5f, 0.25f));
    brick->SetSpecular(Color(1.0f, 1.0f, 0.5f));
    brick->SetOpacity(0.875f);
    brick->SetMap(ID_DI, scene.Create<StandinBitmapTex>("C:\\maps\\walls\\brick.bmp"), 0.75f);
    brick->SetMap(ID_BU, scene.Create<StandinBitmapTex>("D:\\textures\\brick_bump.tga"), 0.5f);

    StandinStdMat* glass = scene.Create<StandinStdMat>("Glass");
    glass->SetFilter(Color(0.5f, 0.75f, 1.0f));
    glass->SetOpacity(0.25f);
    glass->SetMap(ID_OP, scene.Create<StandinBitmapTex>("glass_alpha.png"), 1.0f);
    glass->SetMap(ID_RL, scene.Create<StandinBitmapTex>("C:\\env\\sky.jpg"), 0.25f);

    const Point3 x(1.0f, 0.0f, 0.0f), y(0.0f, 1.0f, 0.0f), z(0.0f, 0.0f, 1.0f);
    // A quarter-ish turn about Z with an exact 3-4-5 rotation.
    const Point3 rx(0.6f, 0.8f, 0.0f), ry(-0.8f, 0.6f, 0.0f);

    StandinNode* box = scene.AddNode(nullptr, "Box");
    box->SetObject(MakeBox(scene, 10.0f));
    box->SetMtl(brick);
    box->SetLocalTM(Transform(rx, ry, z, Point3(100.0f, -50.0f, 25.0f)));
    box->SetObjectOffset(Transform(x, y, z, Point3(0.0f, 0.0f, 10.0f)));

    StandinNode* window = scene.AddNode(box, "Window");
    window->SetObject(MakeQuad(scene, 8.0f, 6.0f));
    window->SetMtl(glass);
    window->SetLocalTM(Transform(x, z, y * -1.0f, Point3(-4.0f, 10.5f, 0.0f)));
    window->SetObjectOffset(Matrix3(TRUE));

    StandinNode* shard = scene.AddNode(nullptr, "Shard");
    shard->SetObject(MakeTriangle(scene));
    shard->SetLocalTM(Transform(x * 2.0f, y * 2.0f, z * 0.5f, Point3(-30.0f, 40.0f, 0.0f)));
    shard->SetObjectOffset(Matrix3(TRUE));

    StandinNode* wall = scene.AddNode(nullptr, "Wall");
    wall->SetObject(MakeQuad(scene, 40.0f, 20.0f));
    wall->SetMtl(brick);
    wall->SetLocalTM(Transform(ry, rx * -1.0f, z, Point3(0.0f, 60.0f, 0.0f)));
    wall->SetObjectOffset(Matrix3(TRUE));

    StandinNode* anchor = scene.AddNode(box, "Anchor01");
    anchor->SetObject(scene.Create<StandinPointHelper>(12.5f));
    anchor->SetLocalTM(Transform(x * 3.0f, y, z * 2.0f, Point3(5.0f, 5.0f, 30.0f)));
    anchor->SetObjectOffset(Matrix3(TRUE));

    StandinNode* door = scene.AddNode(nullptr, "Door");
    door->SetObject(scene.Create<StandinPointHelper>(8.0f));
    door->SetLocalTM(Transform(rx, ry, z, Point3(-12.0f, 0.0f, 0.0f)));
    door->SetObjectOffset(Matrix3(TRUE));

    const float radii[2] = {30.0f, 75.0f};
    const Point3 centres[2] = {Point3(10.0f, 20.0f, 30.0f), Point3(-5.0f, 0.0f, 12.0f)};
    for (int s = 0; s < 2; ++s) {
        StandinNode* bound = scene.AddNode(nullptr, "GBND");
        bound->SetObject(scene.Create<StandinSphere>(radii[s], 16));
        bound->SetLocalTM(Transform(x, y, z, centres[s]));
        bound->SetObjectOffset(Matrix3(TRUE));
    }

    StandinNode* ellipsoid = scene.AddNode(nullptr, "GELP");
    ellipsoid->SetObject(scene.Create<StandinSphere>(20.0f, 16));
    ellipsoid->SetLocalTM(Transform(x * 2.0f, y, z * 0.5f, Point3(0.0f, 0.0f, 40.0f)));
    ellipsoid->SetObjectOffset(Matrix3(TRUE));

    StandinNode* camera = scene.AddNode(nullptr, "Camera01");
    camera->SetObject(scene.Create<StandinCamera>());
    camera->SetLocalTM(Matrix3(TRUE));
    camera->SetObjectOffset(Matrix3(TRUE));
}

SampleScene::~SampleScene() = default;

ExpInterface* SampleScene::exportInterface()
{
    return &parts_->exporter;
}

Interface* SampleScene::hostInterface()
{
    return &parts_->host;
}
