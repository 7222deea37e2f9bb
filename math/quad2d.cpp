#include "math/quad2d.h"

#include <cmath>

#include "math/crt_float.h"

Vec2 *vec2_set(Vec2 *out, float x, float y) {
    out->x = x;
    out->y = y;
    return out;
}

Vec2 *vec2_sub(Vec2 *out, const Vec2 *a, const Vec2 *b) {
    return vec2_set(out, a->x - b->x, a->y - b->y);
}

float vec2_dot(const Vec2 *a, const Vec2 *b) {
    return a->x * b->x + a->y * b->y;
}

float vec2_cross(const Vec2 *a, const Vec2 *b) {
    return a->x * b->y - a->y * b->x;
}

float vec2_length_sq_floor(const Vec2 *v) {
    float sq = vec2_dot(v, v);
    return sq < 1e-10f ? 0.0f : sq;
}

float vec2_length(const Vec2 *v) {
    float sq = vec2_dot(v, v);
    return sq < 1e-10f ? 0.0f : crt_sqrtf(sq);
}

float vec2_distance_sq(const Vec2 *a, const Vec2 *b) {
    Vec2 d;
    vec2_sub(&d, a, b);
    return vec2_dot(&d, &d);
}

float vec2_distance(const Vec2 *a, const Vec2 *b) {
    float sq = vec2_distance_sq(a, b);
    return sq < 1e-10f ? 0.0f : crt_sqrtf(sq);
}

Vec2 *vec2_normalize(Vec2 *out, const Vec2 *v) {
    // The length is taken in double so that tiny vectors do not underflow to zero.
    double sq = (double)v->x * v->x + (double)v->y * v->y;
    if (sq == 0.0) return vec2_set(out, 0.0f, 0.0f);
    double len = std::sqrt(sq);
    return vec2_set(out, (float)(v->x / len), (float)(v->y / len));
}

int geom2d_side(const Vec2 *a, const Vec2 *b, const Vec2 *c) {
    float k = (b->x - a->x) * (c->y - a->y) - (b->y - a->y) * (c->x - a->x);
    if (k > 0.0f) return 0;
    if (k < 0.0f) return 2;
    return 1;
}

int geom2d_points_on_different_sides(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d) {
    return geom2d_side(a, b, c) != geom2d_side(a, b, d) ? 1 : 0;
}

int geom2d_segments_intersect(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d) {
    if (geom2d_side(a, b, c) == geom2d_side(a, b, d)) return 0;
    return geom2d_side(c, d, a) != geom2d_side(c, d, b) ? 1 : 0;
}

namespace {

// Value of the line through p and q, written A*x + B*y + C, at r.
float line_value(const Vec2 *p, const Vec2 *q, const Vec2 *r) {
    float A = q->y - p->y;
    float B = p->x - q->x;
    float C = -(A * p->x + B * p->y);
    return A * r->x + B * r->y + C;
}

} // namespace

int geom2d_segments_cross(const Vec2 *a, const Vec2 *b, const Vec2 *c, const Vec2 *d) {
    if (line_value(a, b, c) * line_value(a, b, d) > 0.0f) return 0;
    return line_value(c, d, a) * line_value(c, d, b) <= 0.0f ? 1 : 0;
}

int geom2d_line_intersection(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q0,
                             const Vec2 *q1) {
    float D = (q1->x - q0->x) * (p1->y - p0->y) - (p1->x - p0->x) * (q1->y - q0->y);
    if (D == 0.0f) {
        *out = *p0;
        return 0;
    }
    float x = ((p1->x - p0->x) * (q1->x * q0->y - q0->x * q1->y) -
               (q1->x - q0->x) * (p1->x * p0->y - p0->x * p1->y)) /
              D;
    float y = ((p1->y - p0->y) * (q0->x * q1->y - q1->x * q0->y) -
               (q1->y - q0->y) * (p0->x * p1->y - p1->x * p0->y)) /
              -D;
    vec2_set(out, x, y);
    return 1;
}

namespace {

bool within(float v, float a, float b) {
    return a <= b ? (a <= v && v <= b) : (b <= v && v <= a);
}

} // namespace

int geom2d_segment_intersection(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q0,
                                const Vec2 *q1) {
    bool p_vertical = p0->x == p1->x;
    bool q_vertical = q0->x == q1->x;
    float x, y;
    if (p_vertical) {
        if (q_vertical) {
            vec2_set(out, 0.0f, 0.0f);
            return 0;
        }
        float sq = (q1->y - q0->y) / (q1->x - q0->x);
        x = p0->x;
        y = sq * x + (q0->y - sq * q0->x);
    } else if (q_vertical) {
        float sp = (p1->y - p0->y) / (p1->x - p0->x);
        x = q0->x;
        y = sp * x + (p0->y - sp * p0->x);
    } else {
        float sp = (p1->y - p0->y) / (p1->x - p0->x);
        float sq = (q1->y - q0->y) / (q1->x - q0->x);
        if (sp == sq) {
            vec2_set(out, 0.0f, 0.0f);
            return 0;
        }
        float bp = p0->y - sp * p0->x;
        float bq = q0->y - sq * q0->x;
        x = (bq - bp) / (sp - sq);
        y = sp * x + bp;
    }
    vec2_set(out, x, y);
    return within(x, p0->x, p1->x) && within(y, p0->y, p1->y) && within(x, q0->x, q1->x) &&
                   within(y, q0->y, q1->y)
               ? 1
               : 0;
}

int geom2d_foot_on_line(Vec2 *out, const Vec2 *p0, const Vec2 *p1, const Vec2 *q) {
    float x, y;
    if (p0->x == p1->x) {
        x = p0->x;
        y = q->y;
    } else if (p0->y == p1->y) {
        x = q->x;
        y = p0->y;
    } else {
        float s = (p1->y - p0->y) / (p1->x - p0->x);
        float k = -1.0f / s;
        float b1 = p0->y - s * p0->x;
        float b2 = q->y - k * q->x;
        x = (b2 - b1) / (s - k);
        y = (b2 * s - b1 * k) / (s - k);
    }
    int inside = p1->x <= x && x <= p0->x && p1->y <= y && y <= p0->y ? 1 : 0;
    vec2_set(out, x, y);
    return inside;
}

float geom2d_distance_to_line(const Vec2 *p, const Vec2 *a, const Vec2 *b) {
    Vec2 pa, pb;
    vec2_sub(&pa, a, p);
    vec2_sub(&pb, b, p);
    float len = vec2_length(&pa);
    if (len == 0.0f) return 0.0f;
    return crt_fabsf(vec2_cross(&pa, &pb)) / len;
}

int geom2d_segment_hits_circle(const Vec2 *centre, float radius, const Vec2 *p0, const Vec2 *p1) {
    Vec2 d, w;
    vec2_sub(&d, p1, p0);
    vec2_sub(&w, centre, p0);
    float k = vec2_dot(&d, &w);
    float dist_sq;
    if (k < 0.0f) {
        dist_sq = vec2_length_sq_floor(&w);
    } else {
        float L = vec2_dot(&d, &d);
        if (L < k)
            dist_sq = vec2_distance_sq(centre, p1);
        else if (L == 0.0f)
            dist_sq = vec2_dot(&w, &w); // a zero-length segment is the point p0
        else
            dist_sq = vec2_dot(&w, &w) - k * k / L;
    }
    return radius * radius >= dist_sq ? 1 : 0;
}

int geom2d_axis_overlaps(const float *half_extents, const Vec2 *axes, const Vec2 *axis,
                         const Vec2 *offset, float margin) {
    float reach = crt_fabsf(vec2_dot(axis, &axes[0]) * half_extents[0]) +
                  crt_fabsf(vec2_dot(axis, &axes[1]) * half_extents[1]) + margin;
    return crt_fabsf(vec2_dot(axis, offset)) <= reach ? 1 : 0;
}

int geom2d_axis_overlaps2(const float *half_a, const float *half_b, const Vec2 *axes_a,
                          const Vec2 *axes_b, const Vec2 *axis, const Vec2 *offset) {
    float reach = crt_fabsf(vec2_dot(axis, &axes_a[0]) * half_a[0]) +
                  crt_fabsf(vec2_dot(axis, &axes_a[1]) * half_a[1]) +
                  (crt_fabsf(vec2_dot(axis, &axes_b[0]) * half_b[0]) +
                   crt_fabsf(vec2_dot(axis, &axes_b[1]) * half_b[1]));
    return crt_fabsf(vec2_dot(axis, offset)) <= reach ? 1 : 0;
}

namespace {

// A rectangle as centre, two unit axes and two half extents.
struct Box2 {
    Vec2 centre;
    Vec2 axes[2];
    float half[2];
};

Box2 box_from_quad(const Quad2D *q) {
    const Vec2 *c = q->corner;
    Box2 b;
    b.centre = Vec2{(c[0].x + c[1].x + c[2].x + c[3].x) * 0.25f,
                    (c[0].y + c[1].y + c[2].y + c[3].y) * 0.25f};
    Vec2 e0, e1;
    vec2_sub(&e0, &c[1], &c[0]);
    vec2_sub(&e1, &c[3], &c[1]);
    vec2_normalize(&b.axes[0], &e0);
    vec2_normalize(&b.axes[1], &e1);
    b.half[0] = vec2_length(&e0) * 0.5f;
    b.half[1] = vec2_length(&e1) * 0.5f;
    return b;
}

bool boxes_overlap_on(const Box2 &a, const Box2 &b, const Vec2 *axis) {
    Vec2 offset;
    vec2_sub(&offset, &a.centre, &b.centre);
    return geom2d_axis_overlaps2(a.half, b.half, a.axes, b.axes, axis, &offset) != 0;
}

const int kPerimeter[4] = {0, 1, 3, 2};

} // namespace

int geom2d_quad_contains_point(const Quad2D *quad, const Vec2 *point) {
    Box2 b = box_from_quad(quad);
    Vec2 offset;
    vec2_sub(&offset, &b.centre, point);
    return geom2d_axis_overlaps(b.half, b.axes, &b.axes[0], &offset, 0.0f) &&
                   geom2d_axis_overlaps(b.half, b.axes, &b.axes[1], &offset, 0.0f)
               ? 1
               : 0;
}

int geom2d_quad_hits_circle(const Quad2D *quad, const Vec2 *centre, float radius) {
    const Vec2 *c = quad->corner;
    unsigned inside_bits = 0;
    for (int i = 0; i < 4; ++i) {
        const Vec2 *p0 = &c[kPerimeter[i]];
        const Vec2 *p1 = &c[kPerimeter[(i + 1) & 3]];
        const Vec2 *p2 = &c[kPerimeter[(i + 2) & 3]];
        if (geom2d_segment_hits_circle(centre, radius, p0, p1)) return 1;
        Vec2 foot, inward, to_centre;
        geom2d_foot_on_line(&foot, p0, p1, centre);
        vec2_sub(&inward, p2, p1);
        vec2_normalize(&inward, &inward);
        vec2_sub(&to_centre, centre, &foot);
        if (vec2_dot(&inward, &to_centre) - radius >= 0.0f) inside_bits |= 1u << i;
    }
    return inside_bits == 0xFu ? 1 : 0;
}

int geom2d_quad_hits_segment(const Quad2D *quad, const Vec2 *p0, const Vec2 *p1) {
    Box2 q = box_from_quad(quad);
    Box2 s;
    Vec2 d;
    vec2_sub(&d, p0, p1);
    s.centre = Vec2{(p0->x + p1->x) * 0.5f, (p0->y + p1->y) * 0.5f};
    vec2_normalize(&s.axes[0], &d);
    Vec2 perp = {-d.y, d.x};
    vec2_normalize(&s.axes[1], &perp);
    s.half[0] = vec2_length(&d) * 0.5f;
    s.half[1] = 0.01f;
    const Vec2 *axes[4] = {&q.axes[0], &q.axes[1], &s.axes[1], &s.axes[0]};
    for (const Vec2 *axis : axes)
        if (!boxes_overlap_on(q, s, axis)) return 0;
    return 1;
}

int geom2d_quads_overlap(const Quad2D *a, const Quad2D *b) {
    Box2 ba = box_from_quad(a), bb = box_from_quad(b);
    const Vec2 *axes[4] = {&ba.axes[0], &ba.axes[1], &bb.axes[0], &bb.axes[1]};
    for (const Vec2 *axis : axes)
        if (!boxes_overlap_on(ba, bb, axis)) return 0;
    return 1;
}
