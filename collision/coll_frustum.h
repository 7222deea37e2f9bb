// Frustum bodies: upright cylinders tested against each other in the horizontal plane every
// frame, pushed apart by weight, and, when flagged, kept inside camera 0's view frustum (or one
// built from stored frustum parameters). Main thread only.
#pragma once
#include <cstdint>

#include "math/math_types.h"

constexpr int COLL_FRUSTUM_CAPACITY = 128;

enum : uint32_t {
    COLL_FRUSTUM_USED = 1u << 0,
    COLL_FRUSTUM_KEEP_INSIDE = 1u << 1,
    COLL_FRUSTUM_GROUPS = 0x3FFFFFFFu, // bits 0-29 of group, mask and hit words
    COLL_FRUSTUM_NO_MOVE = 1u << 30,   // group word: pairs with this body touch without moving
    COLL_FRUSTUM_MOVES = 1u << 31,     // group word: the body moves when it touches another
};

struct FrustumBody {
    uint32_t flags;
    uint32_t group;
    uint32_t mask;
    uint32_t hits;
    const Mat4 *transform; // null: the local position is the world position
    Vec3 position;         // rebuilt every frame
    Vec3 displacement;     // x and z moved this frame
    Vec3 local_position;
    float radius;
    float height; // half-height of the vertical overlap test
    float weight;
    FrustumBody *prev, *next;
};

struct FrustumBodyPool {
    FrustumBody bodies[COLL_FRUSTUM_CAPACITY];
    FrustumBody *active_head, *free_head;
    uint32_t count;
    uint32_t params_flag; // 0: view 0's cull planes; 1: planes from `params`
    FrustumParams params;
    Plane planes[6];
};

void coll_frustum_init(void);
void coll_frustum_term(void);
void coll_frustum_reset(void);
void coll_frustum_clear(void);
void coll_frustum_update(void);

FrustumBodyPool *coll_frustum_pool(void);
FrustumBody *coll_frustum_create(const Mat4 *transform, float radius, float height,
                                 const Vec3 *local_position, uint32_t group, uint32_t mask);
void coll_frustum_remove(FrustumBody *body); // a body not in use is ignored
bool coll_frustum_get_hits(const FrustumBody *body, Vec3 *out_displacement);
// Null goes back to view 0's planes. Parameters with left = right, bottom = top, near = far or
// a non-finite value are refused and change nothing (false).
bool coll_frustum_set_params(const FrustumParams *params);
uint32_t coll_frustum_count(void);
