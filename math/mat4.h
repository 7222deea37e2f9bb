// 4x4 matrices, row-vector convention (p' = p x M), left-handed, depth 0..1. Every operation
// takes its output first and returns it; outputs may alias inputs.
#pragma once

#include "math/math_types.h"

Mat4 *mat4_identity(Mat4 *out);
// Rows 0-2 become identity rows (column 3 = 0), m33 = 1; m30..m32 kept.
Mat4 *mat4_reset_rotation(Mat4 *out);
Mat4 *mat4_copy(Mat4 *dst, const Mat4 *src);
// The upper 3x3 only.
Mat4 *mat4_copy_rotation(Mat4 *dst, const Mat4 *src);
Vec4 *vec4_copy(Vec4 *dst, const Vec4 *src);
Mat4 *mat4_translation(Mat4 *out, const Vec3 *v);
// Z(roll) x X(pitch) x Y(yaw) into rows 0-2; row 3 untouched.
Mat4 *mat4_rotation_euler(Mat4 *out, const EulerAngles *angles);
Mat4 *mat4_from_position_euler(Mat4 *out, const Vec3 *position, const EulerAngles *angles);
Mat4 *mat4_from_position_euler_f(Mat4 *out, float px, float py, float pz, float ax, float ay,
                                 float az);
// position may be null.
Mat4 *mat4_from_position_axis_angle(Mat4 *out, const Vec3 *position, const Vec3 *axis, float angle);
// Frame whose Y axis is up ((0, 1, 0) when null); position may be null.
Mat4 *mat4_from_position_up(Mat4 *out, const Vec3 *position, const Vec3 *up);
// Frame whose Z axis is exactly forward (negated when flip); up and position may be null.
Mat4 *mat4_orient_along(Mat4 *out, const Vec3 *position, const Vec3 *forward, const Vec3 *up,
                        int flip);
// Frame whose Y axis is exactly up.
Mat4 *mat4_orient_along_up(Mat4 *out, const Vec3 *position, const Vec3 *forward, const Vec3 *up,
                           int flip);
// A null eye or target counts as the origin.
Mat4 *mat4_look_at_point(Mat4 *out, const Vec3 *eye, const Vec3 *target, const Vec3 *up, int flip);
Mat4 *mat4_look_at_point_up(Mat4 *out, const Vec3 *eye, const Vec3 *target, const Vec3 *up,
                            int flip);
Mat4 *mat4_perspective_off_center(Mat4 *out, float left, float right, float bottom, float top,
                                  float near, float far);
Mat4 *mat4_ortho_off_center(Mat4 *out, float left, float right, float bottom, float top, float near,
                            float far);
Mat4 *mat4_reflect(Mat4 *out, const Plane *plane);
// directional != 0: light is a direction; else a position.
Mat4 *mat4_shadow(Mat4 *out, const Vec3 *light, const Plane *plane, int directional);
Mat4 *mat4_oblique_clip_projection(Mat4 *out, const Mat4 *projection, const Mat4 *view,
                                   const Plane *plane);

// out = b x a: b applied first, then a.
Mat4 *mat4_multiply(Mat4 *out, const Mat4 *a, const Mat4 *b);
Mat4 *mat4_pre_translate(Mat4 *out, const Mat4 *m, const Vec3 *v);
Mat4 *mat4_pre_rotate_x(Mat4 *out, const Mat4 *m, float angle);
Mat4 *mat4_pre_rotate_y(Mat4 *out, const Mat4 *m, float angle);
Mat4 *mat4_pre_rotate_z(Mat4 *out, const Mat4 *m, float angle);
Mat4 *mat4_pre_rotate_euler(Mat4 *out, const Mat4 *m, const EulerAngles *angles);
// m becomes rotation_euler(angles) x translation(position) x m; the second argument is unused.
Mat4 *mat4_pre_position_euler(Mat4 *m, const Mat4 *unused, const Vec3 *position,
                              const EulerAngles *angles);
Mat4 *mat4_pre_position_axis_angle(Mat4 *out, const Mat4 *m, const Vec3 *position, const Vec3 *axis,
                                   float angle);
Mat4 *mat4_scale_rows(Mat4 *out, const Mat4 *m, const Vec3 *scale);
Mat4 *mat4_normalize_rows(Mat4 *out, const Mat4 *m);
Mat4 *mat4_transpose(Mat4 *out, const Mat4 *m);
// General inverse; out may equal m. A singular matrix gives the identity.
Mat4 *mat4_inverse(Mat4 *out, const Mat4 *m);
// As mat4_inverse, but a singular matrix returns null and leaves out untouched.
Mat4 *mat4_inverse_checked(Mat4 *out, const Mat4 *m);
Mat4 *mat4_swap_axes(Mat4 *out, const Mat4 *m);
Mat4 *mat4_unswap_axes(Mat4 *out, const Mat4 *m);
// Rotation blended spherically, axis scales and translation linearly.
Mat4 *mat4_interpolate(Mat4 *out, const Mat4 *a, const Mat4 *b, float t);

// v.x*row0 + v.y*row1 + v.z*row2 (no translation).
Vec3 *mat4_rotate_vector(Vec3 *out, const Mat4 *m, const Vec3 *v);
Vec3 *mat4_rotate_vectors4(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                           const Vec3 *in0, const Vec3 *in1, const Vec3 *in2, const Vec3 *in3);
// Inputs' z taken as 0.
Vec3 *mat4_rotate_vectors4_xy(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                              const Vec3 *in0, const Vec3 *in1, const Vec3 *in2, const Vec3 *in3);
// p.x*row0 + p.y*row1 + p.z*row2 + row3, no divide.
Vec3 *mat4_transform_point(Vec3 *out, const Mat4 *m, const Vec3 *p);
// Returns m.
const Mat4 *mat4_transform_points4(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                                   const Vec3 *in0, const Vec3 *in1, const Vec3 *in2,
                                   const Vec3 *in3);
Vec4 *mat4_transform_vec4(Vec4 *out, const Mat4 *m, const Vec4 *v);
// (X, Y, Z, W) = (p, 1) x m; out = (X/|W|, Y/|W|, Z), or (X, Y, Z) when W is 0.
Vec3 *mat4_project_point(Vec3 *out, const Mat4 *m, const Vec3 *p);

EulerAngles *mat4_to_euler(EulerAngles *out, const Mat4 *m);
EulerAngles *mat4_to_euler_yaw_first(EulerAngles *out, const Mat4 *m);
EulerAngles *mat4_to_euler_zyx(EulerAngles *out, const Mat4 *m);
EulerAngles *mat4_to_euler_xzy(EulerAngles *out, const Mat4 *m);
EulerAngles *mat4_to_euler_xyz(EulerAngles *out, const Mat4 *m);
// mat4_to_euler(m x rotation_euler(angles)).
EulerAngles *mat4_rotate_euler_angles(EulerAngles *out, const Mat4 *m, const EulerAngles *angles);
Vec3 *mat4_axis_scales(Vec3 *out, const Mat4 *m);
float mat4_max_axis_scale(const Mat4 *m);
// Outputs may be null; returns the position pointer.
Vec3 *mat4_decompose_position_euler(Vec3 *out_position, EulerAngles *out_angles, const Mat4 *m);
// Angles are taken without dividing the scale out. Outputs may be null.
Vec3 *mat4_decompose(Vec3 *out_position, EulerAngles *out_angles, Vec3 *out_scale, const Mat4 *m);
// Nonzero when any element differs by more than tolerance.
int mat4_differs(const Mat4 *a, const Mat4 *b, float tolerance);
int mat4_differs_from_identity(const Mat4 *m, float tolerance);
