// Plane geometry for screen-space work: 2D vectors, side and crossing tests, and
// separating-axis overlap tests of rectangles given by their four corners.
#pragma once

#include "math/math_types.h"

Vec2 *vec2_set(Vec2 *out, float x, float y);
Vec2 *vec2_sub(Vec2 *out, const Vec2 *a, const Vec2 *b);
float vec2_dot(const Vec2 *a, const Vec2 *b);
float vec2_cross(const Vec2 *a, const Vec2 *b);
float vec2_length_sq_floor(const Vec2 *v);
float vec2_length(const Vec2 *v);
float vec2_distance_sq(const Vec2 *a, const Vec2 *b);
float vec2_distance(const Vec2 *a, const Vec2 *b);
Vec2 *vec2_normalize(Vec2 *out, const Vec2 *v);

// 0 when c lies left of a->b (k > 0), 2 when right, 1 when on the line.
int geom2d_side(const Vec2 *a, const Vec2 *b, const Vec2 *c);
int geom2d_points_on_different_sides(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d);
int geom2d_segments_intersect(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d);
int geom2d_segments_cross(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d);
// Intersection of the infinite lines; 0 with out = p0 when they are parallel.
int geom2d_line_intersection(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q0,
                             const Vec2 *q1);
// 1 when the lines' intersection lies within both segments' bounding boxes.
int geom2d_segment_intersection(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q0,
                                const Vec2 *q1);
// Foot of the perpendicular from q on line p0-p1; 1 when it lies in the box p1..p0.
int geom2d_foot_on_line(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q);
// Distance from b to the line through p and a.
float geom2d_distance_to_line(const Vec2 *p, const Vec2 *a, const Vec2 *b);
int geom2d_segment_hits_circle(const Vec2 *centre, float radius, const Vec2 *p0, const Vec2 *p1);

// half_extents[2] and axes[2] (unit) describe a box centred offset away along the tested axis.
int geom2d_axis_overlaps(const float *half_extents, const Vec2 *axes, const Vec2 *axis,
                         const Vec2 *offset, float margin);
int geom2d_axis_overlaps2(const float *half_a, const float *half_b, const Vec2 *axes_a,
                          const Vec2 *axes_b, const Vec2 *axis, const Vec2 *offset);
int geom2d_quad_contains_point(const Quad2D *quad, const Vec2 *point);
int geom2d_quad_hits_circle(const Quad2D *quad, const Vec2 *centre, float radius);
int geom2d_quad_hits_segment(const Quad2D *quad, const Vec2 *p0, const Vec2 *p1);
int geom2d_quads_overlap(const Quad2D *a, const Quad2D *b);
