#pragma once

#include <array>

namespace orvane {

// A 4x4 transform of a layer, row-vector convention (as the platform's 3-D layer transforms):
// a point p maps to p * m.
struct Transform3D {
    std::array<std::array<double, 4>, 4> m{};

    static Transform3D identity();
    // translation(tx, ty, tz) * this: the translation is applied to a point before this transform.
    Transform3D translated(double tx, double ty, double tz) const;
    // rotation(radians, axis) * this; positive angles turn counterclockwise about the axis in a
    // y-up space.
    Transform3D rotated(double radians, double x, double y, double z) const;

    bool operator==(const Transform3D&) const = default;
};

Transform3D operator*(const Transform3D& a, const Transform3D& b);

}  // namespace orvane
