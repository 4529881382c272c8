// The stand-in scene: enumeration, transforms, evaluation and ownership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin/standin.h"

namespace {

class Recorder : public ITreeEnumProc {
public:
    explicit Recorder(std::string stopAt = "", int verdict = TREE_CONTINUE) : stopAt(stopAt), verdict(verdict) {}
    int callback(INode* node) override {
        names.push_back(node->GetName());
        return names.back() == stopAt ? verdict : TREE_CONTINUE;
    }
    std::vector<std::string> names;

private:
    std::string stopAt;
    int verdict;
};

// A(B(D, E), C(F)), G
void BuildThreeLevels(StandinScene& scene) {
    StandinNode* a = scene.AddNode(nullptr, "A");
    StandinNode* b = scene.AddNode(a, "B");
    StandinNode* c = scene.AddNode(a, "C");
    scene.AddNode(b, "D");
    scene.AddNode(b, "E");
    scene.AddNode(c, "F");
    scene.AddNode(nullptr, "G");
}

TEST(StandinScene, EnumTreeVisitsParentsFirstInChildOrder) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        const char* stopAt;
        int verdict;
        Names visited;
        int result;
    } cases[] = {
        {"everything", "", TREE_CONTINUE, {"A", "B", "D", "E", "C", "F", "G"}, 0},
        {"children of B skipped", "B", TREE_IGNORECHILDREN, {"A", "B", "C", "F", "G"}, 0},
        {"aborted at D", "D", TREE_ABORT, {"A", "B", "D"}, 1},
        {"aborted at the last node", "G", TREE_ABORT, {"A", "B", "D", "E", "C", "F", "G"}, 1},
    };
    StandinScene scene;
    BuildThreeLevels(scene);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder recorder(c.stopAt, c.verdict);
        EXPECT_EQ(scene.EnumTree(&recorder) != 0, c.result != 0);
        EXPECT_EQ(recorder.names, c.visited);
    }
    std::vector<std::string> all;
    const std::vector<StandinNode*> nodes = scene.AllNodes();
    for (StandinNode* node : nodes) all.push_back(node->Name());
    EXPECT_EQ(all, (Names{"A", "B", "D", "E", "C", "F", "G"}));
    EXPECT_EQ(nodes[5]->Parent(), nodes[4]);  // F below C
    EXPECT_EQ(nodes[0]->Parent(), nullptr);

    StandinScene empty;
    Recorder recorder;
    EXPECT_EQ(empty.EnumTree(&recorder), 0);
    EXPECT_TRUE(recorder.names.empty());
}

TEST(StandinScene, ObjectTransformIsOffsetThenLocalThenParents) {
    StandinScene scene;
    StandinNode* parent = scene.AddNode(nullptr, "parent");
    Matrix3 move(TRUE);
    move.SetTrans(Point3(10, 0, 0));
    parent->SetLocalTM(move);
    StandinNode* child = scene.AddNode(parent, "child");
    Matrix3 local(TRUE);
    local.Scale(Point3(2, 2, 2));
    local.Translate(Point3(1, 0, 0));
    child->SetLocalTM(local);
    move.SetTrans(Point3(0, 1, 0));
    child->SetObjectOffset(move);

    const Point3 world = Point3(1, 0, 0) * child->WorldTM();
    EXPECT_FLOAT_EQ(world.x, 13);
    // Origin: offset to (0, 1, 0), scaled to (0, 2, 0), moved by 1 and then by 10 along X.
    const Point3 origin = Point3(0, 0, 0) * child->GetObjTMAfterWSM(0);
    EXPECT_FLOAT_EQ(origin.x, 11);
    EXPECT_FLOAT_EQ(origin.y, 2);
    EXPECT_FLOAT_EQ(origin.z, 0);
}

// A helper at time 0 and an editable mesh from then on.
class ChangingObject : public HelperObject {
public:
    ObjectState Eval(TimeValue t) override { return t == 0 ? ObjectState(this) : ObjectState(&mesh); }
    TriObject mesh;
};

TEST(StandinScene, EvalWorldStateEvaluatesTheObjectAtTheTime) {
    StandinScene scene;
    StandinNode* node = scene.AddNode(nullptr, "node");
    EXPECT_EQ(node->EvalWorldState(0).obj, nullptr);

    ChangingObject* changing = scene.Create<ChangingObject>();
    node->SetObject(changing);
    EXPECT_EQ(node->EvalWorldState(0).obj->SuperClassID(), SClass_ID(HELPER_CLASS_ID));
    Object* later = node->EvalWorldState(4800).obj;
    EXPECT_EQ(later, &changing->mesh);
    EXPECT_EQ(later->SuperClassID(), SClass_ID(GEOMOBJECT_CLASS_ID));

    node->SetHidden(true);
    EXPECT_EQ(node->EvalWorldState(0).obj, changing);  // hidden nodes are evaluated by default
    EXPECT_EQ(node->EvalWorldState(0, FALSE).obj, nullptr);
}

class CountedObject : public GeomObject {
public:
    explicit CountedObject(int* destroyed) : destroyed(destroyed) {}
    ~CountedObject() override { ++*destroyed; }

private:
    int* destroyed;
};

class NamedNode : public StandinNode {
public:
    explicit NamedNode(const std::string& n) : StandinNode(n) {}
    TCHAR* GetName() override { return const_cast<TCHAR*>("renamed"); }
};

TEST(StandinScene, OwnsWhatItMakes) {
    int destroyed = 0;
    {
        StandinScene scene;
        scene.Create<CountedObject>(&destroyed);
        scene.Create<CountedObject>(&destroyed);
        NamedNode* custom = scene.AddNodeOf<NamedNode>(nullptr, "custom");
        scene.AddNode(custom, "child");
        Recorder recorder;
        scene.EnumTree(&recorder);
        EXPECT_EQ(recorder.names, (std::vector<std::string>{"renamed", "child"}));
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(StandinScene, ValidateNamesTheNodeWithABadMesh) {
    StandinScene scene;
    StandinNode* good = scene.AddNode(nullptr, "Good");
    good->SetObject(scene.Create<StandinSphere>(5.0f, 8));
    StandinNode* bad = scene.AddNode(good, "Bad");
    TriObject* tri = scene.Create<TriObject>();
    tri->mesh.setNumVerts(3);
    tri->mesh.setNumFaces(1);
    tri->mesh.faces[0].setVerts(0, 1, 3);
    bad->SetObject(tri);

    std::string error;
    EXPECT_TRUE(good->Validate(&error));
    EXPECT_FALSE(scene.Validate(&error));
    EXPECT_EQ(error, "node \"Bad\": face 0 uses vertex 3, but the mesh has 3 vertices");
    tri->mesh.faces[0].setVerts(0, 1, 2);
    EXPECT_TRUE(scene.Validate(&error));
}

TEST(StandinInterfaces, TimeAndScene) {
    EXPECT_EQ(StandinInterface().GetTime(), 0);
    StandinInterface ip(160);
    EXPECT_EQ(ip.GetTime(), 160);
    Interface* host = &ip;
    EXPECT_EQ(host->GetTime(), 160);
    EXPECT_EQ(ip.GetTimeCalls(), 2);

    StandinScene scene;
    StandinExpInterface ei(&scene);
    EXPECT_EQ(static_cast<ExpInterface&>(ei).theScene, &scene);
}

}  // namespace
