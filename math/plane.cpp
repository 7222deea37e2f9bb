#include "math/plane.h"

#include <cmath>

#include "math/crt_float.h"
#include "math/mat4.h"
#include "math/mathf.h"
#include "math/vec.h"

namespace {

constexpr float kMinFov = 1.7453294e-5f; // 0.001 degrees
constexpr float kMaxFov = 3.139847f;     // 179.9 degrees
// Largest half-angle: half the largest field of view, safely below pi/2 so no tangent turns
// negative and the frustum never inverts.
constexpr float kMaxHalfAngle = kMaxFov * 0.5f;

float clamp_half(float angle) {
    return angle > kMaxHalfAngle ? kMaxHalfAngle : angle;
}

} // namespace

FrustumParams *frustum_from_fov(FrustumParams *out, float fov, float aspect, float cx, float cy,
                                float near, float far) {
    if (!out) return out;
    fov = mathf_clamp(fov, kMinFov, kMaxFov);
    out->top = crt_tanf(clamp_half(fov * cy)) * near;
    out->bottom = -crt_tanf(clamp_half((1.0f - cy) * fov)) * near;
    out->left = -crt_tanf(clamp_half(fov * cx)) * near * aspect;
    out->right = crt_tanf(clamp_half((1.0f - cx) * fov)) * near * aspect;
    out->near = near;
    out->far = far;
    return out;
}

FrustumParams *frustum_from_angles(FrustumParams *out, float top_angle, float bottom_angle,
                                   float left_angle, float right_angle, float aspect, float near,
                                   float far) {
    if (!out) return out;
    auto clamp_angle = [](float a) { return mathf_clamp(a, kMinFov, kMaxHalfAngle); };
    out->top = crt_tanf(clamp_angle(top_angle)) * near;
    out->bottom = -crt_tanf(clamp_angle(bottom_angle)) * near;
    out->left = -crt_tanf(clamp_angle(left_angle)) * near * aspect;
    out->right = crt_tanf(clamp_angle(right_angle)) * near * aspect;
    out->near = near;
    out->far = far;
    return out;
}

Mat4 *mat4_projection_from_frustum(Mat4 *out, const FrustumParams *p) {
    if (!out || !p) return out;
    return mat4_perspective_off_center(out, p->left, p->right, p->bottom, p->top, p->near, p->far);
}

FrustumPlanes *frustum_extract_planes(FrustumPlanes *out, const Mat4 *m) {
    auto col = [m](int j) { return Vec4{m->m[0][j], m->m[1][j], m->m[2][j], m->m[3][j]}; };
    Vec4 c0 = col(0), c1 = col(1), c2 = col(2), c3 = col(3);
    auto add = [](const Vec4 &a, const Vec4 &b) {
        return Vec4{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
    };
    auto sub = [](const Vec4 &a, const Vec4 &b) {
        return Vec4{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
    };
    const Vec4 raw[6] = {add(c3, c2), sub(c3, c2), sub(c3, c0),
                         add(c3, c0), add(c3, c1), sub(c3, c1)};
    for (int i = 0; i < 6; ++i) {
        Vec3 n = {raw[i].x, raw[i].y, raw[i].z};
        float k = mathf_rcp_sqrt(vec3_length_sq_floor(&n));
        out->planes[i] = Plane{raw[i].x * k, raw[i].y * k, raw[i].z * k, raw[i].w * k};
    }
    return out;
}

namespace {

// Field-of-view form of a frustum, read back so that frustum_from_fov rebuilds it.
struct FovForm {
    float fov, aspect, cx, cy, near, far;
};

FovForm read_back(const FrustumParams *p) {
    FovForm f = {0.0f, 1.0f, 0.5f, 0.5f, p->near, p->far};
    if (p->near == 0.0f) return f;
    double top = std::atan((double)p->top / p->near);
    double bottom = std::atan(-(double)p->bottom / p->near);
    double fov = top + bottom;
    if (!(fov > 0.0)) return f;
    f.fov = (float)fov;
    f.cy = (float)(top / fov);
    // Horizontal: tan(fov*cx)*aspect = L and tan(fov*(1-cx))*aspect = R. The ratio
    // tan(fov*cx) / tan(fov*(1-cx)) rises with cx, so bisect for it, then take the aspect.
    double L = -(double)p->left / p->near, R = (double)p->right / p->near;
    if (!(L + R > 0.0)) return f;
    const double quarter = 1.5707963267948966;
    double lo = fov > quarter ? 1.0 - quarter / fov : 0.0;
    double hi = fov > quarter ? quarter / fov : 1.0;
    for (int k = 0; k < 60; ++k) {
        double mid = 0.5 * (lo + hi);
        // Sign of tan(fov*mid)*R - tan(fov*(1-mid))*L, without dividing by either tangent.
        if (std::tan(fov * mid) * R < std::tan(fov * (1.0 - mid)) * L)
            lo = mid;
        else
            hi = mid;
    }
    double cx = 0.5 * (lo + hi);
    double tl = std::tan(fov * cx), tr = std::tan(fov * (1.0 - cx));
    f.cx = (float)cx;
    f.aspect = (float)((L + R) / (tl + tr));
    return f;
}

float keep_unless_set(float value, float stored) {
    return value >= -1e-5f && value <= 1e-5f ? stored : value;
}

} // namespace

FrustumParams *frustum_rescale(FrustumParams *out, const FrustumParams *params, float fov_scale,
                               float aspect_scale, float near, float far) {
    FovForm f = read_back(params);
    return frustum_from_fov(out, f.fov * fov_scale, f.aspect * aspect_scale, f.cx, f.cy,
                            keep_unless_set(near, f.near), keep_unless_set(far, f.far));
}

FrustumParams *frustum_rescale_sides(FrustumParams *out, const FrustumParams *params,
                                     float top_scale, float bottom_scale, float left_scale,
                                     float right_scale, float near, float far) {
    FovForm f = read_back(params);
    return frustum_from_angles(out, f.fov * f.cy * top_scale, (1.0f - f.cy) * f.fov * bottom_scale,
                               f.fov * f.cx * left_scale, (1.0f - f.cx) * f.fov * right_scale,
                               f.aspect, keep_unless_set(near, f.near),
                               keep_unless_set(far, f.far));
}

namespace {

float window_width(const FrustumParams *p, float depth) {
    return (crt_fabsf(p->left) + crt_fabsf(p->right)) * depth / p->near;
}

} // namespace

float frustum_pixels_for_size(const FrustumParams *params, float depth, float size,
                              float screen_pixels) {
    return crt_fabsf(size * screen_pixels / window_width(params, depth));
}

float frustum_size_for_pixels(const FrustumParams *params, float depth, float screen_pixels,
                              float pixels) {
    return crt_fabsf(window_width(params, depth) * (pixels / screen_pixels));
}

float frustum_min_size_at(const FrustumParams *params, float depth, float size, float screen_pixels,
                          float min_pixels) {
    if (frustum_pixels_for_size(params, depth, size, screen_pixels) >= min_pixels) return size;
    return frustum_size_for_pixels(params, depth, screen_pixels, min_pixels);
}

float frustum_min_world_size(const FrustumParams *params, const Mat4 *view, const Vec3 *point,
                             float size, float screen_pixels, float min_pixels) {
    Vec3 v;
    mat4_transform_point(&v, view, point);
    return frustum_min_size_at(params, v.z, size, screen_pixels, min_pixels);
}

float mathf_fraction(float value, float low, float high) {
    if (high == low) return 0.0f;
    return (value - low) / (high - low);
}

Plane *plane_normalize(Plane *out, const Plane *plane) {
    float sq = plane->a * plane->a + plane->b * plane->b + plane->c * plane->c;
    if (sq == 0.0f) {
        *out = Plane{0.0f, 0.0f, 0.0f, 0.0f};
        return out;
    }
    float len = crt_sqrtf(sq);
    *out = Plane{plane->a / len, plane->b / len, plane->c / len, plane->d / len};
    return out;
}

Plane *plane_from_point_normal(Plane *out, const Vec3 *point, const Vec3 *normal) {
    Vec3 n;
    vec3_normalize(&n, normal);
    *out = Plane{n.x, n.y, n.z, -vec3_dot(&n, point)};
    return out;
}

Vec3 *vec3_triangle_cross(Vec3 *out, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2) {
    Vec3 e0, e1;
    vec3_sub(&e0, p1, p0);
    vec3_sub(&e1, p2, p1);
    return vec3_cross(out, &e0, &e1);
}

Plane *plane_from_points(Plane *out, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2) {
    Vec3 n;
    vec3_triangle_cross(&n, p0, p1, p2);
    vec3_normalize(&n, &n);
    return plane_from_point_normal(out, p0, &n);
}

float plane_dot_point(const Plane *plane, const Vec3 *p) {
    return plane->a * p->x + plane->b * p->y + plane->c * p->z + plane->d;
}

float plane_dot_normal(const Plane *plane, const Vec3 *v) {
    return plane->a * v->x + plane->b * v->y + plane->c * v->z;
}

Vec3 *vec3_project_onto_plane(Vec3 *out_offset, Vec3 *out_projected, const Vec3 *point,
                              const Plane *plane) {
    Plane p;
    plane_normalize(&p, plane);
    Vec3 n = {p.a, p.b, p.c};
    Vec3 offset;
    vec3_scale(&offset, &n, vec3_dot(point, &n) + p.d);
    if (out_projected) vec3_sub(out_projected, point, &offset);
    if (out_offset) *out_offset = offset;
    return out_offset;
}
