// The frustum body pool: the per-frame pair step in the horizontal plane and the keep-inside
// step against six planes.
#include "collision/coll_frustum.h"

#include <cmath>
#include <cstring>

#include "collision/coll_geom.h"
#include "collision/coll_list.h"
#include "math/mat4.h"
#include "math/plane.h"
#include "math/vec.h"
#include "render/view.h"

static FrustumBodyPool g_frustum;

FrustumBodyPool *coll_frustum_pool(void) {
    return &g_frustum;
}

void coll_frustum_reset(void) {
    std::memset(static_cast<void *>(&g_frustum), 0, sizeof g_frustum);
    g_frustum.free_head = coll_list_link_free(g_frustum.bodies, COLL_FRUSTUM_CAPACITY);
}

void coll_frustum_init(void) {
    coll_frustum_reset();
}
void coll_frustum_term(void) {
    coll_frustum_reset();
}
void coll_frustum_clear(void) {
    coll_frustum_reset();
}

FrustumBody *coll_frustum_create(const Mat4 *transform, float radius, float height,
                                 const Vec3 *local_position, uint32_t group, uint32_t mask) {
    FrustumBody *b = coll_list_take(&g_frustum.free_head, &g_frustum.active_head);
    if (!b) return nullptr;
    b->flags = COLL_FRUSTUM_USED;
    b->group = group;
    b->mask = mask;
    b->transform = transform;
    if (local_position) b->local_position = *local_position;
    b->radius = radius;
    b->height = height;
    b->weight = 50.0f;
    ++g_frustum.count;
    return b;
}

void coll_frustum_remove(FrustumBody *b) {
    if (!b || !(b->flags & COLL_FRUSTUM_USED)) return;
    b->flags &= ~COLL_FRUSTUM_USED;
    coll_list_give_back(b, &g_frustum.free_head, &g_frustum.active_head);
    --g_frustum.count;
}

bool coll_frustum_get_hits(const FrustumBody *b, Vec3 *out_displacement) {
    if (!b) return false;
    if (out_displacement) *out_displacement = b->displacement;
    return b->hits != 0;
}

bool coll_frustum_set_params(const FrustumParams *p) {
    if (!p) {
        g_frustum.params_flag = 0;
        return true;
    }
    const float v[6] = {p->left, p->right, p->bottom, p->top, p->near, p->far};
    for (float f : v)
        if (!std::isfinite(f)) return false;
    if (p->left == p->right || p->bottom == p->top || p->near == p->far) return false;
    g_frustum.params = *p;
    g_frustum.params_flag = 1;
    return true;
}

uint32_t coll_frustum_count(void) {
    return g_frustum.count;
}

// Moves the body by (dx, dz) and records it.
static void move(FrustumBody *b, float dx, float dz) {
    b->position.x += dx;
    b->position.z += dz;
    b->displacement.x += dx;
    b->displacement.z += dz;
}

// A body whose position is not finite, or whose radius or height squared overflows, touches
// nothing: the comparisons below are written so that a NaN fails them too.
static bool usable(const FrustumBody *b) {
    return coll_usable_sphere(&b->position, b->radius) && std::isfinite(b->height * b->height);
}

static bool pair_touches(FrustumBody *a, FrustumBody *b) {
    if (!usable(a) || !usable(b)) return false;
    bool still = ((a->group | b->group) & COLL_FRUSTUM_NO_MOVE) != 0;
    bool a_moves = !still && (a->group & COLL_FRUSTUM_MOVES);
    bool b_moves = !still && (b->group & COLL_FRUSTUM_MOVES);
    float dy = a->position.y - b->position.y, hh = a->height + b->height;
    if (!(dy * dy <= hh * hh)) return false;
    float dx = b->position.x - a->position.x, dz = b->position.z - a->position.z;
    float d2 = dx * dx + dz * dz, r = a->radius + b->radius;
    if (!(d2 < r * r)) return false;
    if (!a_moves && !b_moves) return true;
    float d = std::sqrt(d2);
    float overlap = d - r; // negative
    float sum = a->weight + b->weight;
    float wa = sum != 0.0f ? a->weight / sum : 0.0f;
    float share_a = sum != 0.0f && a_moves ? (1.0f - wa) * overlap : 0.0f;
    float share_b = sum != 0.0f && b_moves ? wa * overlap : 0.0f;
    if (d > 0.0f) {
        float ux = dx / d, uz = dz / d; // from a towards b
        // Each moves away from the other: the overlap is negative.
        move(a, ux * share_a, uz * share_a);
        move(b, -ux * share_b, -uz * share_b);
    }
    return true;
}

static void keep_inside(FrustumBody *b) {
    if (!usable(b)) return;
    for (const Plane &plane : g_frustum.planes) {
        if (!std::isfinite(plane.a) || !std::isfinite(plane.b) || !std::isfinite(plane.c) ||
            !std::isfinite(plane.d))
            continue;
        Vec3 offset, t;
        vec3_project_onto_plane(&offset, nullptr, &b->position, &plane);
        vec3_negate(&t, &offset);
        const Vec3 n = {plane.a, plane.b, plane.c};
        if (!(vec3_dot(&t, &n) < 0.0f)) continue; // the centre is outside this plane
        float l = vec3_length(&t);
        if (!(l < b->radius)) continue;
        Vec3 unit;
        vec3_normalize(&unit, &t);
        move(b, unit.x * (l - b->radius), unit.z * (l - b->radius));
    }
}

void coll_frustum_update(void) {
    if (!g_frustum.active_head) return;
    if (g_frustum.params_flag == 0) {
        std::memcpy(g_frustum.planes, view_get_cull_planes(0)->planes, sizeof g_frustum.planes);
    } else {
        Mat4 proj, m;
        mat4_projection_from_frustum(&proj, &g_frustum.params);
        mat4_multiply(&m, &proj, view_get_view_matrix(0)); // the view, then the projection
        FrustumPlanes planes;
        frustum_extract_planes(&planes, &m);
        std::memcpy(g_frustum.planes, planes.planes, sizeof g_frustum.planes);
    }
    for (FrustumBody *b = g_frustum.active_head; b; b = b->next) {
        if (b->transform) {
            mat4_transform_point(&b->position, b->transform, &b->local_position);
        } else {
            b->position = b->local_position;
        }
        b->displacement = Vec3{0.0f, 0.0f, 0.0f};
        b->hits = 0;
    }
    for (FrustumBody *a = g_frustum.active_head; a; a = a->next)
        for (FrustumBody *b = g_frustum.active_head; b != a; b = b->next) {
            if (!(a->mask & b->group & COLL_FRUSTUM_GROUPS) ||
                !(b->mask & a->group & COLL_FRUSTUM_GROUPS) || !pair_touches(a, b))
                continue;
            a->hits |= b->group & COLL_FRUSTUM_GROUPS;
            b->hits |= a->group & COLL_FRUSTUM_GROUPS;
        }
    for (FrustumBody *b = g_frustum.active_head; b; b = b->next)
        if (b->flags & COLL_FRUSTUM_KEEP_INSIDE) keep_inside(b);
}
