#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "host/standin/standin.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

// What one node left in the model.
struct Outcome {
    int entries, meshes, materials;
    bool sphere, ellipsoid;
    bool operator==(const Outcome& o) const {
        return entries == o.entries && meshes == o.meshes && materials == o.materials && sphere == o.sphere &&
               ellipsoid == o.ellipsoid;
    }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "{entries " << o.entries << ", meshes " << o.meshes << ", materials " << o.materials
               << ", sphere " << o.sphere << ", ellipsoid " << o.ellipsoid << "}";
}

Outcome OutcomeOf(const ExportModel& model) {
    return {model.references->entries->count(), model.meshes->count(), model.materials->count(),
            model.bounds->mainSphere->radius != 0.0f, model.ellipsoid != nullptr};
}

enum class Kind { Helper, Primitive, Mesh, Camera, None };

// The route a node takes, by its object's kind and its name; every node here
// carries a standard material.
TEST(ProcessNode, FirstMatchingRouteWins) {
    struct RouteCase {
        Kind kind;
        const char* name;
        Outcome outcome;
    };
    const Outcome reference{1, 0, 0, false, false};
    const Outcome sphere{0, 0, 0, true, false};
    const Outcome ellipsoid{0, 0, 0, false, true};
    const Outcome mesh{0, 1, 1, false, false};
    const Outcome nothing{0, 0, 0, false, false};
    const RouteCase cases[] = {
        {Kind::Helper, "Point01", reference},
        {Kind::Helper, "GBND", reference},
        {Kind::Helper, "GELP", reference},
        {Kind::Primitive, "GBND", sphere},
        {Kind::Mesh, "GBND", nothing},  // a mesh has no radius block: no sphere, and no mesh either
        {Kind::Primitive, "GELP", ellipsoid},
        {Kind::Camera, "GBND", nothing},
        {Kind::None, "GELP", nothing},
        {Kind::Primitive, "gbnd", mesh},
        {Kind::Primitive, "GBND ", mesh},
        {Kind::Primitive, "GBND1", mesh},
        {Kind::Primitive, "Gelp", mesh},
        {Kind::Primitive, "", mesh},
        {Kind::Mesh, "Box01", mesh},
        {Kind::Camera, "Camera01", nothing},
        {Kind::None, "Empty", nothing},
    };
    for (const RouteCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        int deletions = 0;
        fake::ParamBlock2 size(nullptr, 10.0f);
        fake::ParamBlock radius(nullptr, 5.0f);
        fake::Helper helper(&size);
        fake::Primitive primitive(&radius, &deletions);
        fake::CountedTriObject tri(&deletions);
        fake::MakeOneTriangle(tri.mesh);
        fake::Camera camera;
        Object* objects[] = {&helper, &primitive, &tri, &camera, nullptr};
        fake::Node node(&log, c.name, objects[static_cast<int>(c.kind)]);
        StandinStdMat material("Paint");
        node.material = &material;

        EXPECT_EQ(NodeCollector().callback(&node), TREE_CONTINUE);
        EXPECT_EQ(OutcomeOf(scope.model), c.outcome) << "object " << static_cast<int>(c.kind) << " named \"" << c.name << "\"";
        for (const std::string& call : log) EXPECT_EQ(call.find("visible-only"), std::string::npos) << call;
    }
}

// The mesh route: helper test at time 0, the name asked for each test, then
// conversion, material and transform at fresh current times.
TEST(ProcessNode, MeshRouteCallOrder) {
    CallLog log;
    fake::ExportScope scope(&log);
    scope.host.advancing = true;
    int deletions = 0;
    fake::CountedTriObject tri(&deletions);
    fake::MakeOneTriangle(tri.mesh);
    fake::Node node(&log, "Box01", &tri);
    NodeCollector().ProcessNode(&node);
    const CallLog expected = {"EvalWorldState@0 hidden", "GetName", "GetName", "GetTime",
                              "EvalWorldState@160 hidden", "GetTime", "GetMtl", "GetTime", "GetObjTMAfterWSM@162"};
    EXPECT_EQ(log, expected);
}

TEST(ProcessNode, RoutedByTheObjectAtTimeZero) {
    CallLog log;
    int deletions = 0;
    fake::ParamBlock2 size(nullptr, 10.0f);
    fake::Helper helper(&size);
    fake::CountedTriObject tri(&deletions);
    fake::MakeOneTriangle(tri.mesh);
    {
        // A helper at time 0, a mesh at the current time: a reference entry.
        fake::ExportScope scope(&log);
        fake::Node node(&log, "Morph", &helper);
        node.atOther = &tri;
        NodeCollector().ProcessNode(&node);
        EXPECT_EQ(OutcomeOf(scope.model), (Outcome{1, 0, 0, false, false}));
        // Its size is read from the object at the current time, which has none.
        EXPECT_EQ(fake::Records<ReferenceEntry>(*scope.model.references->entries)[0]->halfExtents[0], 0.0f);
    }
    {
        // A mesh at time 0, a helper at the current time: the mesh route, which
        // finds nothing to convert.
        fake::ExportScope scope(&log);
        fake::Node node(&log, "Morph", &tri);
        node.atOther = &helper;
        NodeCollector().ProcessNode(&node);
        EXPECT_EQ(OutcomeOf(scope.model), (Outcome{0, 0, 0, false, false}));
    }
    {
        // At current time 0 both evaluations agree.
        fake::ExportScope scope(&log, 0);
        fake::Node node(&log, "Morph", &helper);
        node.atOther = &tri;
        NodeCollector().ProcessNode(&node);
        EXPECT_EQ(OutcomeOf(scope.model), (Outcome{1, 0, 0, false, false}));
    }
}

// A temporary mesh made by the conversion is deleted exactly once, after its
// record is built; the node's own mesh never.
TEST(ProcessNode, DeletesExactlyTheTemporaryMeshes) {
    CallLog log;
    fake::ExportScope scope(&log);
    int deletions = 0;
    fake::ParamBlock radius(nullptr, 5.0f);
    fake::Primitive primitive(&radius, &deletions);
    fake::Node converted(&log, "Sphere01", &primitive);
    NodeCollector collector;
    collector.ProcessNode(&converted);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(scope.model.meshes->count(), 1);

    {
        fake::CountedTriObject own(&deletions);
        fake::MakeOneTriangle(own.mesh);
        fake::Node node(&log, "Box01", &own);
        collector.ProcessNode(&node);
        EXPECT_EQ(deletions, 1);
        EXPECT_EQ(scope.model.meshes->count(), 2);
    }
    EXPECT_EQ(deletions, 2);  // the scene's own object, destroyed by its owner here

    BOOL Del = TRUE;
    fake::Node same(&log, "Box02", &primitive);
    TriObject* made = ConvertToTriObject(&same, Del);
    EXPECT_TRUE(Del);
    delete made;
    fake::Camera camera;
    fake::Node none(&log, "Camera01", &camera);
    Del = TRUE;
    EXPECT_EQ(ConvertToTriObject(&none, Del), nullptr);
    EXPECT_FALSE(Del);
}

// Running out of memory anywhere after the conversion still frees the temporary mesh.
TEST(ProcessNode, TemporaryMeshFreedWhenCollectionThrows) {
    // GetTime calls: 1 and 2 convert, 3 to 7 read the colours, 8 the transform.
    for (int failingCall : {3, 7, 8}) {
        CallLog log;
        fake::ExportScope scope(&log);
        int deletions = 0;
        fake::ParamBlock radius(nullptr, 5.0f);
        fake::Primitive primitive(&radius, &deletions);
        StandinStdMat material("Paint");
        fake::Node node(&log, "Sphere01", &primitive);
        node.material = &material;
        scope.host.throwAtCall = failingCall;
        EXPECT_THROW(NodeCollector().ProcessNode(&node), std::bad_alloc);
        EXPECT_EQ(deletions, 1) << failingCall;
        EXPECT_EQ(scope.model.meshes->count(), 0);
        EXPECT_EQ(scope.model.materials->count(), failingCall == 8 ? 1 : 0);
        EXPECT_EQ(scope.model.materialCount, scope.model.materials->count());
        EXPECT_EQ(scope.model.materialIndexByName.size(), static_cast<size_t>(scope.model.materialCount));
    }
}

// Nothing thrown while collecting may unwind into the host's walk: the callback stops
// the walk and marks the export failed, whatever was thrown.
TEST(NodeCollectorCallback, AnythingThrownStopsTheWalkAndFailsTheExport) {
    class ThrowingMaterial : public StandinStdMat {
    public:
        explicit ThrowingMaterial(int what) : what_(what) {}
        Color GetDiffuse(TimeValue t) override {
            if (what_ == 0) throw std::runtime_error("host failure");
            if (what_ == 1) throw 42;
            return StandinStdMat::GetDiffuse(t);
        }

    private:
        int what_;
    };
    // 0, 1: the material throws; 2: the host's time runs out of memory while converting.
    for (int what : {0, 1, 2}) {
        CallLog log;
        fake::ExportScope scope(&log);
        int deletions = 0;
        fake::ParamBlock radius(nullptr, 5.0f);
        fake::Primitive primitive(&radius, &deletions);
        ThrowingMaterial material(what);
        fake::Node node(&log, "Sphere01", &primitive);
        node.material = &material;
        if (what == 2) scope.host.throwAtCall = 2;
        collectionFailed = false;
        EXPECT_EQ(NodeCollector().callback(&node), TREE_ABORT) << what;
        EXPECT_TRUE(collectionFailed) << what;
        EXPECT_EQ(deletions, what == 2 ? 0 : 1) << what;
        EXPECT_EQ(scope.model.meshes->count(), 0) << what;
        collectionFailed = false;
    }
}

// The host's own mesh objects: an editable mesh is a TriObject of a class of its own that
// converts to itself; an editable poly converts to a new TriObject of its polygons fanned.
TEST(ProcessNode, EditableMeshAndEditablePolyBecomeMeshes) {
    CallLog log;
    fake::ExportScope scope(&log);

    StandinEditableMesh editableMesh;
    fake::MakeOneTriangle(editableMesh.mesh);
    fake::Node meshNode(&log, "Box01", &editableMesh);
    BOOL Del = TRUE;
    EXPECT_EQ(ConvertToTriObject(&meshNode, Del), &editableMesh);
    EXPECT_FALSE(Del);

    // A quad and a pentagon, with texture polygons: 2 + 3 triangles.
    StandinPolyData data;
    data.verts = {Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 0.0f),
                  Point3(0.0f, 1.0f, 0.0f), Point3(2.0f, 0.0f, 0.0f), Point3(3.0f, 1.0f, 0.0f),
                  Point3(2.0f, 2.0f, 0.0f)};
    data.polygons = {{0, 1, 2, 3}, {1, 4, 5, 6, 2}};
    for (int i = 0; i < 9; ++i) data.tverts.push_back(UVVert(0.125f * float(i), 0.0f, 0.0f));
    data.tvPolygons = {{8, 7, 6, 5}, {0, 1, 2, 3, 4}};
    StandinEditablePoly editablePoly;
    ASSERT_TRUE(editablePoly.SetPolygons(data, "Poly01").ok());
    fake::Node polyNode(&log, "Poly01", &editablePoly);

    const long alive = StandinTriObjectsAlive();
    NodeCollector collector;
    EXPECT_EQ(collector.callback(&meshNode), TREE_CONTINUE);
    EXPECT_EQ(collector.callback(&polyNode), TREE_CONTINUE);
    EXPECT_EQ(StandinTriObjectsAlive(), alive);  // the poly's mesh was deleted, the editable mesh kept

    const auto meshes = fake::Records<VertexChunk>(*scope.model.meshes);
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(meshes[0]->faceCount, 1);
    ASSERT_EQ(meshes[1]->faceCount, 5);
    // Fans from each polygon's first corner, in polygon order.
    const int fans[5][3] = {{0, 1, 2}, {0, 2, 3}, {1, 4, 5}, {1, 5, 6}, {1, 6, 2}};
    const int tvFans[5][3] = {{8, 7, 6}, {8, 6, 5}, {0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    for (int f = 0; f < 5; ++f) {
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& corner = meshes[1]->vertices[3 * f + k];
            const Point3& expected = data.verts[fans[f][k]];
            EXPECT_EQ(corner.x, expected.x) << f << " " << k;
            EXPECT_EQ(corner.y, expected.y) << f << " " << k;
            EXPECT_EQ(corner.u, data.tverts[tvFans[f][k]].x) << f << " " << k;
        }
    }
}

// Polygons the editable poly refuses, with a message naming the node; it keeps what it had.
TEST(StandinEditablePoly, RefusesInconsistentPolygons) {
    struct BadCase {
        const char* what;
        std::vector<std::vector<DWORD>> polygons;
        size_t tverts;
        std::vector<std::vector<DWORD>> tvPolygons;
        const char* message;
    };
    const BadCase cases[] = {
        {"two corners", {{0, 1, 2}, {0, 1}}, 0, {}, "polygon 1 has 2 corners, fewer than 3"},
        {"vertex out of range", {{0, 1, 4}}, 0, {}, "polygon 0 uses vertex 4, but the mesh has 4 vertices"},
        {"texture polygons missing", {{0, 1, 2}}, 3, {}, "the mesh has 3 texture vertices but 0 texture polygons for 1 polygons"},
        {"texture polygon size", {{0, 1, 2, 3}}, 4, {{0, 1, 2}}, "texture polygon 0 has 3 corners, its polygon 4"},
        {"texture vertex out of range", {{0, 1, 2}}, 2, {{0, 1, 2}}, "texture polygon 0 uses texture vertex 2"},
    };
    for (const BadCase& c : cases) {
        StandinPolyData good;
        good.verts.assign(3, Point3(0.0f, 0.0f, 0.0f));
        good.polygons = {{0, 1, 2}};
        StandinEditablePoly poly;
        ASSERT_TRUE(poly.SetPolygons(good, "P").ok());
        StandinPolyData bad;
        bad.verts.assign(4, Point3(0.0f, 0.0f, 0.0f));
        bad.polygons = c.polygons;
        bad.tverts.assign(c.tverts, UVVert(0.0f, 0.0f, 0.0f));
        bad.tvPolygons = c.tvPolygons;
        const StandinMeshError error = poly.SetPolygons(bad, "P");
        EXPECT_FALSE(error.ok()) << c.what;
        EXPECT_NE(error.message.find(std::string("node \"P\": ") + c.message), std::string::npos)
            << c.what << ": " << error.message;
        EXPECT_EQ(poly.Polygons().polygons.size(), 1u) << c.what;
    }
}

TEST(ProcessNode, OutsideAnExportNothingHappens) {
    CallLog log;
    fake::ParamBlock2 size(nullptr, 10.0f);
    fake::Helper helper(&size);
    fake::Node node(&log, "Point", &helper);
    EXPECT_EQ(NodeCollector().callback(&node), TREE_CONTINUE);
    EXPECT_TRUE(log.empty());
}

}  // namespace
