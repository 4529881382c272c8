#include <gtest/gtest.h>

#include <new>
#include <string>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "host/standin/std_mat.h"
#include "model/bound_chunk.h"
#include "model/ellipsoid_chunk.h"
#include "model/reference_chunk.h"

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

// A conversion that hands back an object of another class is not used as a mesh.
TEST(ProcessNode, ConversionToAnotherClassGivesNoMesh) {
    class Liar : public GeomObject {
    public:
        explicit Liar(int* deletions) : deletions_(deletions) {}
        int CanConvertToType(Class_ID) override { return TRUE; }
        Object* ConvertToType(TimeValue, Class_ID) override { return new Counted(deletions_); }

    private:
        class Counted : public fake::Camera {
        public:
            explicit Counted(int* d) : d_(d) {}
            ~Counted() override { ++*d_; }

        private:
            int* d_;
        };
        int* deletions_;
    };
    CallLog log;
    fake::ExportScope scope(&log);
    int deletions = 0;
    Liar liar(&deletions);
    fake::Node node(&log, "Odd", &liar);
    NodeCollector().ProcessNode(&node);
    EXPECT_EQ(scope.model.meshes->count(), 0);
    EXPECT_EQ(deletions, 1);
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
