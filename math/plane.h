// Frustum values, projection and clipping planes, screen-size rules, and plane operations.
#pragma once

#include "math/math_types.h"

// fov_y is the full vertical angle; centre_x/centre_y the share left of and above the axis.
FrustumParams *frustum_from_fov(FrustumParams *out, float fov_y, float aspect, float centre_x,
                                float centre_y, float near, float far);
FrustumParams *frustum_from_angles(FrustumParams *out, float top_angle, float bottom_angle,
                                   float left_angle, float right_angle, float aspect, float near,
                                   float far);
Mat4 *mat4_projection_from_frustum(Mat4 *out, const FrustumParams *params);
FrustumPlanes *frustum_extract_planes(FrustumPlanes *out, const Mat4 *m);
FrustumParams *frustum_rescale(FrustumParams *out, const FrustumParams *params, float fov_scale,
                               float aspect_scale, float near, float far);
FrustumParams *frustum_rescale_sides(FrustumParams *out, const FrustumParams *params,
                                     float top_scale, float bottom_scale, float left_scale,
                                     float right_scale, float near, float far);
float frustum_pixels_for_size(const FrustumParams *params, float depth, float size,
                              float screen_pixels);
float frustum_size_for_pixels(const FrustumParams *params, float depth, float screen_pixels,
                              float pixels);
float frustum_min_size_at(const FrustumParams *params, float depth, float size, float screen_pixels,
                          float min_pixels);
float frustum_min_world_size(const FrustumParams *params, const Mat4 *view, const Vec3 *point,
                             float size, float screen_pixels, float min_pixels);
// (value - low) / (high - low); 0 when high equals low.
float mathf_fraction(float value, float low, float high);

Plane *plane_normalize(Plane *out, const Plane *plane);
Plane *plane_from_point_normal(Plane *out, const Vec3 *point, const Vec3 *normal);
Plane *plane_from_points(Plane *out, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2);
// (p1 - p0) x (p2 - p1), not normalised.
Vec3 *vec3_triangle_cross(Vec3 *out, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2);
float plane_dot_point(const Plane *plane, const Vec3 *p);
float plane_dot_normal(const Plane *plane, const Vec3 *v);
// offset = n * (dot(point, n) + d) on the normalised plane; projected = point - offset.
// Either output may be null; returns out_offset.
Vec3 *vec3_project_onto_plane(Vec3 *out_offset, Vec3 *out_projected, const Vec3 *point,
                              const Plane *plane);
