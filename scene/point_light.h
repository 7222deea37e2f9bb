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
