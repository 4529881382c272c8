// The two sphere routes, GBND and GELP, and the radius parameter they read.
#include <cmath>
#include <memory>
#include <string>

#include "collect/node_collector.h"
#include "collect/node_route.h"
#include "model/export_model.h"

ParameterRead ReadSecondGenerationParameter(Object* object, float& value) {
    if (object == nullptr) return ParameterRead::NoBlock;
    // Asked for through the calls that return that type, never by reinterpreting the
    // old-style block; a class may answer only one of the two.
    Animatable* animatable = object;
    IParamBlock2* block = animatable->GetParamBlockByID(0);
    if (block == nullptr) block = animatable->GetParamBlock(0);
    if (block == nullptr) return ParameterRead::NoBlock;
    Interval ivalid = FOREVER;
    const TimeValue t = hostInterface->GetTime();
    return block->GetValue(0, t, value, ivalid, 0) ? ParameterRead::Read : ParameterRead::Unreadable;
}

namespace {

// The radius of the sphere node's object at the current time: parameter ID 0 of its
// second-generation block, or for an object with no second-generation block at all, index 0
// of its old-style block. False, with radius untouched and the node noted as passed over, when
// the object is absent, has neither block, or the read fails or gives a value that is not finite.
bool ReadRadiusParameter(INode* node, const char* route, float& radius) {
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    float value = 0.0f;
    const ParameterRead second = ReadSecondGenerationParameter(object, value);
    bool read = second == ParameterRead::Read;
    // An object with parameters in a second-generation block may hand that block out as
    // its old-style one, cast to IParamArray; reading it as an array would be undefined.
    // Only an object with no such block at all has an old-style one to read.
    if (second == ParameterRead::NoBlock && object != nullptr && static_cast<Animatable*>(object)->NumParamBlocks() == 0) {
        IParamArray* parameters = object->GetParamBlock();
        // The array hands out the old-style block it belongs to, if it is one; a blind cast
        // would misread any other kind of parameter array.
        IParamBlock* block = parameters != nullptr ? parameters->GetParamBlock() : nullptr;
        Interval ivalid = FOREVER;
        read = block != nullptr && block->GetValue(0, hostInterface->GetTime(), value, ivalid);
    }
    if (read && std::isfinite(value)) {
        radius = value;
        return true;
    }
    RecordOutcome(OutcomeKind::NodePassedOver, route, std::string(route) + " node without a radius parameter");
    return false;
}

}  // namespace

void NodeCollector::CollectBoundSphere(INode* node) {
    const Matrix3 tm = node->GetObjTMAfterWSM(hostInterface->GetTime(), nullptr);
    // Without a readable radius the node marks no sphere and is left out.
    float localRadius = 0.0f;
    if (!ReadRadiusParameter(node, kBoundSphereNodeName, localRadius)) return;

    // The radius runs along the local Z axis only: scale along X or Y leaves it.
    const Point3 centre = tm * Point3(0.0f, 0.0f, 0.0f);
    const Point3 rim = tm * Point3(0.0f, 0.0f, localRadius);
    const float radius = DistanceF32(centre, rim);
    if (!IsFinitePoint(centre) || !std::isfinite(radius))
        return RecordOutcome(OutcomeKind::SphereLost, kBoundSphereNodeName, "bounding sphere");

    BoundChunk& bounds = *currentModel->bounds;
    BoundSphere& main = *bounds.mainSphere;
    const BoundSphere found(centre.x, centre.y, centre.z, radius);
    // Until a sphere with a radius arrives the main sphere is a placeholder,
    // filled in place.
    if (main.radius == 0.0f) {
        main = found;
        return;
    }
    auto sphere = std::make_unique<BoundSphere>(found);
    if (main.radius < radius) {
        // The displaced main sphere joins the list as a copy, so that a failed
        // append leaves the old main sphere in place rather than none.
        bounds.spheres->append(std::make_unique<BoundSphere>(main));
        bounds.mainSphere = std::move(sphere);
    } else {
        // Ties keep the earlier sphere as main.
        bounds.spheres->append(std::move(sphere));
    }
}

void NodeCollector::CollectEllipsoid(INode* node) {
    const Matrix3 tm = node->GetObjTMAfterWSM(hostInterface->GetTime(), nullptr);
    // Without a readable radius the node gives no ellipsoid; an earlier one stays.
    float radius = 0.0f;
    if (!ReadRadiusParameter(node, kEllipsoidNodeName, radius)) return;

    const Point3 a = Point3(0.0f, 0.0f, 0.0f) * tm;
    const Point3 b = Point3(radius, 0.0f, 0.0f) * tm;
    const Point3 c = Point3(0.0f, radius, 0.0f) * tm;
    const Point3 d = Point3(0.0f, 0.0f, radius) * tm;
    const float semiX = DistanceF32(a, b);
    const float semiY = DistanceF32(a, c);
    const float semiZ = DistanceF32(a, d);
    if (!IsFinitePoint(a) || !std::isfinite(semiX) || !std::isfinite(semiY) || !std::isfinite(semiZ))
        return RecordOutcome(OutcomeKind::SphereLost, kEllipsoidNodeName, "ellipsoid");
    // The last GELP node wins. The new record exists before the old one goes,
    // so running out of memory leaves the earlier ellipsoid in place.
    currentModel->ellipsoid = std::make_unique<EllipsoidChunk>(a.x, a.y, a.z, semiX, semiY, semiZ);
}
