// Geometric routines shared by the collider queries and the collision bodies: bounding pre-tests,
// the exact segment-triangle test and the sphere-triangle test, all in single precision.
#pragma once
#include <cstdint>

#include "math/math_types.h"

// The segment start + t * delta, t from 0 to 1, with what every test of it needs.
struct CollSegment {
    Vec3 start, delta;
    Vec3 lo, hi;    // its box
    float delta_sq; // |delta|^2
};
void coll_segment_init(CollSegment *g, const Vec3 *start, const Vec3 *delta);

// Squared distance of the centre from the segment's infinite line <= r^2 (|delta| 0 fails).
bool coll_line_near_sphere(const CollSegment *g, const Vec3 *centre, float radius);
// The segment X-Y comes within r of the centre (squared lengths below 1e-10 count as 0).
bool coll_segment_near_sphere(const Vec3 *x, const Vec3 *y, const Vec3 *centre, float radius);
// The segment's box overlaps the box (centre, half extents), bounds inclusive.
bool coll_boxes_overlap(const CollSegment *g, const Vec3 *centre, const Vec3 *half);
// An end lies in the box, or the segment crosses a face inside that face's bounds.
bool coll_segment_box(const CollSegment *g, const Vec3 *centre, const Vec3 *half);
// Front-facing hit of the triangle (corners a, b, c, normal n) with t in [0, 1]; a point on
// an edge is inside. A zero or non-finite normal or a triangle without area never hits.
bool coll_segment_triangle(const CollSegment *g, const Vec3 *a, const Vec3 *b, const Vec3 *c,
                           const Vec3 *n, float *out_t);
// ((Y - X) x (P - X)) . N >= 0 for the three edges, and > 0 for at least one: the three values
// sum to twice the area (along N), so a triangle without area, whose values are all 0 however
// far P lies, holds no point.
bool coll_point_inside_edges(const Vec3 *a, const Vec3 *b, const Vec3 *c, const Vec3 *n,
                             const Vec3 *p);

// Squared distance of P from the line through X and Y; 0 when they coincide or it comes out
// negative.
float coll_line_distance_sq(const Vec3 *x, const Vec3 *y, const Vec3 *p);
// v / s, where s strictly between -1e-5 and 1e-5 is replaced by -1e-5 (negative) or 1e-5.
Vec3 *coll_vec_div(Vec3 *out, const Vec3 *v, float s);
// Sphere (centre, radius) against triangle a, b, c with normal n (null: the unit normal of
// (b - a) x (c - a)): contact, the closest point and the depth r cos(pi/2 * distance / r).
// A triangle without area or with a zero normal never touches, and neither does a sphere that
// is not usable (below); a contact whose outputs would not be finite is none.
bool coll_sphere_triangle(const Vec3 *a, const Vec3 *b, const Vec3 *c, const Vec3 *n,
                          const Vec3 *centre, float radius, Vec3 *out_closest, float *out_depth);

// A normal carried from a matrix's local space to its world space (the inverse transpose of the
// upper 3x3, normalised); `inverse` is the matrix's inverse.
Vec3 *coll_world_normal(Vec3 *out, const Mat4 *inverse, const Vec3 *n);

bool coll_finite3(const Vec3 *v);
bool coll_finite_matrix(const Mat4 *m);
// A sphere the tests can use: a finite centre and a finite radius whose square is finite too
// (the tests compare squared distances).
bool coll_usable_sphere(const Vec3 *centre, float radius);
// The segment and its end are finite.
bool coll_finite_segment(const Vec3 *start, const Vec3 *delta);
