#include "math/mat4.h"

#include <cmath>
#include <cstring>

#include "math/crt_float.h"
#include "math/mathf.h"
#include "math/plane.h"
#include "math/vec.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MAT4_HAVE_SSE 1
#endif

namespace {

void set_row(Mat4 *m, int i, float a, float b, float c, float d) {
    m->m[i][0] = a;
    m->m[i][1] = b;
    m->m[i][2] = c;
    m->m[i][3] = d;
}

Vec3 row3(const Mat4 *m, int i) {
    return Vec3{m->m[i][0], m->m[i][1], m->m[i][2]};
}

void set_row3(Mat4 *m, int i, const Vec3 &v, float w) {
    set_row(m, i, v.x, v.y, v.z, w);
}

void set_translation_row(Mat4 *m, const Vec3 *position) {
    if (position)
        set_row(m, 3, position->x, position->y, position->z, 1.0f);
    else
        set_row(m, 3, 0.0f, 0.0f, 0.0f, 1.0f);
}

// A rigid frame: the three axis rows with w 0, then the position row.
static Mat4 *set_frame(Mat4 *m, const Vec3 &x, const Vec3 &y, const Vec3 &z, const Vec3 *position) {
    set_row3(m, 0, x, 0.0f);
    set_row3(m, 1, y, 0.0f);
    set_row3(m, 2, z, 0.0f);
    set_translation_row(m, position);
    return m;
}

bool is_zero(const Vec3 &v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

} // namespace

Mat4 *mat4_identity(Mat4 *out) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out->m[i][j] = i == j ? 1.0f : 0.0f;
    return out;
}

Mat4 *mat4_reset_rotation(Mat4 *out) {
    set_row(out, 0, 1.0f, 0.0f, 0.0f, 0.0f);
    set_row(out, 1, 0.0f, 1.0f, 0.0f, 0.0f);
    set_row(out, 2, 0.0f, 0.0f, 1.0f, 0.0f);
    out->m[3][3] = 1.0f;
    return out;
}

Mat4 *mat4_copy(Mat4 *dst, const Mat4 *src) {
    std::memmove(dst, src, sizeof(Mat4));
    return dst;
}

Mat4 *mat4_copy_rotation(Mat4 *dst, const Mat4 *src) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) dst->m[i][j] = src->m[i][j];
    return dst;
}

Vec4 *vec4_copy(Vec4 *dst, const Vec4 *src) {
    *dst = *src;
    return dst;
}

Mat4 *mat4_translation(Mat4 *out, const Vec3 *v) {
    mat4_identity(out);
    set_translation_row(out, v);
    return out;
}

Mat4 *mat4_rotation_euler(Mat4 *out, const EulerAngles *a) {
    float sx = crt_sinf(a->x), cx = crt_cosf(a->x);
    float sy = crt_sinf(a->y), cy = crt_cosf(a->y);
    float sz = crt_sinf(a->z), cz = crt_cosf(a->z);
    set_row(out, 0, cy * cz + sy * sx * sz, cx * sz, cy * sx * sz - sy * cz, 0.0f);
    set_row(out, 1, sy * sx * cz - cy * sz, cx * cz, cy * sx * cz + sy * sz, 0.0f);
    set_row(out, 2, sy * cx, -sx, cy * cx, 0.0f);
    return out;
}

Mat4 *mat4_from_position_euler(Mat4 *out, const Vec3 *position, const EulerAngles *angles) {
    mat4_rotation_euler(out, angles);
    set_row(out, 3, position->x, position->y, position->z, 1.0f);
    return out;
}

Mat4 *mat4_from_position_euler_f(Mat4 *out, float px, float py, float pz, float ax, float ay,
                                 float az) {
    Vec3 p = {px, py, pz};
    EulerAngles a = {ax, ay, az};
    return mat4_from_position_euler(out, &p, &a);
}

Mat4 *mat4_from_position_axis_angle(Mat4 *out, const Vec3 *position, const Vec3 *axis,
                                    float angle) {
    Vec3 n;
    vec3_normalize(&n, axis);
    Quat q;
    quat_from_axis_angle(&q, &n, angle);
    quat_to_mat3x4(out, &q);
    set_translation_row(out, position);
    return out;
}

Mat4 *mat4_from_position_up(Mat4 *out, const Vec3 *position, const Vec3 *up) {
    Vec3 r1 = {0.0f, 1.0f, 0.0f};
    if (up && !is_zero(*up)) vec3_normalize(&r1, up);
    // The helper axis is a cyclic shuffle of up; it is parallel to up when all three components
    // are equal, and then a world axis takes its place.
    Vec3 h = {r1.z, r1.x, r1.y};
    vec3_normalize(&h, &h);
    Vec3 r0;
    vec3_cross(&r0, &r1, &h);
    if (vec3_length_sq_floor(&r0) == 0.0f) {
        h = std::fabs(r1.x) < 0.9f ? Vec3{1.0f, 0.0f, 0.0f} : Vec3{0.0f, 0.0f, 1.0f};
        vec3_cross(&r0, &r1, &h);
    }
    vec3_normalize(&r0, &r0);
    Vec3 r2;
    vec3_cross(&r2, &r0, &r1);
    vec3_normalize(&r2, &r2);
    return set_frame(out, r0, r1, r2, position);
}

Mat4 *mat4_orient_along(Mat4 *out, const Vec3 *position, const Vec3 *forward, const Vec3 *up,
                        int flip) {
    Vec3 z, u = {0.0f, 1.0f, 0.0f};
    vec3_normalize(&z, forward);
    if (flip) vec3_negate(&z, &z);
    if (up) vec3_normalize(&u, up);
    Vec3 r0, r1;
    vec3_cross(&r0, &u, &z);
    if (is_zero(r0)) r0.x = 1e-5f;
    vec3_cross(&r1, &z, &r0);
    vec3_normalize(&r0, &r0);
    vec3_normalize(&r1, &r1);
    return set_frame(out, r0, r1, z, position);
}

Mat4 *mat4_orient_along_up(Mat4 *out, const Vec3 *position, const Vec3 *forward, const Vec3 *up,
                           int flip) {
    Vec3 u = {0.0f, 1.0f, 0.0f}, z;
    if (up && !is_zero(*up)) vec3_normalize(&u, up);
    vec3_normalize(&z, forward);
    if (flip) vec3_negate(&z, &z);
    Vec3 r0, r2;
    vec3_cross(&r0, &u, &z);
    if (is_zero(r0)) {
        r0 = Vec3{1.0f, 0.0f, 0.0f};
        r2 = Vec3{0.0f, 0.0f, 1.0f};
    } else {
        vec3_cross(&r2, &r0, &u);
        vec3_normalize(&r0, &r0);
        vec3_normalize(&r2, &r2);
    }
    return set_frame(out, r0, u, r2, position);
}

namespace {

Vec3 forward_between(const Vec3 *eye, const Vec3 *target) {
    Vec3 e = eye ? *eye : Vec3{0.0f, 0.0f, 0.0f};
    Vec3 t = target ? *target : Vec3{0.0f, 0.0f, 0.0f};
    return Vec3{t.x - e.x, t.y - e.y, t.z - e.z};
}

} // namespace

Mat4 *mat4_look_at_point(Mat4 *out, const Vec3 *eye, const Vec3 *target, const Vec3 *up, int flip) {
    Vec3 f = forward_between(eye, target);
    return mat4_orient_along(out, eye, &f, up, flip);
}

Mat4 *mat4_look_at_point_up(Mat4 *out, const Vec3 *eye, const Vec3 *target, const Vec3 *up,
                            int flip) {
    Vec3 f = forward_between(eye, target);
    return mat4_orient_along_up(out, eye, &f, up, flip);
}

Mat4 *mat4_perspective_off_center(Mat4 *out, float l, float r, float b, float t, float n, float f) {
    std::memset(out, 0, sizeof(Mat4));
    out->m[0][0] = 2.0f * n / (r - l);
    out->m[1][1] = 2.0f * n / (t - b);
    out->m[2][0] = (l + r) / (l - r);
    out->m[2][1] = (t + b) / (b - t);
    out->m[2][2] = f / (f - n);
    out->m[2][3] = 1.0f;
    out->m[3][2] = n * f / (n - f);
    return out;
}

Mat4 *mat4_ortho_off_center(Mat4 *out, float l, float r, float b, float t, float n, float f) {
    std::memset(out, 0, sizeof(Mat4));
    out->m[0][0] = 2.0f / (r - l);
    out->m[1][1] = 2.0f / (t - b);
    out->m[2][2] = 1.0f / (f - n);
    out->m[3][0] = (l + r) / (l - r);
    out->m[3][1] = (t + b) / (b - t);
    out->m[3][2] = n / (n - f);
    out->m[3][3] = 1.0f;
    return out;
}

Mat4 *mat4_reflect(Mat4 *out, const Plane *plane) {
    Plane p;
    plane_normalize(&p, plane);
    const float n[3] = {p.a, p.b, p.c};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) out->m[i][j] = (i == j ? 1.0f : 0.0f) - 2.0f * n[i] * n[j];
        out->m[i][3] = 0.0f;
    }
    set_row(out, 3, -2.0f * p.d * n[0], -2.0f * p.d * n[1], -2.0f * p.d * n[2], 1.0f);
    return out;
}

Mat4 *mat4_shadow(Mat4 *out, const Vec3 *light, const Plane *plane, int directional) {
    Plane p;
    plane_normalize(&p, plane);
    if (directional) {
        Vec3 l;
        vec3_normalize(&l, light);
        float k = -plane_dot_normal(&p, &l);
        const float pr[3] = {p.a, p.b, p.c};
        for (int i = 0; i < 3; ++i) {
            set_row(out, i, pr[i] * l.x, pr[i] * l.y, pr[i] * l.z, 0.0f);
            out->m[i][i] += k;
        }
        set_row(out, 3, p.d * l.x, p.d * l.y, p.d * l.z, k);
    } else {
        Vec3 l = *light;
        float k = plane_dot_point(&p, &l);
        const float pr[4] = {-p.a, -p.b, -p.c, -p.d};
        for (int i = 0; i < 3; ++i) {
            set_row(out, i, pr[i] * l.x, pr[i] * l.y, pr[i] * l.z, pr[i]);
            out->m[i][i] += k;
        }
        set_row(out, 3, pr[3] * l.x, pr[3] * l.y, pr[3] * l.z, pr[3] + k);
    }
    return out;
}

Mat4 *mat4_oblique_clip_projection(Mat4 *out, const Mat4 *projection, const Mat4 *view,
                                   const Plane *plane) {
    Plane p;
    plane_normalize(&p, plane);
    Mat4 tmp;
    mat4_multiply(&tmp, projection, view);
    mat4_inverse(&tmp, &tmp);
    mat4_transpose(&tmp, &tmp);
    Vec4 v = {p.a, p.b, p.c, p.d}, c;
    mat4_transform_vec4(&c, &tmp, &v);
    if (c.w == 0.0f) return mat4_copy(out, projection);
    Plane cp = {c.x, c.y, c.z, c.w};
    plane_normalize(&cp, &cp);
    if (cp.d > 0.0f) {
        cp = Plane{-cp.a, -cp.b, -cp.c, -cp.d};
        cp.d += 1.0f;
    }
    Mat4 clip;
    mat4_identity(&clip);
    clip.m[0][2] = cp.a;
    clip.m[1][2] = cp.b;
    clip.m[2][2] = cp.c;
    clip.m[3][2] = cp.d;
    return mat4_multiply(out, &clip, projection);
}

Mat4 *mat4_multiply(Mat4 *out, const Mat4 *a, const Mat4 *b) {
    alignas(16) float r[4][4];
#ifdef MAT4_HAVE_SSE
    __m128 a0 = _mm_loadu_ps(a->m[0]), a1 = _mm_loadu_ps(a->m[1]);
    __m128 a2 = _mm_loadu_ps(a->m[2]), a3 = _mm_loadu_ps(a->m[3]);
    for (int i = 0; i < 4; ++i) {
        __m128 s = _mm_mul_ps(_mm_set1_ps(b->m[i][0]), a0);
        s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(b->m[i][1]), a1));
        s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(b->m[i][2]), a2));
        s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(b->m[i][3]), a3));
        _mm_store_ps(r[i], s);
    }
#else
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = b->m[i][0] * a->m[0][j];
            s = s + b->m[i][1] * a->m[1][j];
            s = s + b->m[i][2] * a->m[2][j];
            s = s + b->m[i][3] * a->m[3][j];
            r[i][j] = s;
        }
#endif
    std::memcpy(out->m, r, sizeof(r));
    return out;
}

Mat4 *mat4_pre_translate(Mat4 *out, const Mat4 *m, const Vec3 *v) {
    Vec3 d = *v; // v may point into out's translation row
    if (out != m) mat4_copy(out, m);
    for (int j = 0; j < 3; ++j)
        out->m[3][j] += d.x * m->m[0][j] + d.y * m->m[1][j] + d.z * m->m[2][j];
    return out;
}

namespace {

// Rows p' = c*p + s*q and q' = -s*p + c*q (all four columns); the other rows copied.
Mat4 *pre_rotate_rows(Mat4 *out, const Mat4 *m, float angle, int p, int q) {
    float c = crt_cosf(angle), s = crt_sinf(angle);
    Mat4 r = *m;
    for (int j = 0; j < 4; ++j) {
        r.m[p][j] = c * m->m[p][j] + s * m->m[q][j];
        r.m[q][j] = -s * m->m[p][j] + c * m->m[q][j];
    }
    *out = r;
    return out;
}

} // namespace

Mat4 *mat4_pre_rotate_x(Mat4 *out, const Mat4 *m, float angle) {
    return pre_rotate_rows(out, m, angle, 1, 2);
}

Mat4 *mat4_pre_rotate_y(Mat4 *out, const Mat4 *m, float angle) {
    // Y(a) rows (c, 0, -s), (0, 1, 0), (s, 0, c): row0' = c*row0 - s*row2.
    return pre_rotate_rows(out, m, -angle, 0, 2);
}

Mat4 *mat4_pre_rotate_z(Mat4 *out, const Mat4 *m, float angle) {
    return pre_rotate_rows(out, m, angle, 0, 1);
}

Mat4 *mat4_pre_rotate_euler(Mat4 *out, const Mat4 *m, const EulerAngles *angles) {
    // Z x X x Y x m = Z x (X x (Y x m)).
    mat4_pre_rotate_y(out, m, angles->y);
    mat4_pre_rotate_x(out, out, angles->x);
    return mat4_pre_rotate_z(out, out, angles->z);
}

Mat4 *mat4_pre_position_euler(Mat4 *m, const Mat4 *, const Vec3 *position,
                              const EulerAngles *angles) {
    mat4_pre_translate(m, m, position);
    return mat4_pre_rotate_euler(m, m, angles);
}

Mat4 *mat4_pre_position_axis_angle(Mat4 *out, const Mat4 *m, const Vec3 *position, const Vec3 *axis,
                                   float angle) {
    Mat4 r;
    mat4_from_position_axis_angle(&r, position, axis, angle);
    return mat4_multiply(out, m, &r);
}

Mat4 *mat4_scale_rows(Mat4 *out, const Mat4 *m, const Vec3 *scale) {
    const float s[3] = {scale->x, scale->y, scale->z};
    Mat4 r = *m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m->m[i][j] * s[i];
    *out = r;
    return out;
}

Mat4 *mat4_normalize_rows(Mat4 *out, const Mat4 *m) {
    Mat4 r = *m;
    for (int i = 0; i < 3; ++i) {
        Vec3 v = row3(m, i);
        vec3_normalize(&v, &v);
        r.m[i][0] = v.x;
        r.m[i][1] = v.y;
        r.m[i][2] = v.z;
    }
    *out = r;
    return out;
}

Mat4 *mat4_transpose(Mat4 *out, const Mat4 *m) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

Mat4 *mat4_inverse_checked(Mat4 *out, const Mat4 *m) {
    // Cofactor expansion by 2x2 minors of the top and bottom row pairs, in double.
    double a[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) a[i][j] = m->m[i][j];
    double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (det == 0.0 || !std::isfinite(det)) return nullptr;
    double k = 1.0 / det;
    double r[4][4] = {{(a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3),
                       (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3),
                       (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3),
                       (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3)},
                      {(-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1),
                       (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1),
                       (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1),
                       (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1)},
                      {(a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0),
                       (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0),
                       (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0),
                       (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0)},
                      {(-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0),
                       (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0),
                       (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0),
                       (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0)}};
    Mat4 inv;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            inv.m[i][j] = (float)(r[i][j] * k);
            if (!std::isfinite(inv.m[i][j])) return nullptr;
        }
    *out = inv;
    return out;
}

Mat4 *mat4_inverse(Mat4 *out, const Mat4 *m) {
    if (!mat4_inverse_checked(out, m)) mat4_identity(out);
    return out;
}

Mat4 *mat4_swap_axes(Mat4 *out, const Mat4 *m) {
    Mat4 r = *m;
    for (int j = 0; j < 4; ++j) {
        r.m[0][j] = m->m[2][j];
        r.m[1][j] = -m->m[0][j];
        r.m[2][j] = -m->m[1][j];
    }
    *out = r;
    return out;
}

Mat4 *mat4_unswap_axes(Mat4 *out, const Mat4 *m) {
    Mat4 r = *m;
    for (int j = 0; j < 4; ++j) {
        r.m[0][j] = -m->m[1][j];
        r.m[1][j] = -m->m[2][j];
        r.m[2][j] = m->m[0][j];
    }
    *out = r;
    return out;
}

namespace {

Quat normalized_or_same(Quat q) {
    float sq = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (sq == 0.0f) return q;
    float len = crt_sqrtf(sq);
    return Quat{q.x / len, q.y / len, q.z / len, q.w / len};
}

// `m` with rows 0-2 divided by their lengths `s` (a zero row stays zero).
void unscaled_rows(Mat4 *out, const Mat4 *m, const Vec3 *s) {
    *out = *m;
    const float len[3] = {s->x, s->y, s->z};
    for (int r = 0; r < 3; ++r)
        if (len[r] != 0.0f)
            for (int c = 0; c < 3; ++c) out->m[r][c] = m->m[r][c] / len[r];
}

} // namespace

Mat4 *mat4_interpolate(Mat4 *out, const Mat4 *a, const Mat4 *b, float t) {
    if (t == 0.0f) return mat4_copy(out, a);
    if (t == 1.0f) return mat4_copy(out, b);
    Vec3 sa, sb;
    mat4_axis_scales(&sa, a);
    mat4_axis_scales(&sb, b);
    // Rotations from the rows with their scales divided out: the trace method reads a scaled
    // upper 3x3 as a different angle (a quarter turn at scale 2 reads as about 106 degrees).
    Mat4 ua, ub;
    unscaled_rows(&ua, a, &sa);
    unscaled_rows(&ub, b, &sb);
    Quat qa, qb, q;
    quat_from_mat4(&qa, &ua);
    quat_from_mat4(&qb, &ub);
    qa = normalized_or_same(qa);
    qb = normalized_or_same(qb);
    quat_slerp(&q, &qa, &qb, t);
    q = normalized_or_same(q);
    Vec3 ta = row3(a, 3), tb = row3(b, 3);
    Vec3 s = {sa.x + (sb.x - sa.x) * t, sa.y + (sb.y - sa.y) * t, sa.z + (sb.z - sa.z) * t};
    Vec3 pos = {ta.x + (tb.x - ta.x) * t, ta.y + (tb.y - ta.y) * t, ta.z + (tb.z - ta.z) * t};
    quat_to_mat3x4(out, &q);
    mat4_scale_rows(out, out, &s);
    set_row(out, 3, pos.x, pos.y, pos.z, 1.0f);
    return out;
}

Vec3 *mat4_rotate_vector(Vec3 *out, const Mat4 *m, const Vec3 *v) {
    float x = v->x, y = v->y, z = v->z;
    return vec3_set(out, x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0],
                    x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1],
                    x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2]);
}

Vec3 *mat4_rotate_vectors4(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                           const Vec3 *in0, const Vec3 *in1, const Vec3 *in2, const Vec3 *in3) {
    mat4_rotate_vector(out0, m, in0);
    mat4_rotate_vector(out1, m, in1);
    mat4_rotate_vector(out2, m, in2);
    mat4_rotate_vector(out3, m, in3);
    return out0;
}

Vec3 *mat4_rotate_vectors4_xy(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                              const Vec3 *in0, const Vec3 *in1, const Vec3 *in2, const Vec3 *in3) {
    Vec3 *outs[4] = {out0, out1, out2, out3};
    const Vec3 *ins[4] = {in0, in1, in2, in3};
    Vec3 r[4];
    for (int k = 0; k < 4; ++k) {
        float x = ins[k]->x, y = ins[k]->y;
        r[k] = Vec3{x * m->m[0][0] + y * m->m[1][0], x * m->m[0][1] + y * m->m[1][1],
                    x * m->m[0][2] + y * m->m[1][2]};
    }
    for (int k = 0; k < 4; ++k) *outs[k] = r[k];
    return out0;
}

Vec3 *mat4_transform_point(Vec3 *out, const Mat4 *m, const Vec3 *p) {
    float x = p->x, y = p->y, z = p->z;
    return vec3_set(out, x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0] + m->m[3][0],
                    x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1] + m->m[3][1],
                    x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2] + m->m[3][2]);
}

const Mat4 *mat4_transform_points4(Vec3 *out0, Vec3 *out1, Vec3 *out2, Vec3 *out3, const Mat4 *m,
                                   const Vec3 *in0, const Vec3 *in1, const Vec3 *in2,
                                   const Vec3 *in3) {
    mat4_transform_point(out0, m, in0);
    mat4_transform_point(out1, m, in1);
    mat4_transform_point(out2, m, in2);
    mat4_transform_point(out3, m, in3);
    return m;
}

Vec4 *mat4_transform_vec4(Vec4 *out, const Mat4 *m, const Vec4 *v) {
    float x = v->x, y = v->y, z = v->z, w = v->w;
    float r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = x * m->m[0][j] + y * m->m[1][j] + z * m->m[2][j] + w * m->m[3][j];
    *out = Vec4{r[0], r[1], r[2], r[3]};
    return out;
}

Vec3 *mat4_project_point(Vec3 *out, const Mat4 *m, const Vec3 *p) {
    Vec4 h = {p->x, p->y, p->z, 1.0f};
    mat4_transform_vec4(&h, m, &h);
    if (h.w == 0.0f) return vec3_set(out, h.x, h.y, h.z);
    float aw = crt_fabsf(h.w);
    return vec3_set(out, h.x / aw, h.y / aw, h.z);
}

namespace {

EulerAngles *set_angles(EulerAngles *out, float x, float y, float z) {
    *out = EulerAngles{x, y, z};
    return out;
}

} // namespace

EulerAngles *mat4_to_euler(EulerAngles *out, const Mat4 *m) {
    float s = m->m[2][1];
    if (s <= -1.0f) return set_angles(out, kMathHalfPi, 0.0f, -crt_atan2f(m->m[1][0], m->m[0][0]));
    if (s >= 1.0f) return set_angles(out, -kMathHalfPi, 0.0f, -crt_atan2f(m->m[1][0], m->m[0][0]));
    return set_angles(out, crt_asinf(-s), crt_atan2f(m->m[2][0], m->m[2][2]),
                      crt_atan2f(m->m[0][1], m->m[1][1]));
}

EulerAngles *mat4_to_euler_yaw_first(EulerAngles *out, const Mat4 *m) {
    float s = m->m[1][2];
    if (s <= -1.0f) return set_angles(out, -kMathHalfPi, crt_atan2f(m->m[2][0], m->m[0][0]), 0.0f);
    if (s >= 1.0f) return set_angles(out, kMathHalfPi, -crt_atan2f(-m->m[2][0], m->m[0][0]), 0.0f);
    return set_angles(out, crt_asinf(s), crt_atan2f(-m->m[0][2], m->m[2][2]),
                      crt_atan2f(-m->m[1][0], m->m[1][1]));
}

EulerAngles *mat4_to_euler_zyx(EulerAngles *out, const Mat4 *m) {
    float s = m->m[2][0];
    if (s <= -1.0f) return set_angles(out, 0.0f, -kMathHalfPi, crt_atan2f(m->m[0][1], m->m[1][1]));
    if (s >= 1.0f) return set_angles(out, 0.0f, kMathHalfPi, -crt_atan2f(-m->m[0][1], m->m[1][1]));
    return set_angles(out, crt_atan2f(-m->m[2][1], m->m[2][2]), crt_asinf(s),
                      crt_atan2f(-m->m[1][0], m->m[0][0]));
}

EulerAngles *mat4_to_euler_xzy(EulerAngles *out, const Mat4 *m) {
    float s = m->m[0][1];
    if (s <= -1.0f) return set_angles(out, crt_atan2f(m->m[1][2], m->m[2][2]), 0.0f, -kMathHalfPi);
    if (s >= 1.0f) return set_angles(out, -crt_atan2f(-m->m[1][2], m->m[2][2]), 0.0f, kMathHalfPi);
    return set_angles(out, crt_atan2f(-m->m[2][1], m->m[1][1]), crt_atan2f(-m->m[0][2], m->m[0][0]),
                      crt_asinf(s));
}

EulerAngles *mat4_to_euler_xyz(EulerAngles *out, const Mat4 *m) {
    float s = m->m[0][2];
    if (s <= -1.0f) return set_angles(out, -crt_atan2f(m->m[2][1], m->m[1][1]), kMathHalfPi, 0.0f);
    if (s >= 1.0f) return set_angles(out, -crt_atan2f(m->m[2][1], m->m[1][1]), -kMathHalfPi, 0.0f);
    return set_angles(out, crt_atan2f(m->m[1][2], m->m[2][2]), crt_asinf(-s),
                      crt_atan2f(m->m[0][1], m->m[0][0]));
}

EulerAngles *mat4_rotate_euler_angles(EulerAngles *out, const Mat4 *m, const EulerAngles *angles) {
    Mat4 r, p;
    mat4_identity(&r);
    mat4_rotation_euler(&r, angles);
    mat4_multiply(&p, &r, m); // m first, then the rotation
    return mat4_to_euler(out, &p);
}

Vec3 *mat4_axis_scales(Vec3 *out, const Mat4 *m) {
    float s[3];
    for (int i = 0; i < 3; ++i) {
        Vec3 r = row3(m, i);
        s[i] = crt_sqrtf(vec3_dot(&r, &r));
    }
    return vec3_set(out, s[0], s[1], s[2]);
}

float mat4_max_axis_scale(const Mat4 *m) {
    float best = 0.0f;
    for (int i = 0; i < 3; ++i) {
        Vec3 r = row3(m, i);
        float sq = vec3_dot(&r, &r);
        if (i == 0 || sq > best) best = sq;
    }
    return mathf_sqrt_fast(best);
}

Vec3 *mat4_decompose_position_euler(Vec3 *out_position, EulerAngles *out_angles, const Mat4 *m) {
    if (out_angles) mat4_to_euler(out_angles, m);
    if (out_position) *out_position = row3(m, 3);
    return out_position;
}

Vec3 *mat4_decompose(Vec3 *out_position, EulerAngles *out_angles, Vec3 *out_scale, const Mat4 *m) {
    if (out_scale) mat4_axis_scales(out_scale, m);
    return mat4_decompose_position_euler(out_position, out_angles, m);
}

int mat4_differs(const Mat4 *a, const Mat4 *b, float tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (crt_fabsf(a->m[i][j] - b->m[i][j]) > tolerance) return 1;
    return 0;
}

int mat4_differs_from_identity(const Mat4 *m, float tolerance) {
    Mat4 id;
    return mat4_differs(m, mat4_identity(&id), tolerance);
}
