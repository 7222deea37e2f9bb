// The collider pool: creation, re-setting, removal with chains, and the module hooks.
#include "collision/collider.h"

#include <cstring>

#include "collision/coll_list.h"
#include "resource/res_collmesh.h"

static ColliderPool g_pool;

ColliderPool *coll_pool(void) {
    return &g_pool;
}

void coll_reset(void) {
    std::memset(static_cast<void *>(&g_pool), 0, sizeof g_pool);
    g_pool.free_head = coll_list_link_free(g_pool.colliders, COLL_COLLIDER_CAPACITY);
    g_pool.probe_free_head = coll_list_link_free(g_pool.probes, COLL_PROBE_CAPACITY);
}

void coll_init(void) {
    coll_reset();
}
void coll_term(void) {
    coll_clear();
}
void coll_clear(void) {
    coll_reset();
}

uint16_t coll_next_id(void) {
    g_pool.id_counter =
        g_pool.id_counter == 65535 ? 1 : static_cast<uint16_t>(g_pool.id_counter + 1);
    return g_pool.id_counter;
}

const CollisionMeshRecord *coll_collider_mesh(const Collider *c) {
    if (!c || c->mesh == 0) return nullptr;
    const CollisionMeshRecord *r = res_collmesh_record(c->mesh);
    return r && r->stamp == c->mesh_stamp ? r : nullptr;
}

// Points the collider at the mesh: handle, stamp, bounding sphere.
static void bind_mesh(Collider *c, ResourceHandle mesh, const CollisionMeshRecord *r) {
    const CollMeshHeader *h = res_collmesh_header(r);
    c->mesh = mesh;
    c->mesh_stamp = r->stamp;
    c->centre = h->centre;
    c->radius = h->radius;
}

// A new collider at the head of the active list, in use for probes, segments and ground;
// null when the pool is empty.
static Collider *take_collider(const Mat4 *transform, uint32_t filter, uint16_t group,
                               uint32_t user_word, void *user_pointer) {
    Collider *c = coll_list_take(&g_pool.free_head, &g_pool.active_head);
    if (!c) return nullptr;
    c->flags = COLL_USED | COLL_SEGMENTS | COLL_GROUND;
    c->group = group;
    c->user_word = user_word;
    c->user_pointer = user_pointer;
    c->filter = filter;
    c->transform = transform;
    ++g_pool.count;
    return c;
}

Collider *coll_create_model_collider(ResourceHandle mesh, const Mat4 *transform, uint32_t filter,
                                     uint16_t group, uint32_t user_word, void *user_pointer) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    if (!res_collmesh_header(r)) return nullptr;
    if (user_word == 0) user_word = r->header.name_hash;
    Collider *c = take_collider(transform, filter, group, user_word, user_pointer);
    if (c) bind_mesh(c, mesh, r);
    return c;
}

static void set_sphere(Collider *c, const Vec3 *centre, float radius) {
    c->flags &= ~COLL_HAS_CENTRE;
    c->centre = Vec3{0.0f, 0.0f, 0.0f};
    if (centre) {
        c->flags |= COLL_HAS_CENTRE;
        c->centre = *centre;
    }
    c->radius = radius;
    c->mesh = 0;
    c->mesh_stamp = 0;
}

Collider *coll_create_sphere_collider(const Vec3 *centre, float radius, const Mat4 *transform,
                                      uint32_t filter, uint16_t group, uint32_t user_word,
                                      void *user_pointer) {
    Collider *c = take_collider(transform, filter, group, user_word, user_pointer);
    if (c) set_sphere(c, centre, radius);
    return c;
}

void coll_set_model_collider(Collider *c, ResourceHandle mesh, uint32_t filter, uint32_t user_word,
                             void *user_pointer) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    if (!c || !res_collmesh_header(r)) return;
    c->user_word = user_word;
    c->user_pointer = user_pointer;
    c->filter = filter;
    bind_mesh(c, mesh, r);
}

void coll_set_sphere_collider(Collider *c, const Vec3 *centre, float radius, uint32_t filter,
                              uint32_t user_word, void *user_pointer) {
    if (!c) return;
    c->user_word = user_word;
    c->user_pointer = user_pointer;
    c->filter = filter;
    set_sphere(c, centre, radius);
}

void coll_remove_collider(Collider *c) {
    // A collider not in use (removed before, or met again in a looping chain) ends the walk.
    while (c && (c->flags & COLL_USED)) {
        Collider *chained = c->chained;
        c->flags &= ~(COLL_USED | COLL_SEGMENTS | COLL_GROUND);
        coll_list_give_back(c, &g_pool.free_head, &g_pool.active_head);
        --g_pool.count;
        c = chained;
    }
}

uint32_t coll_collider_count(void) {
    return g_pool.count;
}
uint32_t coll_probe_count(void) {
    return g_pool.probe_count;
}

// ---------------------------------------------------------------------------------------------
// Probe records (the pass is in coll_probe.cpp)

CollisionProbe *coll_create_probe(const Vec3 *start, const Vec3 *delta, float size, uint32_t word_a,
                                  uint32_t word_b, uint32_t filter) {
    CollisionProbe *p = coll_list_take(&g_pool.probe_free_head, &g_pool.probe_active_head);
    if (!p) return nullptr;
    p->flags = COLL_PROBE_USED;
    coll_set_probe(p, start, delta, size, word_a, word_b, filter);
    ++g_pool.probe_count;
    return p;
}

CollisionProbe *coll_create_probe_once(const Vec3 *start, const Vec3 *delta, float size,
                                       uint32_t word_a, uint32_t word_b, ProbeCallback callback,
                                       uint32_t filter) {
    CollisionProbe *p = coll_create_probe(start, delta, size, word_a, word_b, filter);
    if (!p) return nullptr;
    p->callback = callback;
    p->flags |= 2u << COLL_PROBE_LIFE_SHIFT;
    return p;
}

void coll_set_probe(CollisionProbe *p, const Vec3 *start, const Vec3 *delta, float size,
                    uint32_t word_a, uint32_t word_b, uint32_t filter) {
    if (!p) return;
    if (start) p->start = *start;
    if (delta) p->direction = *delta;
    p->size = size;
    p->hit.word_a = word_a;
    p->hit.word_b = word_b;
    p->filter = filter;
}

void coll_set_probe_callback(CollisionProbe *p, ProbeCallback callback) {
    if (p) p->callback = callback;
}

void coll_remove_probe(CollisionProbe *p) {
    if (!p || !(p->flags & COLL_PROBE_USED)) return;
    p->flags &= ~0xFu;
    coll_list_give_back(p, &g_pool.probe_free_head, &g_pool.probe_active_head);
    --g_pool.probe_count;
}

uint32_t coll_probe_was_hit(const CollisionProbe *p) {
    return p && (p->flags & COLL_PROBE_HAS_HIT) ? 1u : 0u;
}

CollisionProbe *coll_find_probe_hit(const Collider *c, uint32_t n) {
    uint32_t seen = 0;
    for (CollisionProbe *p = g_pool.probe_active_head; p; p = p->next)
        if (p->hit_collider == c && c && seen++ == n) return p;
    return nullptr;
}
