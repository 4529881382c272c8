#include <gtest/gtest.h>

#include <limits>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

void CollectEllipsoidAt(CallLog& log, const Matrix3& tm, IParamArray* block, bool hasObject = true) {
    int deletions = 0;
    fake::Primitive sphere(block, &deletions);
    fake::Node node(&log, "GELP", hasObject ? &sphere : nullptr);
    node.tm = tm;
    NodeCollector().CollectEllipsoid(&node);
}

TEST(CollectEllipsoid, CentreIsTheOriginAndSemiAxesTheScaledRadius) {
    struct EllipsoidCase {
        const char* what;
        Matrix3 tm;
        float radius;
        float centre[3];
        float semiAxes[3];
    };
    const EllipsoidCase cases[] = {
        {"translated", fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}), 5, {1, 2, 3}, {5, 5, 5}},
        {"scaled (2, 1, 0.5)", fake::Transform({2, 0, 0}, {0, 1, 0}, {0, 0, 0.5f}, {0, 0, 0}), 4, {0, 0, 0}, {8, 4, 2}},
        {"rotated", fake::Transform({0, 2, 0}, {-1, 0, 0}, {0, 0, 0.5f}, {1, 2, 3}), 4, {1, 2, 3}, {8, 4, 2}},
        {"negative radius", fake::Transform({2, 0, 0}, {0, 1, 0}, {0, 0, 0.5f}, {0, 0, 0}), -4, {0, 0, 0}, {8, 4, 2}},
        {"radius 0", fake::Transform({2, 0, 0}, {0, 1, 0}, {0, 0, 0.5f}, {6, 7, 8}), 0, {6, 7, 8}, {0, 0, 0}},
    };
    for (const EllipsoidCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        // Every query at a time asked of the host right before it, while the time moves on.
        scope.host.ticking = true;
        fake::ParamBlock block(nullptr, c.radius);
        CollectEllipsoidAt(log, c.tm, &block);
        EXPECT_TRUE(block.intervalWasForever);
        ASSERT_NE(scope.model.ellipsoid, nullptr) << c.what;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(scope.model.ellipsoid->centre[k], c.centre[k]) << c.what;
            EXPECT_FLOAT_EQ(scope.model.ellipsoid->semiAxes[k], c.semiAxes[k]) << c.what;
        }
    }
}

TEST(CollectEllipsoid, LastNodeWinsEvenWithRadiusZero) {
    CallLog log;
    fake::ExportScope scope(&log);
    fake::ParamBlock first(nullptr, 5.0f);
    fake::ParamBlock second(nullptr, 0.0f);
    CollectEllipsoidAt(log, fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}), &first);
    CollectEllipsoidAt(log, fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {2, 0, 0}), &second);
    ASSERT_NE(scope.model.ellipsoid, nullptr);
    EXPECT_EQ(scope.model.ellipsoid->centre[0], 2.0f);
    EXPECT_EQ(scope.model.ellipsoid->semiAxes[0], 0.0f);
}

// Without a readable finite radius the node gives nothing and an earlier
// ellipsoid stays.
TEST(CollectEllipsoid, UnusableNodeKeepsTheEarlierEllipsoid) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    CallLog log;
    fake::ExportScope scope(&log);
    fake::ParamBlock good(nullptr, 5.0f);
    CollectEllipsoidAt(log, Matrix3(TRUE), &good);

    fake::ParamBlock unreadable(nullptr, 5.0f, FALSE);
    fake::ParamBlock nanRadius(nullptr, nan);
    fake::PlainParamArray plain;
    CollectEllipsoidAt(log, Matrix3(TRUE), &good, /*hasObject=*/false);
    CollectEllipsoidAt(log, Matrix3(TRUE), nullptr);
    CollectEllipsoidAt(log, Matrix3(TRUE), &plain);
    CollectEllipsoidAt(log, Matrix3(TRUE), &unreadable);
    CollectEllipsoidAt(log, Matrix3(TRUE), &nanRadius);
    CollectEllipsoidAt(log, fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {nan, 0, 0}), &good);
    CollectEllipsoidAt(log, fake::Transform({inf, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), &good);

    ASSERT_NE(scope.model.ellipsoid, nullptr);
    EXPECT_EQ(scope.model.ellipsoid->semiAxes[0], 5.0f);
    EXPECT_EQ(scope.model.ellipsoid->centre[0], 0.0f);
}

}  // namespace
