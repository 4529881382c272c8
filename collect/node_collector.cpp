#include "collect/node_collector.h"

#include <cstring>
#include <memory>

#include "collect/node_route.h"
#include "model/export_model.h"

int NodeCollector::callback(INode* node) noexcept {
    // The host is built by another compiler: an exception must never unwind
    // through its frames. A node that cannot be collected fails the whole export,
    // so the walk stops here.
    try {
        ProcessNode(node);
        return TREE_CONTINUE;
    } catch (...) {
        collectionFailed = true;
        return TREE_ABORT;
    }
}

void NodeCollector::ProcessNode(INode* node) {
    // Outside an export there is no model to fill.
    if (node == nullptr || currentModel == nullptr || hostInterface == nullptr) return;

    // The route is decided by the object at time 0, whatever the current time.
    const ObjectState os = node->EvalWorldState(0, TRUE);
    const bool isHelper = os.obj != nullptr && os.obj->SuperClassID() == HELPER_CLASS_ID;
    // First match wins; a helper goes to the references whatever its name.
    if (isHelper) return CollectReference(node);
    if (std::strcmp(NodeName(node), kBoundSphereNodeName) == 0) return CollectBoundSphere(node);
    // Kept for the outcome's notes: the host is asked once for each name test, no more.
    const char* name = NodeName(node);
    if (std::strcmp(name, kEllipsoidNodeName) == 0) return CollectEllipsoid(node);

    BOOL Del = FALSE;
    TriObject* tri = ConvertToTriObject(node, Del);
    if (tri == nullptr) {
        if (os.obj == nullptr) return RecordOutcome(OutcomeKind::NodeWithoutObject, name, "no object");
        const SClass_ID kind = os.obj->SuperClassID();
        return RecordOutcome(OutcomeKind::NodePassedOver, name,
                             kind == CAMERA_CLASS_ID  ? "camera"
                             : kind == LIGHT_CLASS_ID ? "light"
                             : kind == SHAPE_CLASS_ID ? "shape, which makes no mesh"
                                                      : "no triangle mesh");
    }
    // An object the conversion made goes on every way out, a thrown out-of-memory included.
    const std::unique_ptr<TriObject> made(Del != FALSE ? tri : nullptr);

    // The material goes first, so a material that this mesh is the first to use
    // stands in the material list before the mesh stands in the mesh list.
    const int32_t materialIndex = CollectMaterial(node, name);
    const TimeValue t = hostInterface->GetTime();
    const Matrix3 objectToWorld = node->GetObjTMAfterWSM(t, nullptr);
    CollectMesh(name, tri, materialIndex, objectToWorld);
}

TriObject* ConvertToTriObject(INode* node, BOOL& Del) {
    Del = FALSE;
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    if (object == nullptr || !object->CanConvertToType(triObjectClassID)) return nullptr;
    Object* converted = object->ConvertToType(hostInterface->GetTime(), triObjectClassID);
    if (converted == nullptr) return nullptr;
    // The host's contract: a conversion to the triangle-mesh class gives a TriObject,
    // whatever its own class id (an editable mesh answers with itself).
    Del = converted != object ? TRUE : FALSE;
    return static_cast<TriObject*>(converted);
}
