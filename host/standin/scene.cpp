#include "host/standin/scene.h"

#include "host/sdk/tri_object.h"
#include "host/standin/mesh_check.h"

namespace {

// The host is built by another compiler and cannot let a C++ exception unwind through
// its frames. The stand-in calls back through a noexcept boundary, so that an exception
// escaping a callback ends the process here as it would there.
int CallBack(ITreeEnumProc* proc, INode* node) noexcept { return proc->callback(node); }

}  // namespace

StandinScene::~StandinScene() {
    // Latest first, so nothing outlives what was made before it.
    while (!owned.empty()) owned.pop_back();
}

void StandinScene::Link(StandinNode* parent, StandinNode* node) {
    node->parent = parent;
    (parent ? parent->children : top).push_back(node);
}

int StandinScene::EnumTree(ITreeEnumProc* proc) {
    // Depth first, pre-order: children pushed in reverse so the first child comes out first.
    std::vector<StandinNode*> pending(top.rbegin(), top.rend());
    while (!pending.empty()) {
        StandinNode* node = pending.back();
        pending.pop_back();
        const int result = CallBack(proc, node);
        if (result == TREE_ABORT) return 1;
        if (result == TREE_IGNORECHILDREN) continue;
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return 0;
}

std::vector<StandinNode*> StandinScene::AllNodes() const {
    std::vector<StandinNode*> all;
    std::vector<StandinNode*> pending(top.rbegin(), top.rend());
    while (!pending.empty()) {
        StandinNode* node = pending.back();
        pending.pop_back();
        all.push_back(node);
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return all;
}

bool StandinScene::Validate(std::string* error) const {
    for (StandinNode* node : AllNodes())
        if (!node->Validate(error)) return false;
    return true;
}

StandinNode::StandinNode(const std::string& n) : name(n), localTM(TRUE), objectOffset(TRUE) {}

const ObjectState& StandinNode::EvalWorldState(TimeValue time, BOOL evalHidden) {
    if (!object || (hidden && !evalHidden))
        state = ObjectState();
    else
        state = object->Eval(time);
    return state;
}

Matrix3 StandinNode::WorldTM() const {
    Matrix3 world = localTM;
    for (const StandinNode* up = parent; up; up = up->parent) world = world * up->localTM;
    return world;
}

Matrix3 StandinNode::GetObjTMAfterWSM(TimeValue, Interval*) { return objectOffset * WorldTM(); }

bool StandinNode::Validate(std::string* error) {
    if (!object) return true;
    Object* evaluated = object->Eval(0).obj;
    for (Object* obj : {object, evaluated}) {
        TriObject* tri = dynamic_cast<TriObject*>(obj);
        if (!tri) continue;
        StandinMeshError problem = StandinCheckMesh(tri->mesh, name);
        if (!problem.ok()) {
            if (error) *error = problem.message;
            return false;
        }
    }
    return true;
}
