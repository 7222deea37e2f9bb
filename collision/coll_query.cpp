// Queries over all colliders, the segment test of a sphere collider, and the probe pass.
#include <cmath>

#include "collision/coll_geom.h"
#include "collision/coll_mesh.h"
#include "collision/collider.h"
#include "math/mat4.h"
#include "math/vec.h"

static Collider *active_colliders(void) {
    return coll_pool()->active_head;
}
static CollisionProbe *active_probes(void) {
    return coll_pool()->probe_active_head;
}

// The group and filter rules of every all-collider query.
static bool selected(const Collider *c, uint32_t needed, uint16_t group, uint32_t filter) {
    if ((c->flags & needed) != needed) return false;
    if ((c->group & 0xFFFF) == group) return false;
    return filter == COLL_FILTER_ANY || filter == c->filter;
}

static Vec3 sphere_centre(const Collider *c) {
    Vec3 centre = c->centre; // without a transform the collider's frame is the world
    if (c->transform) {
        if (c->flags & COLL_HAS_CENTRE) {
            mat4_transform_point(&centre, c->transform, &c->centre);
        } else {
            centre = Vec3{c->transform->m[3][0], c->transform->m[3][1], c->transform->m[3][2]};
        }
    }
    return centre;
}

bool coll_segment_sphere_collider(const Collider *c, const Vec3 *start, const Vec3 *delta,
                                  float *out_t, Vec3 *out_point, Vec3 *out_normal) {
    Vec3 centre = sphere_centre(c), end, sc, point, to;
    if (!coll_finite_segment(start, delta) || !coll_usable_sphere(&centre, c->radius)) return false;
    vec3_add(&end, start, delta);
    if (!coll_segment_near_sphere(start, &end, &centre, c->radius)) return false;
    float a = vec3_dot(delta, delta);
    if (a <= 1e-9f) return false;
    vec3_sub(&sc, start, &centre);
    float b = vec3_dot(delta, &sc);
    float cc = vec3_dot(&sc, &sc) - c->radius * c->radius;
    float disc = b * b - a * cc;
    if (disc < 0.0f) return false;
    float t = (-b - std::sqrt(disc)) / a;
    if (t < 0.0f) t = 0.0f; // a start inside the sphere hits at the start
    vec3_add_scaled(&point, start, delta, t);
    if (!coll_finite3(&point)) return false;
    if (out_t) *out_t = t;
    if (out_point) *out_point = point;
    if (out_normal) vec3_normalize(out_normal, vec3_sub(&to, &point, &centre));
    return true;
}

uint8_t coll_ground_height(const Vec3 *point, float *out_height, Vec3 *out_normal,
                           uint32_t *out_face, uint16_t group, uint32_t filter) {
    CollMeshHit best{}, hit;
    best.t = 999.0f;
    bool found = false;
    for (Collider *c = active_colliders(); c; c = c->next) {
        if (!selected(c, COLL_SEGMENTS | COLL_GROUND, group, filter)) continue;
        const CollisionMeshRecord *mesh = coll_collider_mesh(c);
        if (!mesh || !coll_mesh_ground(mesh, c->transform, point, &hit) || !(hit.t < best.t))
            continue;
        best = hit;
        found = true;
    }
    if (!found) return 0;
    if (out_height) *out_height = point->y - 10000.0f * best.t;
    if (out_normal) *out_normal = best.normal;
    if (out_face) *out_face = best.face;
    return 1;
}

// The nearest hit over the selected colliders: meshes always, spheres when asked.
static bool nearest_segment_hit(const Vec3 *start, const Vec3 *delta, bool spheres, bool extended,
                                uint16_t group, uint32_t filter, CollMeshHit *best) {
    CollMeshHit hit{};
    best->t = 999.0f;
    bool found = false;
    for (Collider *c = active_colliders(); c; c = c->next) {
        if (!selected(c, COLL_SEGMENTS, group, filter)) continue;
        if (c->mesh == 0) {
            if (!spheres ||
                !coll_segment_sphere_collider(c, start, delta, &hit.t, nullptr, &hit.normal))
                continue;
            hit.face = 0;
        } else {
            const CollisionMeshRecord *mesh = coll_collider_mesh(c);
            if (!mesh || !coll_mesh_segment(mesh, c->transform, start, delta, extended, &hit))
                continue;
        }
        if (hit.t < best->t) {
            *best = hit;
            found = true;
        }
    }
    return found;
}

uint8_t coll_segment_hit_point(const Vec3 *start, const Vec3 *delta, Vec3 *out_point,
                               Vec3 *out_normal, uint32_t *out_face, uint16_t group,
                               uint32_t filter) {
    CollMeshHit best;
    if (!nearest_segment_hit(start, delta, false, false, group, filter, &best)) return 0;
    if (out_point) vec3_add_scaled(out_point, start, delta, best.t);
    if (out_normal) *out_normal = best.normal;
    if (out_face) *out_face = best.face;
    return 1;
}

uint8_t coll_segment_hit_t(const Vec3 *start, const Vec3 *delta, float *out_t, Vec3 *out_normal,
                           uint32_t *out_face, uint16_t group, uint32_t filter) {
    CollMeshHit best;
    if (!nearest_segment_hit(start, delta, true, false, group, filter, &best)) return 0;
    if (out_t) *out_t = best.t;
    if (out_normal) *out_normal = best.normal;
    if (out_face) *out_face = best.face;
    return 1;
}

uint8_t coll_segment_hit_triangle(const Vec3 *start, const Vec3 *delta, Vec3 *out_point,
                                  Vec3 *out_normal, uint32_t *out_face, Vec3 *out_corners,
                                  Vec3 *out_cell_box, uint16_t group, uint32_t filter) {
    CollMeshHit best;
    if (!nearest_segment_hit(start, delta, false, true, group, filter, &best)) return 0;
    if (out_point) vec3_add_scaled(out_point, start, delta, best.t);
    if (out_normal) *out_normal = best.normal;
    if (out_face) *out_face = best.face;
    if (out_corners)
        for (int i = 0; i < 3; ++i) out_corners[i] = best.corners[i];
    if (out_cell_box) {
        out_cell_box[0] = best.box_centre;
        out_cell_box[1] = best.box_half;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Probe pass

static bool probe_accepts(const CollisionProbe *p, const Collider *c) {
    return (p->flags & COLL_PROBE_USED) && (p->filter == COLL_FILTER_ANY || p->filter == c->filter);
}

static void fill_probe(CollisionProbe *p, Collider *c, float t, const Vec3 *normal, uint32_t face) {
    vec3_add_scaled(&p->hit.point, &p->start, &p->direction, t);
    p->hit.normal = *normal;
    p->hit.face = face;
    p->hit.filter = c->filter;
    p->hit.user_word = c->user_word;
    p->hit.user_pointer = c->user_pointer;
    p->best_t = t;
    p->hit_collider = c;
}

void coll_probe_step(void) {
    // Lifetimes: a probe whose count of steps runs out is freed.
    for (CollisionProbe *p = active_probes(), *next; p; p = next) {
        next = p->next;
        uint32_t life = (p->flags >> COLL_PROBE_LIFE_SHIFT) & 3u;
        if (!(p->flags & COLL_PROBE_USED) || life == 0) continue;
        --life;
        p->flags = (p->flags & ~(3u << COLL_PROBE_LIFE_SHIFT)) | life << COLL_PROBE_LIFE_SHIFT;
        if (life == 0) coll_remove_probe(p);
    }
    // Every pass starts from no hit, also when no collider is active: stale hits would reach
    // the callbacks again.
    for (CollisionProbe *p = active_probes(); p; p = p->next) {
        p->flags &= ~COLL_PROBE_HAS_HIT;
        p->best_t = 1e7f;
        p->hit_collider = nullptr;
    }
    if (coll_collider_count() == 0) return;
    if (!active_probes()) {
        for (Collider *c = active_colliders(); c; c = c->next) c->probe_hits = 0;
        return;
    }

    CollisionProbe *chosen[COLL_PROBE_CAPACITY];
    for (Collider *c = active_colliders(); c; c = c->next) {
        c->probe_hits = 0;
        if (!(c->flags & COLL_SEGMENTS)) continue;
        if (c->mesh == 0) {
            for (CollisionProbe *p = active_probes(); p; p = p->next) {
                float t;
                Vec3 normal;
                if (probe_accepts(p, c) &&
                    coll_segment_sphere_collider(c, &p->start, &p->direction, &t, nullptr,
                                                 &normal) &&
                    t < p->best_t)
                    fill_probe(p, c, t, &normal, 0);
            }
            continue;
        }
        const CollisionMeshRecord *mesh = coll_collider_mesh(c);
        if (!mesh) continue;
        // The mesh's bounding sphere in the world: its centre carried through the transform,
        // its radius grown by the largest axis scale.
        Vec3 centre = c->centre;
        float radius = c->radius;
        if (c->transform) {
            mat4_transform_point(&centre, c->transform, &c->centre);
            radius *= mat4_max_axis_scale(c->transform);
        }
        int n = 0;
        for (CollisionProbe *p = active_probes(); p && n < COLL_PROBE_CAPACITY; p = p->next) {
            CollSegment g;
            coll_segment_init(&g, &p->start, &p->direction);
            if (probe_accepts(p, c) && coll_line_near_sphere(&g, &centre, radius)) chosen[n++] = p;
        }
        for (int i = 0; i < n; ++i) {
            CollisionProbe *p = chosen[i];
            CollMeshHit hit;
            if (coll_mesh_segment(mesh, c->transform, &p->start, &p->direction, false, &hit) &&
                hit.t < p->best_t)
                fill_probe(p, c, hit.t, &hit.normal, hit.face);
        }
    }
    for (CollisionProbe *p = active_probes(); p; p = p->next) {
        if (!(p->flags & COLL_PROBE_USED) || !p->hit_collider) continue;
        p->flags |= COLL_PROBE_HAS_HIT;
        p->hit_collider->flags |= COLL_PROBE_HIT;
        ++p->hit_collider->probe_hits;
    }
}

void coll_update(void) {
    coll_probe_step();
    // The pairs are gathered first: a callback may remove or create probes and colliders. Each
    // runs only while its probe and collider are still the pair that was found.
    struct Pair {
        CollisionProbe *probe;
        Collider *collider;
    } pairs[COLL_PROBE_CAPACITY];
    int n = 0;
    for (CollisionProbe *p = active_probes(); p && n < COLL_PROBE_CAPACITY; p = p->next)
        if ((p->flags & (COLL_PROBE_USED | COLL_PROBE_HAS_HIT)) ==
                (COLL_PROBE_USED | COLL_PROBE_HAS_HIT) &&
            p->callback && p->hit_collider)
            pairs[n++] = Pair{p, p->hit_collider};
    for (int i = 0; i < n; ++i) {
        CollisionProbe *p = pairs[i].probe;
        Collider *c = pairs[i].collider;
        if ((p->flags & COLL_PROBE_USED) && (p->flags & COLL_PROBE_HAS_HIT) &&
            p->hit_collider == c && (c->flags & COLL_USED) && p->callback)
            p->callback(&p->hit, c);
    }
}
