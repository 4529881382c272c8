#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

struct HelperCase {
    const char* what;
    Matrix3 tm;
    float size;
    float rows[4][3];
    float halfExtents[3];
};

const float kCos30 = std::sqrt(3.0f) / 2.0f;

std::vector<HelperCase> HelperCases() {
    return {
        {"identity, size 20", Matrix3(TRUE), 20.0f, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, -5, 0}}, {10, 10, 10}},
        {"translated and scaled (2, 3, 4), size 10",
         fake::Transform({2, 0, 0}, {0, 3, 0}, {0, 0, 4}, {4, 5, 6}), 10.0f,
         {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {4, -2.5f, 6}}, {10, 15, 20}},
        {"rotated 90 degrees about Z, scaled 2", fake::Transform({0, 2, 0}, {-2, 0, 0}, {0, 0, 2}, {1, 2, 3}), 8.0f,
         {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {5, 2, 3}}, {8, 8, 8}},
        {"rotated 30 degrees about X", fake::Transform({1, 0, 0}, {0, kCos30, 0.5f}, {0, -0.5f, kCos30}, {0, 0, 0}),
         4.0f, {{1, 0, 0}, {0, kCos30, 0.5f}, {0, -0.5f, kCos30}, {0, -kCos30, -0.5f}}, {2, 2, 2}},
        {"mirrored in X", fake::Transform({-2, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), 10.0f,
         {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, -2.5f, 0}}, {10, 5, 5}},
        {"size 0", fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {7, 8, 9}), 0.0f,
         {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {7, 8, 9}}, {0, 0, 0}},
        {"negative size", Matrix3(TRUE), -4.0f, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 0}}, {-2, -2, -2}},
    };
}

// With the host's time moving on at each query: every query is made at a time asked of the
// host right before it.
TEST(CollectReference, FillsUnitAxesShiftedPositionAndHalfExtents) {
    for (const HelperCase& c : HelperCases()) {
        CallLog log;
        fake::ExportScope scope(&log);
        scope.host.ticking = true;
        fake::ParamBlock2 block(nullptr, c.size);
        fake::Helper helper(&block);
        fake::Node node(&log, "Dummy01", &helper);
        node.tm = c.tm;
        NodeCollector().CollectReference(&node);
        EXPECT_TRUE(block.intervalWasForever);

        auto entries = fake::Records<ReferenceEntry>(*scope.model.references->entries);
        ASSERT_EQ(entries.size(), 1u) << c.what;
        EXPECT_EQ(entries[0]->name, "Dummy01");
        for (int r = 0; r < 4; ++r) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(entries[0]->transform[r][k], c.rows[r][k], 1e-6) << c.what << " [" << r << "][" << k << "]";
            }
            EXPECT_EQ(entries[0]->transform[r][3], 0.0f) << c.what;
        }
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(entries[0]->halfExtents[k], c.halfExtents[k]) << c.what;
    }
}

TEST(CollectReference, IdentityHelperIsExact) {
    CallLog log;
    fake::ExportScope scope(&log);
    fake::ParamBlock2 block(nullptr, 20.0f);
    fake::Helper helper(&block);
    fake::Node node(&log, "Point", &helper);
    NodeCollector().CollectReference(&node);
    const ReferenceEntry& e = *fake::Records<ReferenceEntry>(*scope.model.references->entries)[0];
    const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, -5, 0, 0}};
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) EXPECT_EQ(e.transform[r][k], expected[r][k]);
    }
}

// A helper whose size cannot be read still marks its place: size 0.
TEST(CollectReference, UnreadableSizeCountsAsZero) {
    struct SizeCase {
        const char* what;
        bool hasBlock;
        BOOL readable;
        float value;
        bool objectAtCurrentTime;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const SizeCase cases[] = {
        {"no second-generation block", false, TRUE, 20.0f, true},
        {"read fails", true, FALSE, 20.0f, true},
        {"size is NaN", true, TRUE, nan, true},
        {"size is infinite", true, TRUE, inf, true},
        {"no object at the current time", true, TRUE, 20.0f, false},
    };
    for (const SizeCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        fake::ParamBlock2 block(nullptr, c.value, c.readable);
        fake::Helper helper(c.hasBlock ? &block : nullptr);
        fake::Node node(&log, "Point", &helper);
        if (!c.objectAtCurrentTime) node.atOther = nullptr;
        node.tm = fake::Transform({2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 2, 3});
        NodeCollector().CollectReference(&node);

        auto entries = fake::Records<ReferenceEntry>(*scope.model.references->entries);
        ASSERT_EQ(entries.size(), 1u) << c.what;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(entries[0]->halfExtents[k], 0.0f) << c.what;
        EXPECT_EQ(entries[0]->transform[3][0], 1.0f) << c.what;
        EXPECT_EQ(entries[0]->transform[3][1], 2.0f) << c.what;
        EXPECT_EQ(entries[0]->transform[3][2], 3.0f) << c.what;
        EXPECT_EQ(entries[0]->transform[0][0], 1.0f) << c.what;
    }
}

TEST(CollectReference, FindsABlockOfferedOnlyById) {
    CallLog log;
    fake::ExportScope scope(&log);
    fake::ParamBlock2 block(nullptr, 20.0f);
    fake::Helper helper(&block, /*byIdOnly=*/true);
    fake::Node node(&log, "Point", &helper);
    NodeCollector().CollectReference(&node);
    EXPECT_EQ(fake::Records<ReferenceEntry>(*scope.model.references->entries)[0]->halfExtents[0], 10.0f);
}

// Nothing that is not finite may reach the file: such helpers are left out.
TEST(CollectReference, LeavesOutHelpersWithoutAFiniteFrame) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct FrameCase {
        const char* what;
        Matrix3 tm;
        float size;
    };
    const FrameCase cases[] = {
        {"flattened along Y", fake::Transform({1, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 0}), 20.0f},
        {"scaled to a point", fake::Transform({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}), 20.0f},
        {"NaN in the translation", fake::Transform({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {nan, 0, 0}), 20.0f},
        {"NaN in an axis", fake::Transform({1, nan, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), 20.0f},
        {"half extents overflow", fake::Transform({1e30f, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), 1e30f},
        {"axis too short to invert", fake::Transform({1e-40f, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), 1.0f},
    };
    for (const FrameCase& c : cases) {
        CallLog log;
        fake::ExportScope scope(&log);
        fake::ParamBlock2 block(nullptr, c.size);
        fake::Helper helper(&block);
        fake::Node node(&log, "Point", &helper);
        node.tm = c.tm;
        NodeCollector().CollectReference(&node);
        EXPECT_EQ(scope.model.references->entries->count(), 0) << c.what;
    }
}

TEST(CollectReference, SameNamesGiveEntriesInVisitingOrder) {
    CallLog log;
    fake::ExportScope scope(&log);
    fake::ParamBlock2 small(nullptr, 2.0f);
    fake::ParamBlock2 large(nullptr, 4.0f);
    fake::Helper first(&small);
    fake::Helper second(&large);
    fake::Node a(&log, "Twin", &first);
    fake::Node b(&log, "Twin", &second);
    NodeCollector collector;
    collector.CollectReference(&a);
    collector.CollectReference(&b);
    auto entries = fake::Records<ReferenceEntry>(*scope.model.references->entries);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]->name, "Twin");
    EXPECT_EQ(entries[1]->name, "Twin");
    EXPECT_EQ(entries[0]->halfExtents[0], 1.0f);
    EXPECT_EQ(entries[1]->halfExtents[0], 2.0f);
}

}  // namespace
