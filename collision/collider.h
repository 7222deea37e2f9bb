// Colliders: collision meshes and spheres bound to the world matrices of scene nodes, found by
// ground-height and segment queries and by the per-frame pass of segment probes. One static pool
// of 1100 colliders and 128 probes; main thread only.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "resource/res_pools.h"

constexpr int COLL_COLLIDER_CAPACITY = 1100;
constexpr int COLL_PROBE_CAPACITY = 128;
constexpr uint32_t COLL_FILTER_ANY = 0xFFFFFFFFu;

enum : uint32_t {
    COLL_USED = 1u << 0,
    COLL_SEGMENTS = 1u << 1,   // takes part in probes and segment queries
    COLL_GROUND = 1u << 2,     // takes part in ground-height queries
    COLL_PROBE_HIT = 1u << 3,  // hit by a probe since it was created
    COLL_HAS_CENTRE = 1u << 4, // sphere colliders: the centre is given
};

struct Collider {
    uint32_t flags;
    uint32_t group; // low 16 bits: an id from coll_next_id; queries given this group skip it
    // Reported with every probe hit. A mesh collider made with user word 0 holds the mesh name's
    // NameHash: a name pointer does not fit 32 bits.
    uint32_t user_word;
    void *user_pointer;
    uint32_t probe_hits; // probes whose nearest hit in the latest pass is this collider
    uint32_t filter;     // collision class; queries and probes with another filter skip it
    Vec3 centre;         // mesh: its bounding-sphere centre; sphere: the centre or (0, 0, 0)
    float radius;
    const Mat4 *transform; // the owner's world matrix, read at query time; null: identity
    // The collision mesh as handle and creation stamp, resolved at query time so that a mesh
    // released under the collider is no mesh (no hit). Handle 0: a sphere collider.
    ResourceHandle mesh;
    uint32_t mesh_stamp;
    Collider *chained; // removed together with this one
    Collider *prev, *next;
};

struct ProbeHit {
    Vec3 point;
    Vec3 normal; // world space
    uint32_t face;
    uint32_t filter; // of the collider hit
    uint32_t word_a, word_b;
    uint32_t user_word; // of the collider hit
    void *user_pointer; // of the collider hit
};

using ProbeCallback = void (*)(ProbeHit *hit, Collider *collider);

enum : uint32_t {
    COLL_PROBE_USED = 1u << 0,
    COLL_PROBE_HAS_HIT = 1u << 1,
    COLL_PROBE_LIFE_SHIFT = 2, // bits 2-3: 0 until removed, else probe steps left
};

struct CollisionProbe {
    uint32_t flags;
    Vec3 start;
    Vec3 direction;
    float size; // kept, not read
    ProbeHit hit;
    float best_t;
    uint32_t filter;
    Collider *hit_collider;
    ProbeCallback callback;
    CollisionProbe *prev, *next;
};

struct ColliderPool {
    Collider colliders[COLL_COLLIDER_CAPACITY];
    Collider *free_head;
    Collider *active_head;
    uint32_t count;
    uint16_t id_counter;
    CollisionProbe probes[COLL_PROBE_CAPACITY];
    CollisionProbe *probe_free_head;
    CollisionProbe *probe_active_head;
    uint32_t probe_count;
};

// Module hooks of the graphics chains.
void coll_init(void);
void coll_term(void);
void coll_reset(void);
void coll_clear(void);
void coll_update(void); // the probe step, then the callbacks of the probes that hit

ColliderPool *coll_pool(void);
uint16_t coll_next_id(void); // 1 to 65535, then 1 again

Collider *coll_create_model_collider(ResourceHandle mesh, const Mat4 *transform, uint32_t filter,
                                     uint16_t group, uint32_t user_word, void *user_pointer);
Collider *coll_create_sphere_collider(const Vec3 *centre, float radius, const Mat4 *transform,
                                      uint32_t filter, uint16_t group, uint32_t user_word,
                                      void *user_pointer);
void coll_set_model_collider(Collider *c, ResourceHandle mesh, uint32_t filter, uint32_t user_word,
                             void *user_pointer);
void coll_set_sphere_collider(Collider *c, const Vec3 *centre, float radius, uint32_t filter,
                              uint32_t user_word, void *user_pointer);
// Returns the collider and its chain to the pool; colliders not in use are passed over.
void coll_remove_collider(Collider *c);
uint32_t coll_collider_count(void);
uint32_t coll_probe_count(void);

// The collider's mesh when it still is the one it was given; null for a sphere collider or a
// mesh released since.
const CollisionMeshRecord *coll_collider_mesh(const Collider *c);

// Queries over all colliders: colliders of `group` are skipped, and a filter other than
// COLL_FILTER_ANY keeps only colliders with that filter. 1 on a hit; outputs may be null.
uint8_t coll_ground_height(const Vec3 *point, float *out_height, Vec3 *out_normal,
                           uint32_t *out_face, uint16_t group, uint32_t filter);
uint8_t coll_segment_hit_point(const Vec3 *start, const Vec3 *delta, Vec3 *out_point,
                               Vec3 *out_normal, uint32_t *out_face, uint16_t group,
                               uint32_t filter);
// Mesh and sphere colliders; a segment starting inside a sphere hits it at t = 0.
uint8_t coll_segment_hit_t(const Vec3 *start, const Vec3 *delta, float *out_t, Vec3 *out_normal,
                           uint32_t *out_face, uint16_t group, uint32_t filter);
// Also the triangle's corners (9 floats) and the box (centre, half extents) of its cell.
uint8_t coll_segment_hit_triangle(const Vec3 *start, const Vec3 *delta, Vec3 *out_point,
                                  Vec3 *out_normal, uint32_t *out_face, Vec3 *out_corners,
                                  Vec3 *out_cell_box, uint16_t group, uint32_t filter);
// Segment against one sphere collider: t (0 when the start is inside), point and normal. A
// non-finite segment or sphere, or a radius whose square overflows, is never hit.
bool coll_segment_sphere_collider(const Collider *c, const Vec3 *start, const Vec3 *delta,
                                  float *out_t, Vec3 *out_point, Vec3 *out_normal);

// Probes: segments tested against every collider once per frame.
CollisionProbe *coll_create_probe(const Vec3 *start, const Vec3 *delta, float size, uint32_t word_a,
                                  uint32_t word_b, uint32_t filter);
// Takes part in exactly one probe pass and is freed at the next step.
CollisionProbe *coll_create_probe_once(const Vec3 *start, const Vec3 *delta, float size,
                                       uint32_t word_a, uint32_t word_b, ProbeCallback callback,
                                       uint32_t filter);
void coll_set_probe(CollisionProbe *p, const Vec3 *start, const Vec3 *delta, float size,
                    uint32_t word_a, uint32_t word_b, uint32_t filter);
void coll_set_probe_callback(CollisionProbe *p, ProbeCallback callback);
void coll_remove_probe(CollisionProbe *p); // a probe not in use is ignored
uint32_t coll_probe_was_hit(const CollisionProbe *p);
// The n-th active probe (newest first) whose nearest hit is this collider, or null.
CollisionProbe *coll_find_probe_hit(const Collider *c, uint32_t n);
void coll_probe_step(void);
