// The two sphere routes, GBND and GELP, and the radius parameter they read.
#include <cmath>
#include <memory>

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

bool ReadRadiusParameter(Object* object, float& radius) {
    if (object == nullptr) return false;
    float value = 0.0f;
    const ParameterRead second = ReadSecondGenerationParameter(object, value);
    if (second == ParameterRead::Unreadable) return false;
    if (second == ParameterRead::NoBlock) {
        // An object with parameters in a second-generation block may hand that block out as
        // its old-style one, cast to IParamArray; reading it as an array would be undefined.
        // Only an object with no such block at all has an old-style one to read.
        Animatable* animatable = object;
        if (animatable->NumParamBlocks() != 0) return false;
        IParamArray* parameters = object->GetParamBlock();
        // The array hands out the old-style block it belongs to, if it is one; a blind cast
        // would misread any other kind of parameter array.
        IParamBlock* block = parameters != nullptr ? parameters->GetParamBlock() : nullptr;
        Interval ivalid = FOREVER;
        if (block == nullptr || !block->GetValue(0, hostInterface->GetTime(), value, ivalid)) return false;
    }
    if (!std::isfinite(value)) return false;
    radius = value;
    return true;
}

void NodeCollector::CollectBoundSphere(INode* node) {
    const Matrix3 tm = node->GetObjTMAfterWSM(hostInterface->GetTime(), nullptr);
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    // Without a readable radius the node marks no sphere and is left out.
    float localRadius = 0.0f;
    if (!ReadRadiusParameter(object, localRadius))
        return RecordOutcome(OutcomeKind::NodePassedOver, kBoundSphereNodeName, "GBND node without a radius parameter");

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
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    // Without a readable radius the node gives no ellipsoid; an earlier one stays.
    float radius = 0.0f;
    if (!ReadRadiusParameter(object, radius))
        return RecordOutcome(OutcomeKind::NodePassedOver, kEllipsoidNodeName, "GELP node without a radius parameter");

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
