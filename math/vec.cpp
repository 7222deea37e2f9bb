#include "math/vec.h"

#include <cmath>

#include "math/crt_float.h"
#include "math/mat4.h"
#include "math/mathf.h"

Vec3 *vec3_set(Vec3 *out, float x, float y, float z) {
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

Vec3 *vec3_copy(Vec3 *out, const Vec3 *v) {
    *out = *v;
    return out;
}

Vec3 *vec3_negate(Vec3 *out, const Vec3 *v) {
    return vec3_set(out, -v->x, -v->y, -v->z);
}

Vec4 *vec4_negate(Vec4 *out, const Vec4 *v) {
    *out = Vec4{-v->x, -v->y, -v->z, -v->w};
    return out;
}

Vec3 *vec3_add(Vec3 *out, const Vec3 *a, const Vec3 *b) {
    return vec3_set(out, a->x + b->x, a->y + b->y, a->z + b->z);
}

Vec3 *vec3_sub(Vec3 *out, const Vec3 *a, const Vec3 *b) {
    return vec3_set(out, a->x - b->x, a->y - b->y, a->z - b->z);
}

Vec3 *vec3_scale(Vec3 *out, const Vec3 *v, float s) {
    return vec3_set(out, v->x * s, v->y * s, v->z * s);
}

Vec3 *vec3_add_scaled(Vec3 *out, const Vec3 *a, const Vec3 *b, float s) {
    return vec3_set(out, a->x + b->x * s, a->y + b->y * s, a->z + b->z * s);
}

Vec3 *vec3_mul(Vec3 *out, const Vec3 *a, const Vec3 *b) {
    return vec3_set(out, a->x * b->x, a->y * b->y, a->z * b->z);
}

Vec3 *vec3_lerp(Vec3 *out, const Vec3 *a, const Vec3 *b, float t) {
    return vec3_set(out, mathf_lerp(a->x, b->x, t), mathf_lerp(a->y, b->y, t),
                    mathf_lerp(a->z, b->z, t));
}

float vec3_dot(const Vec3 *a, const Vec3 *b) {
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

Vec3 *vec3_cross(Vec3 *out, const Vec3 *a, const Vec3 *b) {
    return vec3_set(out, a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                    a->x * b->y - a->y * b->x);
}

float vec3_length_sq_floor(const Vec3 *v) {
    float sq = vec3_dot(v, v);
    return sq < 1e-10f ? 0.0f : sq;
}

float vec3_length(const Vec3 *v) {
    float sq = vec3_dot(v, v);
    return sq < 1e-10f ? 0.0f : crt_sqrtf(sq);
}

float vec3_distance_sq(const Vec3 *a, const Vec3 *b) {
    Vec3 d;
    vec3_sub(&d, a, b);
    return vec3_dot(&d, &d);
}

Vec3 *vec3_normalize(Vec3 *out, const Vec3 *v) {
    // The length is taken in double so that tiny vectors do not underflow to zero.
    double sq = (double)v->x * v->x + (double)v->y * v->y + (double)v->z * v->z;
    if (sq == 0.0) return vec3_set(out, 0.0f, 0.0f, 0.0f);
    double len = std::sqrt(sq);
    return vec3_set(out, (float)(v->x / len), (float)(v->y / len), (float)(v->z / len));
}

Vec3 *vec3_direction(Vec3 *out, const Vec3 *from, const Vec3 *to) {
    if (!from || !to) return nullptr;
    Vec3 d;
    return vec3_normalize(out, vec3_sub(&d, to, from));
}

Vec3 *vec3_slerp(Vec3 *out, const Vec3 *a, const Vec3 *b, float t) {
    float la = crt_sqrtf(vec3_dot(a, a));
    float lb = crt_sqrtf(vec3_dot(b, b));
    if (la == 0.0f) return vec3_scale(out, b, t);
    if (lb == 0.0f) return vec3_scale(out, a, 1.0f - t);
    Vec3 ua, ub, r;
    vec3_set(&ua, a->x / la, a->y / la, a->z / la);
    vec3_set(&ub, b->x / lb, b->y / lb, b->z / lb);
    // Rounding can push the cosine of (anti)parallel unit vectors past +-1.
    float theta = crt_acosf(mathf_clamp(vec3_dot(&ua, &ub), -1.0f, 1.0f));
    float s = crt_sinf(theta);
    if (s != 0.0f) {
        Vec3 rb;
        vec3_scale(&r, &ua, crt_sinf((1.0f - t) * theta));
        vec3_scale(&rb, &ub, crt_sinf(t * theta));
        vec3_add(&r, &r, &rb);
        vec3_set(&r, r.x / s, r.y / s, r.z / s);
    } else {
        r = ua; // parallel: the direction is fixed, only the length blends
    }
    vec3_normalize(&r, &r);
    return vec3_scale(out, &r, mathf_lerp(la, lb, t));
}

Vec3 *vec3_hermite(Vec3 *out, const Vec3 *p0, const Vec3 *m0, const Vec3 *p1, const Vec3 *m1,
                   float s) {
    s = mathf_clamp01(s);
    float s2 = s * s;
    float s3 = s2 * s;
    auto one = [&](float a0, float ta, float a1, float tb) {
        float c3 = 2.0f * a0 - 2.0f * a1 + ta + tb;
        float c2 = -3.0f * a0 + 3.0f * a1 - 2.0f * ta - tb;
        return s3 * c3 + s2 * c2 + s * ta + a0;
    };
    return vec3_set(out, one(p0->x, m0->x, p1->x, m1->x), one(p0->y, m0->y, p1->y, m1->y),
                    one(p0->z, m0->z, p1->z, m1->z));
}

Vec3 *vec3_angles_to_direction(Vec3 *out, const EulerAngles *angles) {
    if (!angles) return vec3_set(out, 0.0f, 0.0f, 0.0f);
    float cx = crt_cosf(angles->x);
    return vec3_set(out, crt_sinf(angles->y) * cx, -crt_sinf(angles->x), crt_cosf(angles->y) * cx);
}

EulerAngles *vec3_direction_to_angles(EulerAngles *out, const Vec3 *dir) {
    float h = crt_sqrtf(dir->x * dir->x + dir->z * dir->z);
    float x = crt_atan2f(-dir->y, h);
    float y = crt_atan2f(dir->x, dir->z);
    *out = EulerAngles{x, y, 0.0f};
    return out;
}

EulerAngles *vec3_direction_to_angles_up(EulerAngles *out, const Vec3 *dir, const Vec3 *up) {
    vec3_direction_to_angles(out, dir);
    if (up && up->y < 0.0f) *out = EulerAngles{kMathPi - out->x, out->y + kMathPi, 0.0f};
    return out;
}

EulerAngles *vec3_angles_between_points(EulerAngles *out, const Vec3 *from, const Vec3 *to) {
    if (!from || !to) return nullptr;
    Vec3 d;
    vec3_sub(&d, to, from);
    if (d.x == 0.0f && d.z == 0.0f) {
        *out = EulerAngles{0.0f, 0.0f, 0.0f};
        return out;
    }
    float h = crt_sqrtf(d.x * d.x + d.z * d.z);
    *out = EulerAngles{-crt_atan2f(d.y, h), crt_atan2f(d.x, d.z), 0.0f};
    return out;
}

Vec3 *vec3_turn_direction(Vec3 *out, const Vec3 *dir, float d_pitch, float d_yaw, float length) {
    if (!dir || !out) return out;
    float sum = dir->x * dir->x + dir->z * dir->z;
    float h = sum == 0.0f ? 0.0f : crt_sqrtf(sum);
    float p = crt_atan2f(dir->y, h) + d_pitch;
    float y = crt_atan2f(dir->x, dir->z) + d_yaw;
    float cp = crt_cosf(p);
    return vec3_set(out, cp * crt_sinf(y) * length, crt_sinf(p) * length,
                    cp * crt_cosf(y) * length);
}

Vec3 *vec3_offset_by_angles(Vec3 *out, const Vec3 *base, float elevation, float heading,
                            float distance) {
    if (!base || !out) return out;
    float ce = crt_cosf(elevation);
    Vec3 d = {ce * crt_sinf(heading), crt_sinf(elevation), ce * crt_cosf(heading)};
    return vec3_add_scaled(out, base, &d, distance);
}

Vec3 *vec3_point_on_circle(Vec3 *out, const Vec3 *centre, const Vec3 *axis, float angle,
                           float radius) {
    if (!out || !centre || !axis) return out;
    float c = crt_cosf(angle) * radius;
    float s = crt_sinf(angle) * radius;
    if (crt_fabsf(axis->x) < 1e-4f && crt_fabsf(axis->z) < 1e-4f)
        return vec3_set(out, centre->x + s, centre->y, centre->z + c);
    float sum = axis->x * axis->x + axis->z * axis->z;
    float root = sum == 0.0f ? 0.0f : crt_sqrtf(sum);
    float p = -crt_atan2f(axis->y, root);
    float h = crt_atan2f(axis->x, axis->z);
    float sh = crt_sinf(h), ch = crt_cosf(h), sp = crt_sinf(p), cp = crt_cosf(p);
    return vec3_set(out, centre->x + ch * c + sh * sp * s, centre->y + cp * s,
                    centre->z - sh * c + ch * sp * s);
}

Vec3 *vec3_tilt_from_axis(Vec3 *out, const Vec3 *axis, float pitch, float yaw, float length) {
    // (0, length, 0) through X(pitch), then Y(yaw), row-vector form.
    float cp = crt_cosf(pitch), sp = crt_sinf(pitch);
    float cy = crt_cosf(yaw), sy = crt_sinf(yaw);
    Vec3 v1 = {0.0f, length * cp, length * sp};
    Vec3 v2 = {v1.x * cy + v1.z * sy, v1.y, -v1.x * sy + v1.z * cy};
    Mat4 frame;
    mat4_from_position_up(&frame, nullptr, axis);
    return mat4_rotate_vector(out, &frame, &v2);
}

Quat *quat_identity(Quat *out) {
    *out = Quat{0.0f, 0.0f, 0.0f, 1.0f};
    return out;
}

Quat *quat_from_axis_angle(Quat *out, const Vec3 *axis, float angle) {
    float s = crt_sinf(angle * 0.5f);
    float c = crt_cosf(angle * 0.5f);
    *out = Quat{axis->x * s, axis->y * s, axis->z * s, c};
    return out;
}

Vec3 *quat_to_axis_angle(Vec3 *out_axis, float *out_angle, const Quat *q) {
    // |w| can exceed 1 by rounding; acos would give NaN.
    float angle = 2.0f * crt_acosf(mathf_clamp(q->w, -1.0f, 1.0f));
    if (out_axis) quat_axis_divided(out_axis, q, crt_sinf(angle * 0.5f));
    if (out_angle) *out_angle = angle;
    return out_axis;
}

Vec3 *quat_axis_divided(Vec3 *out, const Quat *q, float s) {
    if (s > -1e-5f && s < 1e-5f) s = s < 0.0f ? -1e-5f : 1e-5f;
    return vec3_set(out, q->x / s, q->y / s, q->z / s);
}

Quat *quat_from_two_vectors(Quat *out, const Vec3 *from, const Vec3 *to) {
    Vec3 axis;
    vec3_cross(&axis, from, to);
    if (vec3_length(&axis) < 1e-6f) return quat_identity(out);
    vec3_normalize(&axis, &axis);
    Vec3 nf, nt;
    vec3_normalize(&nf, from);
    vec3_normalize(&nt, to);
    float angle = crt_acosf(mathf_clamp(vec3_dot(&nf, &nt), -1.0f, 1.0f));
    if (angle < 1e-6f) return quat_identity(out);
    return quat_from_axis_angle(out, &axis, angle);
}

namespace {

// The trace method on a 3x3 rotation r[i][j] (row i, column j).
void quat_from_rows(Quat *out, const float r[3][3]) {
    float trace = r[0][0] + r[1][1] + r[2][2];
    Quat q;
    if (trace > 0.0f) {
        float s = crt_sqrtf(trace + 1.0f);
        float f = 0.5f / s;
        q = Quat{(r[1][2] - r[2][1]) * f, (r[2][0] - r[0][2]) * f, (r[0][1] - r[1][0]) * f,
                 s * 0.5f};
    } else {
        int k = 0;
        if (r[1][1] > r[0][0]) k = 1;
        if (r[2][2] > r[k][k]) k = 2;
        if (k == 0) {
            float s = crt_sqrtf(r[0][0] - (r[1][1] + r[2][2]) + 1.0f);
            float f = 0.5f / s;
            q = Quat{s * 0.5f, (r[1][0] + r[0][1]) * f, (r[0][2] + r[2][0]) * f,
                     (r[1][2] - r[2][1]) * f};
        } else if (k == 1) {
            float s = crt_sqrtf(r[1][1] - (r[2][2] + r[0][0]) + 1.0f);
            float f = 0.5f / s;
            q = Quat{(r[1][0] + r[0][1]) * f, s * 0.5f, (r[2][1] + r[1][2]) * f,
                     (r[2][0] - r[0][2]) * f};
        } else {
            float s = crt_sqrtf(r[2][2] - (r[0][0] + r[1][1]) + 1.0f);
            float f = 0.5f / s;
            q = Quat{(r[0][2] + r[2][0]) * f, (r[2][1] + r[1][2]) * f, s * 0.5f,
                     (r[0][1] - r[1][0]) * f};
        }
    }
    *out = q;
}

struct Mat3 {
    float r[3][3];
};

Mat3 rot_x(float c, float s) {
    return Mat3{{{1, 0, 0}, {0, c, s}, {0, -s, c}}};
}
Mat3 rot_y(float c, float s) {
    return Mat3{{{c, 0, -s}, {0, 1, 0}, {s, 0, c}}};
}
Mat3 rot_z(float c, float s) {
    return Mat3{{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
}

// a x b, a applied first to a row vector.
Mat3 mul3(const Mat3 &a, const Mat3 &b) {
    Mat3 o;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            o.r[i][j] = a.r[i][0] * b.r[0][j] + a.r[i][1] * b.r[1][j] + a.r[i][2] * b.r[2][j];
    return o;
}

// order: three of 'x', 'y', 'z', leftmost applied first.
Quat *quat_from_euler_order(Quat *out, const EulerAngles *angles, const char *order) {
    Mat3 rx = rot_x(crt_cosf(angles->x), crt_sinf(angles->x));
    Mat3 ry = rot_y(crt_cosf(angles->y), crt_sinf(angles->y));
    Mat3 rz = rot_z(crt_cosf(angles->z), crt_sinf(angles->z));
    auto pick = [&](char axis) -> const Mat3 & { return axis == 'x' ? rx : axis == 'y' ? ry : rz; };
    Mat3 m = mul3(mul3(pick(order[0]), pick(order[1])), pick(order[2]));
    quat_from_rows(out, m.r);
    return out;
}

} // namespace

Quat *quat_from_mat4(Quat *out, const Mat4 *m) {
    float r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = m->m[i][j];
    quat_from_rows(out, r);
    return out;
}

Mat4 *quat_to_mat3x4(Mat4 *out, const Quat *q) {
    float x = q->x, y = q->y, z = q->z, w = q->w;
    float r0[4] = {1.0f - 2.0f * (y * y + z * z), 2.0f * x * y + 2.0f * w * z,
                   2.0f * x * z - 2.0f * w * y, 0.0f};
    float r1[4] = {2.0f * x * y - 2.0f * w * z, 1.0f - 2.0f * (x * x + z * z),
                   2.0f * y * z + 2.0f * w * x, 0.0f};
    float r2[4] = {2.0f * x * z + 2.0f * w * y, 2.0f * y * z - 2.0f * w * x,
                   1.0f - 2.0f * (x * x + y * y), 0.0f};
    for (int j = 0; j < 4; ++j) {
        out->m[0][j] = r0[j];
        out->m[1][j] = r1[j];
        out->m[2][j] = r2[j];
    }
    return out;
}

Quat *quat_from_euler_zyx(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "zyx");
}
Quat *quat_from_euler_xzy(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "xzy");
}
Quat *quat_from_euler_yxz(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "yxz");
}
Quat *quat_from_euler_xyz(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "xyz");
}
Quat *quat_from_euler_yzx(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "yzx");
}
Quat *quat_from_euler_zxy(Quat *out, const EulerAngles *a) {
    return quat_from_euler_order(out, a, "zxy");
}

Quat *quat_slerp(Quat *out, const Quat *a, const Quat *b, float t) {
    Quat qa = *a, qb = *b;
    float c = qa.x * qb.x + qa.y * qb.y + qa.z * qb.z + qa.w * qb.w;
    if (c < 0.0f) {
        qa = Quat{-qa.x, -qa.y, -qa.z, -qa.w};
        c = qa.x * qb.x + qa.y * qb.y + qa.z * qb.z + qa.w * qb.w;
    }
    float theta = 0.0f, s = 0.0f;
    if (c < 1.0f) {
        theta = crt_acosf(c);
        s = crt_sinf(theta);
    }
    if (s > -1e-9f && s < 1e-9f) {
        *out = qa;
        return out;
    }
    float k = 1.0f / s;
    float ka = crt_sinf(theta - theta * t) * k;
    float kb = crt_sinf(theta * t) * k;
    *out = Quat{qa.x * ka + qb.x * kb, qa.y * ka + qb.y * kb, qa.z * ka + qb.z * kb,
                qa.w * ka + qb.w * kb};
    return out;
}

Quat *quat_log(Quat *out, const Quat *q) {
    float theta = crt_acosf(mathf_clamp(q->w, -1.0f, 1.0f));
    if (theta == 0.0f) {
        *out = Quat{0.0f, 0.0f, 0.0f, 0.0f};
        return out;
    }
    float f = theta / crt_sinf(theta);
    *out = Quat{q->x * f, q->y * f, q->z * f, 0.0f};
    return out;
}

Quat *quat_exp(Quat *out, const Quat *v) {
    float theta = crt_sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
    float f = theta == 0.0f ? 1.0f : crt_sinf(theta) / theta;
    *out = Quat{v->x * f, v->y * f, v->z * f, crt_cosf(theta)};
    return out;
}

Mat4 *quat_rotation_derivative(Mat4 *out, const Quat *q, const Quat *d) {
    float x = q->x, y = q->y, z = q->z, w = q->w;
    float dx = d->x, dy = d->y, dz = d->z, dw = d->w;
    float rows[4][4] = {{-4.0f * (y * dy + z * dz), 2.0f * (x * dy + y * dx + w * dz + z * dw),
                         2.0f * (x * dz + z * dx - w * dy - y * dw), 0.0f},
                        {2.0f * (x * dy + y * dx - w * dz - z * dw), -4.0f * (x * dx + z * dz),
                         2.0f * (y * dz + z * dy + w * dx + x * dw), 0.0f},
                        {2.0f * (x * dz + z * dx + w * dy + y * dw),
                         2.0f * (y * dz + z * dy - w * dx - x * dw), -4.0f * (x * dx + y * dy),
                         0.0f},
                        {0.0f, 0.0f, 0.0f, 1.0f}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out->m[i][j] = rows[i][j];
    return out;
}

Quat *quat_exp_jacobian(Quat *row0, Quat *row1, Quat *row2, const Quat *v) {
    float theta = crt_sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
    float k, sinc;
    if (theta < 0.1f) {
        // Series of c/t^2 - s/t^3 and s/t: the closed forms cancel badly near 0 and
        // divide by zero at 0, where the limits are -1/3 and 1.
        float t2 = theta * theta;
        k = -1.0f / 3.0f + t2 / 30.0f - t2 * t2 / 840.0f;
        sinc = 1.0f - t2 / 6.0f + t2 * t2 / 120.0f;
    } else {
        float s = crt_sinf(theta), c = crt_cosf(theta);
        k = c / (theta * theta) - s / (theta * theta * theta);
        sinc = s / theta;
    }
    const float vv[3] = {v->x, v->y, v->z};
    Quat *rows[3] = {row0, row1, row2};
    for (int i = 0; i < 3; ++i) {
        float r[3] = {vv[i] * vv[0] * k, vv[i] * vv[1] * k, vv[i] * vv[2] * k};
        r[i] += sinc;
        *rows[i] = Quat{r[0], r[1], r[2], -vv[i] * sinc};
    }
    return row2;
}

Quat *quat_conjugate(Quat *out, const Quat *q) {
    *out = Quat{-q->x, -q->y, -q->z, q->w};
    return out;
}

Quat *quat_multiply(Quat *out, const Quat *p, const Quat *q) {
    Quat r = {p->w * q->x + p->x * q->w + p->y * q->z - p->z * q->y,
              p->w * q->y + p->y * q->w + p->z * q->x - p->x * q->z,
              p->w * q->z + p->z * q->w + p->x * q->y - p->y * q->x,
              p->w * q->w - p->x * q->x - p->y * q->y - p->z * q->z};
    *out = r;
    return out;
}

Quat *quat_conjugate_by(Quat *out, const Quat *a, const Quat *b) {
    Quat ba, cb;
    quat_multiply(&ba, b, a);
    quat_conjugate(&cb, b);
    return quat_multiply(out, &ba, &cb);
}
