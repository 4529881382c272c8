#include <cmath>
#include <memory>

#include "collect/distance.h"
#include "collect/node_collector.h"
#include "collect/node_route.h"
#include "collect/radius_parameter.h"
#include "model/export_model.h"

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
