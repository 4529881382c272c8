#include "host/standin/node.h"

#include "host/sdk/tri_object.h"
#include "host/standin/mesh_check.h"

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
