// Vectors, quaternions and Euler angles. Every operation takes its output first and returns it;
// an output may be the same object as an input.
#pragma once

#include "math/math_types.h"

Vec3 *vec3_set(Vec3 *out, float x, float y, float z);
Vec3 *vec3_copy(Vec3 *out, const Vec3 *v);
Vec3 *vec3_negate(Vec3 *out, const Vec3 *v);
Vec4 *vec4_negate(Vec4 *out, const Vec4 *v);
Vec3 *vec3_add(Vec3 *out, const Vec3 *a, const Vec3 *b);
Vec3 *vec3_sub(Vec3 *out, const Vec3 *a, const Vec3 *b);
Vec3 *vec3_scale(Vec3 *out, const Vec3 *v, float s);
Vec3 *vec3_add_scaled(Vec3 *out, const Vec3 *a, const Vec3 *b, float s);
Vec3 *vec3_mul(Vec3 *out, const Vec3 *a, const Vec3 *b);
Vec3 *vec3_lerp(Vec3 *out, const Vec3 *a, const Vec3 *b, float t);
float vec3_dot(const Vec3 *a, const Vec3 *b);
Vec3 *vec3_cross(Vec3 *out, const Vec3 *a, const Vec3 *b);
// Squared length, 0 when below 1e-10.
float vec3_length_sq_floor(const Vec3 *v);
// 0 when the squared length is below 1e-10.
float vec3_length(const Vec3 *v);
float vec3_distance_sq(const Vec3 *a, const Vec3 *b);
// Zero vector when the squared length is exactly 0.
Vec3 *vec3_normalize(Vec3 *out, const Vec3 *v);
// normalise(to - from); null (nothing written) when from or to is null.
Vec3 *vec3_direction(Vec3 *out, const Vec3 *from, const Vec3 *to);
Vec3 *vec3_slerp(Vec3 *out, const Vec3 *a, const Vec3 *b, float t);
Vec3 *vec3_hermite(Vec3 *out, const Vec3 *p0, const Vec3 *tangent0, const Vec3 *p1,
                   const Vec3 *tangent1, float s);

Vec3 *vec3_angles_to_direction(Vec3 *out, const EulerAngles *angles);
EulerAngles *vec3_direction_to_angles(EulerAngles *out, const Vec3 *dir);
EulerAngles *vec3_direction_to_angles_up(EulerAngles *out, const Vec3 *dir, const Vec3 *up);
EulerAngles *vec3_angles_between_points(EulerAngles *out, const Vec3 *from, const Vec3 *to);
Vec3 *vec3_turn_direction(Vec3 *out, const Vec3 *dir, float d_pitch, float d_yaw, float length);
Vec3 *vec3_offset_by_angles(Vec3 *out, const Vec3 *base, float elevation, float heading,
                            float distance);
Vec3 *vec3_point_on_circle(Vec3 *out, const Vec3 *centre, const Vec3 *axis, float angle,
                           float radius);
Vec3 *vec3_tilt_from_axis(Vec3 *out, const Vec3 *axis, float pitch, float yaw, float length);

Quat *quat_identity(Quat *out);
Quat *quat_from_axis_angle(Quat *out, const Vec3 *axis, float angle);
// Either output may be null; returns the axis pointer.
Vec3 *quat_to_axis_angle(Vec3 *out_axis, float *out_angle, const Quat *q);
Vec3 *quat_axis_divided(Vec3 *out, const Quat *q, float s);
Quat *quat_from_two_vectors(Quat *out, const Vec3 *from, const Vec3 *to);
Quat *quat_from_mat4(Quat *out, const Mat4 *m);
// Rotation into rows 0-2 (column 3 = 0); row 3 untouched.
Mat4 *quat_to_mat3x4(Mat4 *out, const Quat *q);
Quat *quat_from_euler_zyx(Quat *out, const EulerAngles *angles);
Quat *quat_from_euler_xzy(Quat *out, const EulerAngles *angles);
Quat *quat_from_euler_yxz(Quat *out, const EulerAngles *angles);
Quat *quat_from_euler_xyz(Quat *out, const EulerAngles *angles);
Quat *quat_from_euler_yzx(Quat *out, const EulerAngles *angles);
// Z x X x Y, the order of mat4_rotation_euler.
Quat *quat_from_euler_zxy(Quat *out, const EulerAngles *angles);
Quat *quat_slerp(Quat *out, const Quat *a, const Quat *b, float t);
Quat *quat_log(Quat *out, const Quat *q);
// v.w is ignored.
Quat *quat_exp(Quat *out, const Quat *v);
Mat4 *quat_rotation_derivative(Mat4 *out, const Quat *q, const Quat *dq);
// Rows of partial derivatives of quat_exp by v.x, v.y, v.z; returns row2.
Quat *quat_exp_jacobian(Quat *row0, Quat *row1, Quat *row2, const Quat *v);

Quat *quat_conjugate(Quat *out, const Quat *q);
// Hamilton product p * q.
Quat *quat_multiply(Quat *out, const Quat *p, const Quat *q);
// b * a * conjugate(b).
Quat *quat_conjugate_by(Quat *out, const Quat *a, const Quat *b);
