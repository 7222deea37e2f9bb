// Smooth 3D path in a caller-supplied buffer: a 12-byte PathCurve header followed by PathNodes.
#pragma once

#include <cstdint>

#include "math/math_types.h"

// Clears the buffer and stores its size and node capacity; returns the capacity. A buffer
// under 12 bytes (or null) is refused: nothing is written and the result is 0.
int path_init(void *buffer, uint32_t byte_size);
// (byte_size - 12) / 28, 0 below 12 bytes, at most 32767.
int path_capacity_for_bytes(uint32_t byte_size);
PathNode *path_nodes(PathCurve *path);
const PathNode *path_nodes(const PathCurve *path);
float path_total_length(const PathCurve *path);
// Append a point; the previous segment's length is the straight distance. Null when full.
PathCurve *path_add_point(PathCurve *path, const Vec3 *point);
PathCurve *path_add_point_with_length(PathCurve *path, const Vec3 *point, float length);
PathCurve *path_compute_tangents(PathCurve *path);
Vec3 *path_start_tangent(Vec3 *out, const PathNode *nodes, int i);
Vec3 *path_end_tangent(Vec3 *out, const PathNode *nodes, int i);
PathCurve *path_smooth(PathCurve *path);
PathCurve *path_balance_tangents(PathCurve *path);
PathCurve *path_halve_tangents(PathCurve *path);
Vec3 *path_hermite(Vec3 *out, const Vec3 *p0, const Vec3 *t0, const Vec3 *p1, const Vec3 *t1,
                   float s);
// Position at a distance along the path (extrapolated beyond the ends); a path of one point
// gives that point, an empty path (0, 0, 0).
Vec3 *path_evaluate(Vec3 *out, const PathCurve *path, float distance);
Vec3 *path_evaluate_fraction(Vec3 *out, const PathCurve *path, float fraction);

PathCurve *path_build_smooth(PathCurve *path);
PathCurve *path_build_balanced(PathCurve *path);
PathCurve *path_build_balanced3(PathCurve *path);
PathCurve *path_smooth_balanced(PathCurve *path);
PathCurve *path_halve_balanced(PathCurve *path);
