#include <cmath>
#include <memory>

#include "collect/distance.h"
#include "collect/node_collector.h"
#include "collect/node_route.h"
#include "collect/radius_parameter.h"
#include "model/export_model.h"

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
