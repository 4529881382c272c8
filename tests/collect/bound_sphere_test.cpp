#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

// Collects one "GBND" node per radius, the i-th sitting at x = i, while the host's time moves on.
void CollectSpheres(fake::ExportScope& scope, CallLog& log, const std::vector<float>& radii) {
    scope.host.ticking = true;
    int deletions = 0;
    for (size_t i = 0; i < radii.size(); ++i) {
        fake::ParamBlock block(nullptr, radii[i]);
        fake::Primitive sphere(&block, &deletions);
        fake::Node node(&log, "GBND", &sphere);
        node.tm = fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {float(i), 0, 0});
        NodeCollector().CollectBoundSphere(&node);
    }
}

struct Sphere {
    float x, radius;
};

TEST(CollectBoundSphere, LargestIsMainOthersListedAsDisplacedOrTurnedAway) {
    struct OrderCase {
        std::vector<float> radii;
        Sphere main;
        std::vector<Sphere> list;
    };
    const OrderCase cases[] = {
        {{10}, {0, 10}, {}},
        {{2, 5, 3}, {1, 5}, {{0, 2}, {2, 3}}},
        {{5, 2, 7}, {2, 7}, {{1, 2}, {0, 5}}},
        {{4, 4}, {0, 4}, {{1, 4}}},               // a tie keeps the earlier sphere
        {{0, 5}, {1, 5}, {}},                     // radius 0 only fills the placeholder
        {{5, 0}, {0, 5}, {{1, 0}}},
        {{1, 2, 3, 4}, {3, 4}, {{0, 1}, {1, 2}, {2, 3}}},
    };
    for (const OrderCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        CollectSpheres(scope, log, c.radii);
        const BoundChunk& bounds = *scope.model.bounds;
        EXPECT_EQ(bounds.mainSphere->x, c.main.x);
        EXPECT_EQ(bounds.mainSphere->radius, c.main.radius);
        auto list = fake::Records<BoundSphere>(*bounds.spheres);
        ASSERT_EQ(list.size(), c.list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i]->x, c.list[i].x) << i;
            EXPECT_EQ(list[i]->radius, c.list[i].radius) << i;
        }
    }
}

// Every query is made at a time asked of the host right before it: with the host's time
// moving on at each query, the sphere is still the node's.
TEST(CollectBoundSphere, RadiusFollowsTheLocalZAxisOnly) {
    struct ScaleCase {
        Matrix3 tm;
        float x, y, z, radius;
    };
    const ScaleCase cases[] = {
        {fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}), 1, 2, 3, 10},
        {fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {0, 0, 0}), 0, 0, 0, 20},
        {fake::Transform({3, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), 0, 0, 0, 10},
        {fake::Transform({2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {0, 0, 0}), 0, 0, 0, 20},
        {fake::Transform({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {4, 5, 6}), 4, 5, 6, 10},  // rotated
    };
    for (const ScaleCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        scope.host.ticking = true;
        int deletions = 0;
        fake::ParamBlock block(nullptr, 10.0f);
        fake::Primitive sphere(&block, &deletions);
        fake::Node node(&log, "GBND", &sphere);
        node.tm = c.tm;
        NodeCollector().CollectBoundSphere(&node);
        EXPECT_TRUE(block.intervalWasForever);
        const BoundSphere& main = *scope.model.bounds->mainSphere;
        EXPECT_EQ(main.x, c.x);
        EXPECT_EQ(main.y, c.y);
        EXPECT_EQ(main.z, c.z);
        EXPECT_FLOAT_EQ(main.radius, c.radius);
        EXPECT_EQ(deletions, 0);
    }
}

// A node without a readable, finite radius or centre marks no sphere.
TEST(CollectBoundSphere, LeavesOutNodesWithoutAUsableSphere) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    enum class Block { Readable, Unreadable, NotOldStyle, None };
    struct SkipCase {
        const char* what;
        Block block;
        float radius;
        bool hasObject;
        Matrix3 tm;
    };
    const SkipCase cases[] = {
        {"no object", Block::Readable, 10, false, Matrix3(TRUE)},
        {"no parameter block", Block::None, 10, true, Matrix3(TRUE)},
        {"parameter array that is no old-style block", Block::NotOldStyle, 10, true, Matrix3(TRUE)},
        {"radius cannot be read", Block::Unreadable, 10, true, Matrix3(TRUE)},
        {"radius NaN", Block::Readable, nan, true, Matrix3(TRUE)},
        {"radius infinite", Block::Readable, inf, true, Matrix3(TRUE)},
        {"centre not finite", Block::Readable, 10, true, fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {inf, 0, 0})},
        {"radius overflows", Block::Readable, 3e38f, true, fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 3e38f}, {0, 0, 0})},
    };
    for (const SkipCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        CollectSpheres(scope, log, {4});  // an earlier sphere stays as it is
        int deletions = 0;
        fake::ParamBlock readable(nullptr, c.radius);
        fake::ParamBlock unreadable(nullptr, c.radius, FALSE);
        fake::PlainParamArray plain;
        IParamArray* block = c.block == Block::Readable ? static_cast<IParamArray*>(&readable)
                             : c.block == Block::Unreadable ? static_cast<IParamArray*>(&unreadable)
                             : c.block == Block::NotOldStyle ? &plain
                                                             : nullptr;
        fake::Primitive sphere(block, &deletions);
        fake::Node node(&log, "GBND", c.hasObject ? &sphere : nullptr);
        node.tm = c.tm;
        NodeCollector().CollectBoundSphere(&node);
        EXPECT_EQ(scope.model.bounds->mainSphere->radius, 4.0f) << c.what;
        EXPECT_EQ(scope.model.bounds->spheres->count(), 0) << c.what;
    }
}

}  // namespace
