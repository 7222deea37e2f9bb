#include "math/intersect.h"

#include "math/crt_float.h"
#include "math/vec.h"

namespace {

// |w|^2 - k^2/|d|^2 with w = origin - p and k = dot(d, w); rounding below 0 gives 0.
float line_distance_sq(const Vec3 *origin, const Vec3 *d, const Vec3 *p) {
    Vec3 w;
    vec3_sub(&w, origin, p);
    float k = vec3_dot(d, &w);
    float r = vec3_dot(&w, &w) - k * k / vec3_dot(d, d);
    return r < 0.0f ? 0.0f : r;
}

bool is_zero(const Vec3 &v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

} // namespace

float geom3d_distance_sq_to_line(const Vec3 *a, const Vec3 *b, const Vec3 *p) {
    Vec3 d;
    vec3_sub(&d, b, a);
    if (vec3_dot(&d, &d) == 0.0f) return 0.0f;
    return line_distance_sq(a, &d, p);
}

float geom3d_distance_sq_to_ray_line(const Vec3 *origin, const Vec3 *dir, const Vec3 *p) {
    if (vec3_dot(dir, dir) == 0.0f) return 0.0f;
    return line_distance_sq(origin, dir, p);
}

int geom3d_foot_on_segment(Vec3 *out_delta, Vec3 *out_foot, const Vec3 *p, const Vec3 *a,
                           const Vec3 *b) {
    Vec3 ab, ap, foot;
    vec3_sub(&ab, b, a);
    vec3_sub(&ap, p, a);
    float len_sq = vec3_dot(&ab, &ab);
    // A zero-length segment is the point a.
    float t = len_sq == 0.0f ? 0.0f : vec3_dot(&ap, &ab) / len_sq;
    vec3_lerp(&foot, a, b, t);
    if (out_delta) vec3_sub(out_delta, p, &foot);
    if (out_foot) *out_foot = foot;
    return t >= 0.0f && t <= 1.0f ? 1 : 0;
}

int geom3d_side_xz(const Vec3 *a, const Vec3 *b, const Vec3 *c) {
    float k = (b->x - a->x) * (c->z - a->z) - (b->z - a->z) * (c->x - a->x);
    if (k > 0.0f) return 0;
    if (k < 0.0f) return 2;
    return 1;
}

int geom3d_point_near_line(const Vec3 *origin, const Vec3 *dir, const Vec3 *p, float radius) {
    if (vec3_dot(dir, dir) == 0.0f) return 0;
    return line_distance_sq(origin, dir, p) <= radius * radius ? 1 : 0;
}

int geom3d_spheres_touch(const Vec3 *centre0, float radius0, const Vec3 *centre1, float radius1) {
    float r = radius0 + radius1;
    return vec3_distance_sq(centre1, centre0) <= r * r ? 1 : 0;
}

int geom3d_sphere_touches_segment(const Vec3 *start, const Vec3 *delta, const Vec3 *centre,
                                  float radius) {
    Vec3 w;
    vec3_sub(&w, centre, start);
    float k = vec3_dot(delta, &w);
    float r2 = radius * radius;
    if (k < 0.0f) return vec3_length_sq_floor(&w) <= r2 ? 1 : 0;
    float L = vec3_length_sq_floor(delta);
    if (L <= k) {
        Vec3 end;
        vec3_add(&end, start, delta);
        return r2 >= vec3_distance_sq(&end, centre) ? 1 : 0;
    }
    return vec3_length_sq_floor(&w) - k * k / L <= r2 ? 1 : 0;
}

int geom3d_segment_hits_sphere(const Vec3 *start, const Vec3 *delta, const Vec3 *centre,
                               float radius, float *out_t, Vec3 *out_point, Vec3 *out_normal) {
    if (!geom3d_sphere_touches_segment(start, delta, centre, radius)) return 0;
    Vec3 w, u;
    vec3_sub(&w, start, centre);
    vec3_normalize(&u, delta);
    float b = vec3_dot(&u, &w);
    float q = b * b - vec3_length_sq_floor(&w) + radius * radius;
    // The segment touches the sphere, so a negative q is rounding at tangency: the touching
    // point is the closest approach.
    if (q < 0.0f) q = 0.0f;
    float s = crt_sqrtf(q);
    float t0 = -b - s, t1 = -b + s;
    float t = t0 < t1 ? t0 : t1;
    Vec3 point;
    vec3_add_scaled(&point, start, &u, t);
    if (out_t) {
        float len = vec3_length(delta);
        *out_t = t / (len == 0.0f ? 1.0f : len);
    }
    if (out_point) *out_point = point;
    if (out_normal) {
        Vec3 n;
        vec3_normalize(out_normal, vec3_sub(&n, &point, centre));
    }
    return 1;
}

namespace {

bool between(float v, float a, float b) {
    return a <= b ? (a <= v && v <= b) : (b <= v && v <= a);
}

bool inside_box(const Vec3 &p, const Vec3 *mn, const Vec3 *mx) {
    return between(p.x, mn->x, mx->x) && between(p.y, mn->y, mx->y) && between(p.z, mn->z, mx->z);
}

// Crossing of the segment s-e with the plane where coordinate `axis` equals `value`; the other
// two coordinates of the crossing must lie within the box.
bool crosses_face(const Vec3 &s, const Vec3 &e, int axis, float value, const Vec3 *mn,
                  const Vec3 *mx) {
    const float sv[3] = {s.x, s.y, s.z}, ev[3] = {e.x, e.y, e.z};
    const float lo[3] = {mn->x, mn->y, mn->z}, hi[3] = {mx->x, mx->y, mx->z};
    float ds = sv[axis] - value, de = ev[axis] - value;
    if (ds * de > 0.0f) return false;
    // A segment lying in the face's plane meets the face through another face's plane.
    if (sv[axis] == ev[axis]) return false;
    float f = (value - sv[axis]) / (ev[axis] - sv[axis]);
    for (int k = 0; k < 3; ++k) {
        if (k == axis) continue;
        float c = sv[k] + (ev[k] - sv[k]) * f;
        if (!between(c, lo[k], hi[k])) return false;
    }
    return true;
}

} // namespace

int geom3d_segment_touches_box(const Vec3 *start, const Vec3 *delta, const Vec3 *box_min,
                               const Vec3 *box_max) {
    Vec3 end;
    vec3_add(&end, start, delta);
    if (inside_box(*start, box_min, box_max)) return 1;
    if (inside_box(end, box_min, box_max)) return 1;
    const struct {
        int axis;
        float value;
    } faces[6] = {{1, box_max->y}, {1, box_min->y}, {0, box_max->x},
                  {0, box_min->x}, {2, box_max->z}, {2, box_min->z}};
    for (const auto &face : faces)
        if (crosses_face(*start, end, face.axis, face.value, box_min, box_max)) return 1;
    return 0;
}

int geom3d_segment_hits_triangle(Vec3 *out_point, Vec3 *out_normal, const Vec3 *tri,
                                 const Vec3 *start, const Vec3 *delta) {
    Vec3 e0, e1, n;
    vec3_sub(&e0, &tri[1], &tri[0]);
    vec3_sub(&e1, &tri[2], &tri[1]);
    vec3_cross(&n, &e0, &e1);
    if (is_zero(n)) return 0; // zero area: no plane, no front side
    vec3_normalize(&n, &n);
    float den = vec3_dot(delta, &n);
    if (den > 0.0f) return 0;
    if (den > -1e-5f) den = -1e-5f;
    Vec3 to_a;
    vec3_sub(&to_a, &tri[0], start);
    float t = vec3_dot(&to_a, &n) / den;
    if (!(t >= 0.0f && t <= 1.0f)) return 0;
    Vec3 hit;
    vec3_add_scaled(&hit, start, delta, t);
    for (int i = 0; i < 3; ++i) {
        const Vec3 &p = tri[i];
        const Vec3 &q = tri[(i + 1) % 3];
        Vec3 edge, rel, c;
        vec3_sub(&edge, &q, &p);
        vec3_sub(&rel, &hit, &p);
        vec3_cross(&c, &edge, &rel);
        if (vec3_dot(&c, &n) < 0.0f) return 0;
    }
    if (out_point) *out_point = hit;
    if (out_normal) *out_normal = n;
    return 1;
}
