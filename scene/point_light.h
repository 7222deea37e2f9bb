// A coloured sphere of influence in world space; the node draws pass up to three of them to the
// shaders.
#pragma once

#include <cstdint>

#include "math/math_types.h"

struct PointLight;
typedef int (*PointLightUpdateFn)(PointLight *light); // non-zero removes the light
typedef void (*PointLightDestroyFn)(PointLight *light);

enum : uint32_t {
    PLIGHT_FLAG_IN_USE = 1u << 0,
    PLIGHT_FLAG_CREATED = 1u << 1,
    PLIGHT_FLAG_KILL = 1u << 2,
};

struct PointLight {
    uint32_t flags;
    uint32_t owner; // OwnerId
    Vec3 position;
    float radius;
    float parameter;  // 1.0 at creation
    float radius_sq;  // refreshed by the culling step
    float pick_key;   // scratch of the picking step
    float color_f[4]; // R, G, B, A in 0..1 from the ARGB word
    uint32_t color;   // ARGB
    PointLightUpdateFn update;
    PointLightDestroyFn destroy;
    PointLight *prev;
    PointLight *next;
};

enum : int32_t {
    PLIGHT_POOL_SIZE = 128,
    PLIGHT_VIEW_COUNT = 2,
};

struct PointLightPool {
    PointLight lights[PLIGHT_POOL_SIZE];
    PointLight *active_head;
    PointLight *free_head;
    PointLight *visible[PLIGHT_VIEW_COUNT][PLIGHT_POOL_SIZE];
    PointLight *pick[PLIGHT_POOL_SIZE];
    int32_t visible_count[PLIGHT_VIEW_COUNT];
    int32_t count;
    uint32_t debug_view;
};

// Zeroes the pool and chains the 128 records into the free list (object manager reset).
void plight_init_pool(void);
// Null when all 128 are in use; the colour floats are filled by the next update step.
PointLight *plight_create(uint32_t owner, const Vec3 *position, float radius, uint32_t argb);
PointLight *plight_create_one_frame(uint32_t owner, const Vec3 *position, float radius,
                                    uint32_t argb);
void plight_kill(PointLight *light);
// Null, a pointer outside the pool or a light not in use: nothing.
void plight_free(PointLight *light);
void plight_release_owner(uint32_t owner); // no callbacks
int32_t plight_count(void);

// Per frame: callbacks and colour floats; per-view visibility; the end-of-frame sweep of lights
// marked to die (no callbacks). Callbacks may free any light, the next one included.
void plight_update_all(void);
void plight_cull_per_camera(void);
void plight_sweep_killed(void);

// The view's visible lights whose sphere meets the given one, nearest first (ties in visible
// order), at most `max`; returns how many were written.
int32_t plight_pick_for_sphere(PointLight **out, int32_t max, int view, const Vec3 *centre,
                               float radius);
int32_t plight_visible_count(int view);
const PointLightPool *plight_pool(void);

// The debug view: key F9 toggles it; while it is on, every light gets a one-frame disc facing
// view 0's camera (layer 45), in its own colour at half alpha.
struct SceneObject;
void plight_debug_draw(void);
SceneObject *plight_debug_disc(uint32_t owner, const Vec3 *centre, float radius, uint32_t color);
