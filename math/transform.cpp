#include "math/transform.h"

#include "math/mat4.h"
#include "math/vec.h"

Transform *xform_init(Transform *t) {
    t->position = Vec3{0.0f, 0.0f, 0.0f};
    t->scale = Vec3{1.0f, 1.0f, 1.0f};
    t->rotation = Quat{0.0f, 0.0f, 0.0f, 1.0f};
    return t;
}

Transform *xform_copy(Transform *out, const Transform *t) {
    *out = *t;
    return out;
}

Mat4 *quat_position_to_mat4(Mat4 *out, const Quat *q, const Vec3 *position) {
    quat_to_mat3x4(out, q);
    Vec3 p = position ? *position : Vec3{0.0f, 0.0f, 0.0f};
    out->m[3][0] = p.x;
    out->m[3][1] = p.y;
    out->m[3][2] = p.z;
    out->m[3][3] = 1.0f;
    return out;
}

Mat4 *xform_to_mat4(Mat4 *out, const Transform *t) {
    Vec3 scale = t->scale;
    quat_position_to_mat4(out, &t->rotation, &t->position);
    return mat4_scale_rows(out, out, &scale);
}

Transform *xform_from_mat4(Transform *out, const Mat4 *m) {
    Transform r;
    r.position = Vec3{m->m[3][0], m->m[3][1], m->m[3][2]};
    mat4_axis_scales(&r.scale, m);
    quat_from_mat4(&r.rotation, m);
    *out = r;
    return out;
}

Transform *xform_set_position(Transform *t, const Vec3 *v) {
    t->position = *v;
    return t;
}

Transform *xform_set_scale(Transform *t, const Vec3 *v) {
    t->scale = *v;
    return t;
}

Transform *xform_set_rotation(Transform *t, const Quat *q) {
    t->rotation = *q;
    return t;
}

Transform *xform_set_rotation_euler(Transform *t, const EulerAngles *angles) {
    quat_from_euler_zxy(&t->rotation, angles);
    return t;
}

Transform *xform_set_position_euler(Transform *t, const Vec3 *position, const EulerAngles *angles) {
    t->position = *position;
    return xform_set_rotation_euler(t, angles);
}

Vec3 *xform_get_position_euler(Vec3 *out_position, EulerAngles *out_angles, const Transform *t) {
    if (out_angles) {
        Mat4 m;
        quat_to_mat3x4(&m, &t->rotation);
        mat4_to_euler(out_angles, &m);
    }
    if (out_position) *out_position = t->position;
    return out_position;
}

Vec3 *xform_decompose(Vec3 *out_position, EulerAngles *out_angles, Vec3 *out_scale,
                      const Transform *t) {
    if (out_scale) *out_scale = t->scale;
    return xform_get_position_euler(out_position, out_angles, t);
}

Transform *xform_scale(Transform *out, const Transform *t, const Vec3 *v) {
    Transform r = *t;
    vec3_mul(&r.scale, &t->scale, v);
    *out = r;
    return out;
}

Transform *xform_translate_local(Transform *out, const Transform *t, const Vec3 *v) {
    Mat4 m;
    xform_to_mat4(&m, t);
    mat4_pre_translate(&m, &m, v);
    return xform_from_mat4(out, &m);
}

Transform *xform_rotate_local_euler(Transform *out, const Transform *t, const EulerAngles *angles) {
    Mat4 m;
    xform_to_mat4(&m, t);
    mat4_pre_rotate_euler(&m, &m, angles);
    return xform_from_mat4(out, &m);
}

Transform *xform_conjugate_rotation(Transform *out, const Transform *t, const Quat *q) {
    Transform r = *t;
    quat_conjugate_by(&r.rotation, &t->rotation, q);
    *out = r;
    return out;
}

Transform *xform_multiply(Transform *out, const Transform *a, const Transform *b) {
    Mat4 ma, mb, p;
    xform_to_mat4(&ma, a);
    xform_to_mat4(&mb, b);
    mat4_multiply(&p, &ma, &mb);
    return xform_from_mat4(out, &p);
}

Transform *xform_then_mat4(Transform *out, const Mat4 *m, const Transform *t) {
    Mat4 mt, p;
    xform_to_mat4(&mt, t);
    mat4_multiply(&p, m, &mt);
    return xform_from_mat4(out, &p);
}

Transform *xform_after_mat4(Transform *out, const Transform *t, const Mat4 *m) {
    Mat4 mt, p;
    xform_to_mat4(&mt, t);
    mat4_multiply(&p, &mt, m);
    return xform_from_mat4(out, &p);
}

Transform *xform_blend(Transform *out, const Transform *a, const Transform *b, float s) {
    Transform r;
    vec3_lerp(&r.position, &a->position, &b->position, s);
    vec3_lerp(&r.scale, &a->scale, &b->scale, s);
    quat_slerp(&r.rotation, &a->rotation, &b->rotation, s);
    *out = r;
    return out;
}
