#include "platform/Transform3D.h"

#include <cmath>

namespace orvane {

Transform3D Transform3D::identity() {
    Transform3D t;
    for (int i = 0; i < 4; ++i) t.m[i][i] = 1.0;
    return t;
}

Transform3D operator*(const Transform3D& a, const Transform3D& b) {
    Transform3D r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Transform3D Transform3D::translated(double tx, double ty, double tz) const {
    Transform3D t = identity();
    t.m[3][0] = tx;
    t.m[3][1] = ty;
    t.m[3][2] = tz;
    return t * *this;
}

Transform3D Transform3D::rotated(double radians, double x, double y, double z) const {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) return *this;
    x /= length;
    y /= length;
    z /= length;
    const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    // Row-vector rotation matrix: a point p (row) maps to p * r, counterclockwise about the axis.
    Transform3D r = identity();
    r.m[0][0] = t * x * x + c;
    r.m[0][1] = t * x * y + s * z;
    r.m[0][2] = t * x * z - s * y;
    r.m[1][0] = t * x * y - s * z;
    r.m[1][1] = t * y * y + c;
    r.m[1][2] = t * y * z + s * x;
    r.m[2][0] = t * x * z + s * y;
    r.m[2][1] = t * y * z - s * x;
    r.m[2][2] = t * z * z + c;
    return r * *this;
}

}  // namespace orvane
