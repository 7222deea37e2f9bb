// Collision bodies: sets of spheres tested against each other in pairs once per frame. Bodies
// whose group and mask bits admit each other record each other's groups as hits, and pushable
// bodies gather a push-out. Bodies are made from shape sets. Main thread only.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "resource/res_pools.h"

constexpr int COLL_BODY_CAPACITY = 768;
constexpr int COLL_SHAPE_CAPACITY = 2304;

enum : uint32_t {
    COLL_BODY_GROUPS = 0x3FFFFFFFu, // bits 0-29 of group, mask and hit words
    COLL_BODY_NO_PUSH = 1u << 30,   // group word: pairs with this body touch without moving
    COLL_BODY_PUSHABLE = 1u << 31,  // group word: the body gathers a push-out
};

struct CollisionShape {
    Vec3 local_centre;
    Vec3 world_centre;
    float radius;
    float bound;           // |local centre| + radius
    const Mat4 *transform; // the body's
    const Vec3 *position;  // the body's
    CollisionShape *prev, *next;
};

struct CollisionBody {
    uint32_t flags; // bit 0 active
    uint32_t group;
    uint32_t mask;
    uint32_t hits; // groups of the bodies touched this frame
    const ShapeSetRecord *shape_set;
    // Placement: the matrix's translation row is the body's position; without a matrix the
    // body stands at `position` and its shapes are offset from there.
    const Mat4 *transform;
    Vec3 position;
    Vec3 push; // displacement that moves the body out of what it touched this frame
    float weight;
    float radius; // bounding radius
    uint32_t shape_count;
    CollisionShape *shapes;
    CollisionBody *prev, *next;
    uint32_t frame_word; // cleared every frame
};

struct CollisionBodyPool {
    CollisionBody bodies[COLL_BODY_CAPACITY];
    CollisionShape shapes[COLL_SHAPE_CAPACITY];
    CollisionBody *active_head;
    CollisionBody *free_head;
    CollisionShape *free_shapes;
    uint32_t body_count;
    uint32_t shape_count;
};

void coll_body_init(void);
void coll_body_term(void);
void coll_body_reset(void);
void coll_body_clear(void);
void coll_body_update(void); // the pair step, when a body is active

CollisionBodyPool *coll_body_pool(void);
// One shape per sphere of the set (no shapes when the run cannot be had); null when the pool
// is full.
CollisionBody *coll_body_create(const ShapeSetRecord *set, const Mat4 *transform, uint32_t group,
                                uint32_t mask, float radius);
// With the set's spheres and reach; null for a handle that names no set.
CollisionBody *coll_body_create_from_set(ResourceHandle set, const Mat4 *transform, uint32_t group,
                                         uint32_t mask);
void coll_body_remove(CollisionBody *body); // a body not active is ignored
// The push-out and hit bits (each output may be null); true when anything was hit.
bool coll_body_result(const CollisionBody *body, Vec3 *out_push, uint32_t *out_hits);
void coll_body_set_position(CollisionBody *body, const Vec3 *position);
bool coll_body_any_hit(uint32_t unused, uint32_t bits);
uint32_t coll_body_count(void);
uint32_t coll_shape_count(void);

// Queries against the active bodies whose groups share a bit with `groups`: per shape (at the
// world centres the last frame step stored; a body without shapes takes no part), or as one
// sphere at the body's position with its bounding radius. A body whose position is not finite,
// and a sphere whose centre is not finite or whose radius squared overflows, take no part.
bool coll_body_triangle_query(const float *corners, const Vec3 *normal, Vec3 *out_closest,
                              float *out_depth, uint32_t groups, bool per_shape);
// Sums the push that moves the sphere out of every sphere it touches.
bool coll_body_sphere_query(const Vec3 *centre, float radius, Vec3 *out_push, uint32_t groups,
                            bool per_shape);
// Each selected sphere against the mesh; the contact nearest its sphere's centre is reported.
bool coll_body_mesh_query(ResourceHandle mesh, const Mat4 *transform, Vec3 *out_closest,
                          float *out_depth, uint32_t groups, bool per_shape);
