// Value types of the math library. They are plain aggregates: a default-constructed value
// holds unset contents, exactly like a C struct, so they can live in pools and file payloads.
#pragma once

#include <cstdint>

struct Vec2 {
    float x, y;
};

struct Vec3 {
    float x, y, z;
};

// Four-float vector for homogeneous points and plane rows.
struct Vec4 {
    float x, y, z, w;
};

// Rotation quaternion, w last; identity (0, 0, 0, 1).
struct Quat {
    float x, y, z, w;
};

// Radians: x = pitch (positive turns forward downwards), y = yaw (from +Z towards +X), z = roll.
struct EulerAngles {
    float x, y, z;
};

// Row-vector matrix: p' = p x M. m[i][j] is row i, column j; rows 0-2 are the X, Y and Z axes,
// row 3 the translation. &m[0][0] gives the 16 floats in memory order.
struct Mat4 {
    float m[4][4];
};

// a*x + b*y + c*z + d = 0; positive side where the sum is positive.
struct Plane {
    float a, b, c, d;
};

// Order: 0 = w + z, 1 = w - z, 2 = w - x, 3 = w + x, 4 = w + y, 5 = w - y.
struct FrustumPlanes {
    Plane planes[6];
};

// Signed extents of the view window at the near plane, then near and far distances.
struct FrustumParams {
    float left, right, bottom, top, near, far;
};

// Matrix = S x R x T (scale first, then rotation, then translation).
struct Transform {
    Vec3 position;
    Vec3 scale;
    Quat rotation;
};

// Four corners in Z order: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, so the
// perimeter runs 0, 1, 3, 2.
struct Quad2D {
    Vec2 corner[4];
};

// One point of a path curve (28 bytes).
struct PathNode {
    Vec3 position;
    Vec3 tangent;     // unit-scale tangent, multiplied by the segment length when evaluated
    float seg_length; // length of the segment to the next point (0 for the last)
};

// Header of a path curve kept in a caller-supplied buffer; the PathNode array follows at byte 12.
struct PathCurve {
    uint32_t byte_size;
    int16_t count;
    int16_t capacity;
    float total_length;
};

static_assert(sizeof(Vec3) == 12 && sizeof(Quat) == 16 && sizeof(Mat4) == 64, "packed math types");
static_assert(sizeof(Transform) == 40 && sizeof(PathNode) == 28 && sizeof(PathCurve) == 12,
              "math record layouts");
