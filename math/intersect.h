// Three-dimensional distance and intersection tests. Results: 1 hit, 0 miss; output pointers
// marked "may be null" are optional. A segment is a start and a delta (end = start + delta).
#pragma once

#include "math/math_types.h"

// Squared distance from p to the line through a and b; 0 when a and b coincide.
float geom3d_distance_sq_to_line(const Vec3 *a, const Vec3 *b, const Vec3 *p);
// Squared distance from p to the line through origin along dir; 0 when dir is zero.
float geom3d_distance_sq_to_ray_line(const Vec3 *origin, const Vec3 *dir, const Vec3 *p);
// 1 when the foot of the perpendicular from p lies on segment a-b. out_delta = p - foot.
int geom3d_foot_on_segment(Vec3 *out_delta, Vec3 *out_foot, const Vec3 *p, const Vec3 *a,
                           const Vec3 *b);
// Orientation of c against a->b in the XZ plane: 0 one side, 2 the other, 1 on the line.
int geom3d_side_xz(const Vec3 *a, const Vec3 *b, const Vec3 *c);
int geom3d_point_near_line(const Vec3 *origin, const Vec3 *dir, const Vec3 *p, float radius);
int geom3d_spheres_touch(const Vec3 *centre0, float radius0, const Vec3 *centre1, float radius1);
int geom3d_sphere_touches_segment(const Vec3 *start, const Vec3 *delta, const Vec3 *centre,
                                  float radius);
// out_t is the entry point's fraction of the delta (negative when start is inside).
int geom3d_segment_hits_sphere(const Vec3 *start, const Vec3 *delta, const Vec3 *centre,
                               float radius, float *out_t, Vec3 *out_point, Vec3 *out_normal);
int geom3d_segment_touches_box(const Vec3 *start, const Vec3 *delta, const Vec3 *box_min,
                               const Vec3 *box_max);
// tri: three corners A, B, C; hit only from the front side (normal (B - A) x (C - B)).
int geom3d_segment_hits_triangle(Vec3 *out_point, Vec3 *out_normal, const Vec3 *tri,
                                 const Vec3 *start, const Vec3 *delta);
