#include "collision/coll_geom.h"

#include <cmath>
#include <initializer_list>

#include "math/intersect.h"
#include "math/mathf.h"
#include "math/vec.h"

void coll_segment_init(CollSegment *g, const Vec3 *start, const Vec3 *delta) {
    g->start = *start;
    g->delta = *delta;
    const float *s = &start->x, *d = &delta->x;
    float *lo = &g->lo.x, *hi = &g->hi.x;
    for (int k = 0; k < 3; ++k) {
        float e = s[k] + d[k];
        lo[k] = s[k] < e ? s[k] : e;
        hi[k] = s[k] < e ? e : s[k];
    }
    g->delta_sq = vec3_dot(delta, delta);
}

bool coll_line_near_sphere(const CollSegment *g, const Vec3 *centre, float radius) {
    if (g->delta_sq == 0.0f) return false;
    Vec3 w;
    vec3_sub(&w, &g->start, centre);
    float dw = vec3_dot(&g->delta, &w);
    float dist = vec3_dot(&w, &w) - dw * dw / g->delta_sq;
    if (dist < 0.0f) dist = 0.0f;
    return dist <= radius * radius;
}

bool coll_segment_near_sphere(const Vec3 *x, const Vec3 *y, const Vec3 *centre, float radius) {
    Vec3 u, w, e;
    vec3_sub(&u, y, x);
    vec3_sub(&w, centre, x);
    float p = vec3_dot(&u, &w);
    float r2 = radius * radius;
    if (p < 0.0f) return vec3_length_sq_floor(&w) <= r2;
    float uu = vec3_length_sq_floor(&u);
    if (uu <= p) return vec3_length_sq_floor(vec3_sub(&e, y, centre)) <= r2;
    return vec3_length_sq_floor(&w) - p * p / uu <= r2;
}

bool coll_boxes_overlap(const CollSegment *g, const Vec3 *centre, const Vec3 *half) {
    const float *c = &centre->x, *h = &half->x, *lo = &g->lo.x, *hi = &g->hi.x;
    for (int k = 0; k < 3; ++k)
        if (!(lo[k] <= c[k] + h[k] && hi[k] >= c[k] - h[k])) return false;
    return true;
}

static bool point_in_box(const float *p, const float *lo, const float *hi) {
    for (int k = 0; k < 3; ++k)
        if (!(p[k] >= lo[k] && p[k] <= hi[k])) return false;
    return true;
}

bool coll_segment_box(const CollSegment *g, const Vec3 *centre, const Vec3 *half) {
    float lo[3], hi[3];
    const float *c = &centre->x, *h = &half->x, *s = &g->start.x, *d = &g->delta.x;
    for (int k = 0; k < 3; ++k) {
        lo[k] = c[k] - h[k];
        hi[k] = c[k] + h[k];
    }
    const float e[3] = {s[0] + d[0], s[1] + d[1], s[2] + d[2]};
    if (point_in_box(s, lo, hi) || point_in_box(e, lo, hi)) return true;
    for (int k = 0; k < 3; ++k) {
        if (d[k] == 0.0f) continue;
        for (float face : {lo[k], hi[k]}) {
            float t = (face - s[k]) / d[k];
            if (!(t >= 0.0f && t <= 1.0f)) continue;
            bool inside = true;
            for (int j = 0; j < 3 && inside; ++j) {
                if (j == k) continue;
                float v = s[j] + t * d[j];
                inside = v >= lo[j] && v <= hi[j];
            }
            if (inside) return true;
        }
    }
    return false;
}

// The hot tests below spell the vector products out (in the math library's order of
// operations, so the results are the same): they run for every candidate triangle.
bool coll_point_inside_edges(const Vec3 *a, const Vec3 *b, const Vec3 *c, const Vec3 *n,
                             const Vec3 *p) {
    const Vec3 *corner[3] = {a, b, c};
    bool inner = false;
    for (int i = 0; i < 3; ++i) {
        const Vec3 *x = corner[i], *y = corner[(i + 1) % 3];
        float ex = y->x - x->x, ey = y->y - x->y, ez = y->z - x->z;
        float tx = p->x - x->x, ty = p->y - x->y, tz = p->z - x->z;
        float cx = ey * tz - ez * ty, cy = ez * tx - ex * tz, cz = ex * ty - ey * tx;
        float v = cx * n->x + cy * n->y + cz * n->z;
        if (!(v >= 0.0f)) return false;
        inner |= v > 0.0f;
    }
    return inner;
}

bool coll_segment_triangle(const CollSegment *g, const Vec3 *a, const Vec3 *b, const Vec3 *c,
                           const Vec3 *n, float *out_t) {
    const Vec3 &s = g->start, &dv = g->delta;
    float d = dv.x * n->x + dv.y * n->y + dv.z * n->z;
    if (d > 0.0f) return false; // only faces turned towards the segment
    float num = (a->x - s.x) * n->x + (a->y - s.y) * n->y + (a->z - s.z) * n->z;
    if (d > -1e-5f) d = -1e-5f;
    float t = num / d;
    if (!(t >= 0.0f && t <= 1.0f)) return false;
    const Vec3 p = {s.x + dv.x * t, s.y + dv.y * t, s.z + dv.z * t};
    if (!coll_point_inside_edges(a, b, c, n, &p)) return false;
    *out_t = t;
    return true;
}

float coll_line_distance_sq(const Vec3 *x, const Vec3 *y, const Vec3 *p) {
    float e = geom3d_distance_sq_to_line(x, y, p);
    return e > 0.0f ? e : 0.0f;
}

// 1 / s with the divisor kept at least 1e-5 away from 0.
static float reciprocal(float s) {
    if (s > -1e-5f && s < 1e-5f) s = s < 0.0f ? -1e-5f : 1e-5f;
    return 1.0f / s;
}

Vec3 *coll_vec_div(Vec3 *out, const Vec3 *v, float s) {
    return vec3_scale(out, v, reciprocal(s));
}

static float contact_depth(float radius, float distance) {
    float ratio = radius == 0.0f ? 1.0f : distance / radius;
    return radius * std::cos(1.5707964f * ratio);
}

bool coll_sphere_triangle(const Vec3 *a, const Vec3 *b, const Vec3 *c, const Vec3 *n,
                          const Vec3 *centre, float radius, Vec3 *out_closest, float *out_depth) {
    if (!coll_usable_sphere(centre, radius)) return false;
    Vec3 e1, e2, area, normal;
    vec3_cross(&area, vec3_sub(&e1, b, a), vec3_sub(&e2, c, a));
    if (area.x == 0.0f && area.y == 0.0f && area.z == 0.0f) return false;
    if (n) {
        normal = *n;
    } else {
        vec3_normalize(&normal, &area);
    }
    if (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f) return false;
    Vec3 ca;
    float dist = vec3_dot(vec3_sub(&ca, centre, a), &normal);
    if (!(std::fabs(dist) <= radius)) return false; // also a NaN distance
    Vec3 p;
    vec3_add_scaled(&p, centre, &normal, -dist);
    if (coll_point_inside_edges(a, b, c, &normal, &p)) {
        float depth = contact_depth(radius, std::fabs(dist));
        if (!coll_finite3(&p) || !std::isfinite(depth)) return false;
        if (out_closest) *out_closest = p;
        if (out_depth) *out_depth = depth;
        return true;
    }
    // Otherwise the nearest edge line among the edges the sphere reaches.
    const Vec3 *corner[3] = {a, b, c};
    float best = 9999999827968.0f;
    int edge = -1;
    for (int i = 0; i < 3; ++i) {
        const Vec3 *x = corner[i], *y = corner[(i + 1) % 3];
        if (!coll_segment_near_sphere(x, y, centre, radius)) continue;
        float e = coll_line_distance_sq(x, y, centre);
        if (e < best) {
            best = e;
            edge = i;
        }
    }
    if (edge < 0) return false;
    const Vec3 *x = corner[edge], *y = corner[(edge + 1) % 3];
    Vec3 xy, unit, cx, q;
    vec3_sub(&xy, y, x);
    float length = vec3_length(&xy);
    coll_vec_div(&unit, &xy, length);
    float f = vec3_dot(vec3_sub(&cx, centre, x), &unit) * reciprocal(length);
    vec3_add_scaled(&q, x, &xy, mathf_clamp(f, 0.0f, 1.0f));
    float depth = contact_depth(radius, std::sqrt(best));
    if (!coll_finite3(&q) || !std::isfinite(depth)) return false;
    if (out_closest) *out_closest = q;
    if (out_depth) *out_depth = depth;
    return true;
}

Vec3 *coll_world_normal(Vec3 *out, const Mat4 *inverse, const Vec3 *n) {
    Vec3 w;
    for (int j = 0; j < 3; ++j)
        (&w.x)[j] = n->x * inverse->m[j][0] + n->y * inverse->m[j][1] + n->z * inverse->m[j][2];
    return vec3_normalize(out, &w);
}

bool coll_finite3(const Vec3 *v) {
    return std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z);
}

bool coll_finite_matrix(const Mat4 *m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!std::isfinite(m->m[i][j])) return false;
    return true;
}

bool coll_usable_sphere(const Vec3 *centre, float radius) {
    return coll_finite3(centre) && std::isfinite(radius * radius);
}

bool coll_finite_segment(const Vec3 *start, const Vec3 *delta) {
    Vec3 end;
    return coll_finite3(start) && coll_finite3(delta) && coll_finite3(vec3_add(&end, start, delta));
}
