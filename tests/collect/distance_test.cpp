#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "collect/node_collector.h"

namespace {

// Round to nearest at the top of the f32 range: just above FLT_MAX is still FLT_MAX,
// and only from half an ulp above it (the tie rounds to the even infinity) on is a
// value too large.
TEST(StoreF32, RoundsToNearestAtTheEdgeOfTheRange) {
    const double max = FLT_MAX;
    const double halfUlp = std::ldexp(1.0, 103);
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        double value;
        float expected;
    };
    const Case cases[] = {
        {max, FLT_MAX},
        {max + 1.0e20, FLT_MAX},  // far below half an ulp
        {max + halfUlp / 2, FLT_MAX},
        {std::nextafter(max + halfUlp, 0.0), FLT_MAX},
        {max + halfUlp, inf},
        {max * 2, inf},
        {std::numeric_limits<double>::infinity(), inf},
        {1.0 / 3.0, static_cast<float>(1.0 / 3.0)},
        {0.0, 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoreF32(c.value), c.expected) << c.value;
        EXPECT_EQ(StoreF32(-c.value), -c.expected) << -c.value;
    }
    EXPECT_TRUE(std::isnan(StoreF32(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
