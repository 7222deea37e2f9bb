// Helpers shared by the math tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "math/crt_float.h"
#include "math/math.h"

inline void expect_vec3_near(const Vec3 &v, float x, float y, float z, float tol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

inline bool vec3_finite(const Vec3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline Mat4 mat4_rows(const float (&r)[16]) {
    Mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = r[i];
    return m;
}

// A quiet NaN used to see whether an output was written.
inline Vec3 unwritten_vec3() {
    return Vec3{NAN, NAN, NAN};
}
