#include <cmath>

#include <gtest/gtest.h>

#include "platform/Transform3D.h"

using namespace orvane;
using namespace std::chrono_literals;

namespace {

TEST(Transform3DTest, TranslateThenRotateTurnsAPointAboutTheOriginCounterclockwise) {
    auto t = Transform3D::identity().rotated(M_PI / 2, 0, 0, 1);
    // (1, 0) turns a quarter counterclockwise to (0, 1) in a y-up space.
    const double x = 1 * t.m[0][0] + 0 * t.m[1][0] + t.m[3][0];
    const double y = 1 * t.m[0][1] + 0 * t.m[1][1] + t.m[3][1];
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);

    auto moved = Transform3D::identity().translated(50, 50, 0);
    EXPECT_EQ(moved.m[3][0], 50);
    EXPECT_EQ(moved.m[3][1], 50);
    // Rotating after the translation keeps the translation row turned with it (rotation * t).
    auto both = moved.rotated(M_PI, 0, 0, 1);
    EXPECT_NEAR(both.m[3][0], 50, 1e-12);
    EXPECT_NEAR(both.m[0][0], -1, 1e-12);
}

}  // namespace
