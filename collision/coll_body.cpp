// The collision body pool: shape runs, the per-frame pair step and the queries.
#include "collision/coll_body.h"

#include <cmath>
#include <cstring>

#include "collision/coll_geom.h"
#include "collision/coll_list.h"
#include "collision/coll_mesh.h"
#include "math/mat4.h"
#include "math/vec.h"
#include "resource/res_collmesh.h"

static CollisionBodyPool g_bodies;

CollisionBodyPool *coll_body_pool(void) {
    return &g_bodies;
}

void coll_body_reset(void) {
    std::memset(static_cast<void *>(&g_bodies), 0, sizeof g_bodies);
    g_bodies.free_head = coll_list_link_free(g_bodies.bodies, COLL_BODY_CAPACITY);
    g_bodies.free_shapes = coll_list_link_free(g_bodies.shapes, COLL_SHAPE_CAPACITY);
}

void coll_body_init(void) {
    coll_body_reset();
}
// Returning every shape run first changes nothing the reset does not redo.
void coll_body_term(void) {
    coll_body_reset();
}
void coll_body_clear(void) {
    coll_body_reset();
}

// The body's place: its matrix's translation row, or its position without one.
static Vec3 body_origin(const CollisionBody *b) {
    if (!b->transform) return b->position;
    return Vec3{b->transform->m[3][0], b->transform->m[3][1], b->transform->m[3][2]};
}

// Every shape's world centre from the body's current placement. The frame step does this
// once a frame and the per-shape queries use what it stored; a new body is placed at once
// so that a query before its first frame step finds it where it stands.
static void place_shapes(CollisionBody *b) {
    for (CollisionShape *s = b->shapes; s; s = s->next) {
        if (s->transform) {
            mat4_transform_point(&s->world_centre, s->transform, &s->local_centre);
        } else {
            vec3_add(&s->world_centre, s->position, &s->local_centre);
        }
    }
}

// A run of n shapes from the head of the free list; null when fewer remain or n < 1.
static CollisionShape *take_shapes(uint32_t n) {
    if (n < 1 || n > COLL_SHAPE_CAPACITY - g_bodies.shape_count) return nullptr;
    CollisionShape *first = g_bodies.free_shapes, *last = first;
    for (uint32_t i = 1; i < n; ++i) last = last->next;
    g_bodies.free_shapes = last->next;
    if (g_bodies.free_shapes) g_bodies.free_shapes->prev = nullptr;
    last->next = nullptr;
    g_bodies.shape_count += n;
    return first;
}

static void give_shapes(CollisionShape *first, uint32_t n) {
    if (!first) return;
    CollisionShape *last = first;
    while (last->next) last = last->next;
    last->next = g_bodies.free_shapes;
    if (g_bodies.free_shapes) g_bodies.free_shapes->prev = last;
    first->prev = nullptr;
    g_bodies.free_shapes = first;
    g_bodies.shape_count -= n;
}

CollisionBody *coll_body_create(const ShapeSetRecord *set, const Mat4 *transform, uint32_t group,
                                uint32_t mask, float radius) {
    CollisionBody *b = coll_list_take(&g_bodies.free_head, &g_bodies.active_head);
    if (!b) return nullptr;
    b->flags = 1;
    b->group = group;
    b->mask = mask;
    b->shape_set = set;
    b->transform = transform;
    b->weight = 50.0f;
    b->radius = radius;
    // The run is taken only when the set's list holds every sphere it counts.
    uint32_t n = res_shape_set_sphere_count(set);
    b->shapes = n && res_shape_set_sphere(set, n - 1) ? take_shapes(n) : nullptr;
    if (b->shapes) {
        b->shape_count = n;
        CollisionShape *s = b->shapes;
        for (uint32_t i = 0; i < n; ++i, s = s->next) {
            const ShapeSphere *sphere = res_shape_set_sphere(set, i);
            s->local_centre = Vec3{sphere->x, sphere->y, sphere->z};
            s->radius = sphere->radius;
            s->bound = vec3_length(&s->local_centre) + sphere->radius;
            s->transform = transform;
            s->position = &b->position;
        }
    }
    place_shapes(b);
    ++g_bodies.body_count;
    return b;
}

CollisionBody *coll_body_create_from_set(ResourceHandle set, const Mat4 *transform, uint32_t group,
                                         uint32_t mask) {
    const ShapeSetRecord *r = res_shapeset_record(set);
    return r ? coll_body_create(r, transform, group, mask, r->radius) : nullptr;
}

void coll_body_remove(CollisionBody *b) {
    if (!b || !(b->flags & 1)) return;
    give_shapes(b->shapes, b->shape_count);
    b->shapes = nullptr;
    b->shape_count = 0;
    b->flags &= ~1u;
    coll_list_give_back(b, &g_bodies.free_head, &g_bodies.active_head);
    --g_bodies.body_count;
}

bool coll_body_result(const CollisionBody *b, Vec3 *out_push, uint32_t *out_hits) {
    if (!b) return false;
    if (out_push) *out_push = b->push;
    if (out_hits) *out_hits = b->hits;
    return b->hits != 0;
}

void coll_body_set_position(CollisionBody *b, const Vec3 *position) {
    if (b && position) b->position = *position;
}

bool coll_body_any_hit(uint32_t, uint32_t bits) {
    for (const CollisionBody *b = g_bodies.active_head; b; b = b->next)
        if (b->hits & bits) return true;
    return false;
}

uint32_t coll_body_count(void) {
    return g_bodies.body_count;
}
uint32_t coll_shape_count(void) {
    return g_bodies.shape_count;
}

// ---------------------------------------------------------------------------------------------
// Frame step

// A body's spheres: with `shapes`, each shape at its stored world centre (a body without
// shapes has none); else one sphere at its origin with its bounding radius. A body whose
// origin is not finite has none, and spheres the tests cannot use are passed over.
template <typename Visit>
static void each_sphere(const CollisionBody *b, bool shapes, Visit visit) {
    Vec3 origin = body_origin(b);
    if (!coll_finite3(&origin)) return;
    if (!shapes) {
        if (coll_usable_sphere(&origin, b->radius)) visit(origin, b->radius);
        return;
    }
    for (const CollisionShape *s = b->shapes; s; s = s->next)
        if (coll_usable_sphere(&s->world_centre, s->radius)) visit(s->world_centre, s->radius);
}

static bool admits(const CollisionBody *a, const CollisionBody *b) {
    return (a->mask & b->group & COLL_BODY_GROUPS) && (b->mask & a->group & COLL_BODY_GROUPS);
}

// Written so that a NaN fails every comparison.
static bool bounds_touch(const CollisionBody *a, const CollisionBody *b) {
    float r = a->radius + b->radius;
    Vec3 pa = body_origin(a), pb = body_origin(b), d;
    vec3_sub(&d, &pa, &pb);
    if (!(std::fabs(d.x) <= r && std::fabs(d.y) <= r && std::fabs(d.z) <= r)) return false;
    return vec3_dot(&d, &d) < r * r;
}

// Sphere against sphere for every shape pair; touching pairs share their overlap by weight.
static bool exact_touch(CollisionBody *a, CollisionBody *b) {
    bool touched = false;
    bool no_push = ((a->group | b->group) & COLL_BODY_NO_PUSH) != 0;
    float sum = a->weight + b->weight;
    float wa = sum > 0.0f ? a->weight / sum : 0.0f;
    each_sphere(a, a->shapes != nullptr, [&](const Vec3 &ca, float ra) {
        each_sphere(b, b->shapes != nullptr, [&](const Vec3 &cb, float rb) {
            Vec3 ab;
            vec3_sub(&ab, &cb, &ca);
            float d2 = vec3_dot(&ab, &ab), reach = ra + rb;
            if (!(d2 < reach * reach)) return;
            touched = true;
            if (no_push || !(sum > 0.0f)) return;
            float overlap = std::sqrt(d2) - reach; // negative
            Vec3 dir;
            vec3_normalize(&dir, &ab); // from a towards b
            if (a->group & COLL_BODY_PUSHABLE)
                vec3_add_scaled(&a->push, &a->push, &dir, (1.0f - wa) * overlap);
            if (b->group & COLL_BODY_PUSHABLE)
                vec3_add_scaled(&b->push, &b->push, &dir, -wa * overlap);
        });
    });
    return touched;
}

void coll_body_update(void) {
    if (!g_bodies.active_head) return;
    for (CollisionBody *b = g_bodies.active_head; b; b = b->next) {
        b->push = Vec3{0.0f, 0.0f, 0.0f};
        b->frame_word = 0;
        b->hits = 0;
        place_shapes(b);
    }
    for (CollisionBody *i = g_bodies.active_head; i; i = i->next)
        for (CollisionBody *j = g_bodies.active_head; j != i; j = j->next) {
            if (!admits(i, j) || !bounds_touch(i, j) || !exact_touch(i, j)) continue;
            i->hits |= j->group & COLL_BODY_GROUPS;
            j->hits |= i->group & COLL_BODY_GROUPS;
        }
}

// ---------------------------------------------------------------------------------------------
// Queries

// Per shape, a body's shapes as the last frame step placed them, and a body without shapes
// takes no part; else every body as its bounding sphere.
template <typename Visit>
static void each_selected_sphere(uint32_t groups, bool per_shape, Visit visit) {
    for (const CollisionBody *b = g_bodies.active_head; b; b = b->next)
        if (b->group & groups & COLL_BODY_GROUPS) each_sphere(b, per_shape, visit);
}

bool coll_body_triangle_query(const float *corners, const Vec3 *normal, Vec3 *out_closest,
                              float *out_depth, uint32_t groups, bool per_shape) {
    const Vec3 a = {corners[0], corners[1], corners[2]}, b = {corners[3], corners[4], corners[5]},
               c = {corners[6], corners[7], corners[8]};
    float best = 1e14f, best_depth = 0.0f;
    Vec3 best_q{};
    bool found = false;
    each_selected_sphere(groups, per_shape, [&](const Vec3 &centre, float radius) {
        Vec3 q;
        float depth;
        if (!coll_sphere_triangle(&a, &b, &c, normal, &centre, radius, &q, &depth)) return;
        float d = vec3_distance_sq(&centre, &q);
        if (d < best) {
            best = d;
            best_q = q;
            best_depth = depth;
            found = true;
        }
    });
    if (!found) return false;
    if (out_closest) *out_closest = best_q;
    if (out_depth) *out_depth = best_depth;
    return true;
}

bool coll_body_sphere_query(const Vec3 *centre, float radius, Vec3 *out_push, uint32_t groups,
                            bool per_shape) {
    Vec3 push = {0.0f, 0.0f, 0.0f};
    bool found = false;
    if (!coll_usable_sphere(centre, radius)) return false;
    each_selected_sphere(groups, per_shape, [&](const Vec3 &other, float r) {
        Vec3 away;
        vec3_sub(&away, centre, &other);
        float d2 = vec3_dot(&away, &away), reach = radius + r;
        if (!(d2 < reach * reach)) return;
        found = true;
        vec3_normalize(&away, &away);
        vec3_add_scaled(&push, &push, &away, reach - std::sqrt(d2));
    });
    if (found && out_push) *out_push = push;
    return found;
}

bool coll_body_mesh_query(ResourceHandle mesh, const Mat4 *transform, Vec3 *out_closest,
                          float *out_depth, uint32_t groups, bool per_shape) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    if (!r) return false;
    float best = 1e30f;
    bool found = false;
    each_selected_sphere(groups, per_shape, [&](const Vec3 &centre, float radius) {
        Vec3 q;
        float depth;
        if (!coll_sphere_mesh(r, transform, &centre, radius, &q, &depth, nullptr, nullptr)) return;
        float d = vec3_distance_sq(&centre, &q);
        if (d < best) {
            best = d;
            found = true;
            if (out_closest) *out_closest = q;
            if (out_depth) *out_depth = depth;
        }
    });
    return found;
}
