// The transform record: position, scale and rotation; its matrix is S x R x T.
// The quaternion products it uses (quat_multiply, quat_conjugate_by, ...) are in vec.h.
#pragma once

#include "math/math_types.h"

Transform *xform_init(Transform *t);
Transform *xform_copy(Transform *out, const Transform *t);
// position may be null.
Mat4 *quat_position_to_mat4(Mat4 *out, const Quat *q, const Vec3 *position);
Mat4 *xform_to_mat4(Mat4 *out, const Transform *t);
// The rotation is taken from m as it is (scale not divided out).
Transform *xform_from_mat4(Transform *out, const Mat4 *m);
Transform *xform_set_position(Transform *t, const Vec3 *v);
Transform *xform_set_scale(Transform *t, const Vec3 *v);
Transform *xform_set_rotation(Transform *t, const Quat *q);
Transform *xform_set_rotation_euler(Transform *t, const EulerAngles *angles);
Transform *xform_set_position_euler(Transform *t, const Vec3 *position, const EulerAngles *angles);
// Outputs may be null; returns the position pointer.
Vec3 *xform_get_position_euler(Vec3 *out_position, EulerAngles *out_angles, const Transform *t);
Vec3 *xform_decompose(Vec3 *out_position, EulerAngles *out_angles, Vec3 *out_scale,
                      const Transform *t);
Transform *xform_scale(Transform *out, const Transform *t, const Vec3 *v);
Transform *xform_translate_local(Transform *out, const Transform *t, const Vec3 *v);
Transform *xform_rotate_local_euler(Transform *out, const Transform *t, const EulerAngles *angles);
Transform *xform_conjugate_rotation(Transform *out, const Transform *t, const Quat *q);
// b applied first, then a.
Transform *xform_multiply(Transform *out, const Transform *a, const Transform *b);
// t applied first, then m.
Transform *xform_then_mat4(Transform *out, const Mat4 *m, const Transform *t);
// m applied first, then t.
Transform *xform_after_mat4(Transform *out, const Transform *t, const Mat4 *m);
Transform *xform_blend(Transform *out, const Transform *a, const Transform *b, float s);
