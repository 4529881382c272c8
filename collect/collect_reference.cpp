#include <cmath>
#include <memory>

#include "collect/distance.h"
#include "collect/node_collector.h"
#include "collect/node_name.h"
#include "collect/radius_parameter.h"
#include "model/export_model.h"

namespace {

// The helper's size: the float parameter with ID 0 of its second-generation block. A helper
// without a readable finite size counts as size 0: it still marks a place and an orientation.
float ReadHelperSize(Object* object) {
    float size = 0.0f;
    if (ReadSecondGenerationParameter(object, size) != ParameterRead::Read) return 0.0f;
    return std::isfinite(size) ? size : 0.0f;
}

bool AxisLengthUsable(float length) { return std::isfinite(length) && length > 0.0f; }

}  // namespace

void NodeCollector::CollectReference(INode* node) {
    const Matrix3 tm = node->GetObjTMAfterWSM(hostInterface->GetTime(), nullptr);
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    Matrix3 tm1;
    tm1.IdentityMatrix();
    const float size = ReadHelperSize(object);

    // Corners of the unit cube at the origin, and the three edges meeting at a.
    const Point3 a = Point3(-0.5f, -0.5f, -0.5f) * tm;
    const Point3 b = Point3(-0.5f, -0.5f, 0.5f) * tm;
    const Point3 c = Point3(-0.5f, 0.5f, -0.5f) * tm;
    const Point3 d = Point3(0.5f, -0.5f, -0.5f) * tm;
    const float lengthX = DistanceF32(a, d);
    const float lengthY = DistanceF32(a, c);
    const float lengthZ = DistanceF32(a, b);
    // An axis squashed to nothing (or a transform that is not finite) leaves no
    // direction to make unit length: such a helper is left out.
    const auto lost = [node] { RecordOutcome(OutcomeKind::HelperLost, NodeName(node)); };
    if (lengthX == 0.0f || lengthY == 0.0f || lengthZ == 0.0f)
        return RecordOutcome(OutcomeKind::NodePassedOver, NodeName(node), "helper scaled to zero");
    if (!AxisLengthUsable(lengthX) || !AxisLengthUsable(lengthY) || !AxisLengthUsable(lengthZ)) return lost();

    // Unit axes from tm, and the reference position a quarter of the size
    // along the helper's negative local Y axis from its origin.
    tm1.Translate(Point3(0.0f, StoreF32(static_cast<double>(size) * -0.25), 0.0f));
    tm1.Scale(Point3(StoreF32(1.0 / lengthX), StoreF32(1.0 / lengthY), StoreF32(1.0 / lengthZ)), FALSE);
    tm1 = tm1 * tm;

    float transform[4][4];
    for (int r = 0; r < 4; ++r) {
        const Point3 row = tm1.GetRow(r);
        transform[r][0] = row.x;
        transform[r][1] = row.y;
        transform[r][2] = row.z;
        transform[r][3] = 0.0f;
    }
    const float halfExtents[3] = {
        StoreF32(static_cast<double>(lengthX) / 2.0 * size),
        StoreF32(static_cast<double>(lengthY) / 2.0 * size),
        StoreF32(static_cast<double>(lengthZ) / 2.0 * size),
    };
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(transform[r][k])) return lost();
        }
    }
    for (float extent : halfExtents) {
        if (!std::isfinite(extent)) return lost();
    }

    auto entry = std::make_unique<ReferenceEntry>(NodeName(node));
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) entry->transform[r][k] = transform[r][k];
    }
    for (int k = 0; k < 3; ++k) entry->halfExtents[k] = halfExtents[k];
    currentModel->references->entries->append(std::move(entry));
}
