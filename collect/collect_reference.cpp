#include <cmath>
#include <memory>

#include "collect/node_collector.h"
#include "model/export_model.h"

namespace {

// The helper's size: the float parameter with ID 0 of its second-generation block. A helper
// without a readable finite size counts as size 0: it still marks a place and an orientation.
float ReadHelperSize(Object* object) {
    float size = 0.0f;
    return ReadSecondGenerationParameter(object, size) == ParameterRead::Read ? FiniteOrZero(size) : 0.0f;
}

}  // namespace

void NodeCollector::CollectReference(INode* node) {
    const Matrix3 tm = node->GetObjTMAfterWSM(hostInterface->GetTime(), nullptr);
    Object* object = node->EvalWorldState(hostInterface->GetTime(), TRUE).obj;
    const float size = ReadHelperSize(object);

    // Corners of the unit cube at the origin, and the three edges meeting at a.
    const Point3 a = Point3(-0.5f, -0.5f, -0.5f) * tm;
    const Point3 b = Point3(-0.5f, -0.5f, 0.5f) * tm;
    const Point3 c = Point3(-0.5f, 0.5f, -0.5f) * tm;
    const Point3 d = Point3(0.5f, -0.5f, -0.5f) * tm;
    const float lengths[3] = {DistanceF32(a, d), DistanceF32(a, c), DistanceF32(a, b)};
    const char* name = NodeName(node);
    // An axis squashed to nothing (or a transform that is not finite) leaves no
    // direction to make unit length: such a helper is left out.
    if (lengths[0] == 0.0f || lengths[1] == 0.0f || lengths[2] == 0.0f)
        return RecordOutcome(OutcomeKind::NodePassedOver, name, "helper scaled to zero");

    // Unit axes from tm, and the reference position a quarter of the size
    // along the helper's negative local Y axis from its origin.
    Matrix3 tm1;
    tm1.IdentityMatrix();
    tm1.Translate(Point3(0.0f, StoreF32(static_cast<double>(size) * -0.25), 0.0f));
    tm1.Scale(Point3(StoreF32(1.0 / lengths[0]), StoreF32(1.0 / lengths[1]), StoreF32(1.0 / lengths[2])), FALSE);
    tm1 = tm1 * tm;

    auto entry = std::make_unique<ReferenceEntry>(name);
    bool finite = true;
    for (int r = 0; r < 4; ++r) {
        const Point3 row = tm1.GetRow(r);
        finite = finite && IsFinitePoint(row);
        entry->transform[r][0] = row.x;
        entry->transform[r][1] = row.y;
        entry->transform[r][2] = row.z;
        entry->transform[r][3] = 0.0f;
    }
    // A length that is not finite makes its extent so, whatever the size.
    for (int k = 0; k < 3; ++k) {
        entry->halfExtents[k] = StoreF32(static_cast<double>(lengths[k]) / 2.0 * size);
        finite = finite && std::isfinite(entry->halfExtents[k]);
    }
    if (!finite) return RecordOutcome(OutcomeKind::HelperLost, name);
    currentModel->references->entries->append(std::move(entry));
}
