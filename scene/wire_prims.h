// WireLine and WireTriangle: untextured, vertex-coloured lines and triangles in world space,
// drawn through the current view's camera. Each object is one line or one triangle; a run is
// batched into list primitives. Triangles sort far first within their layer, so blended ones
// are drawn back to front.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "scene/object_manager.h"

// State word: bits 0-4 blend pair, bit 5 depth write, bits 6-8 depth compare index.
enum : uint32_t {
    WIRE_BLEND_MASK = 31,
    WIRE_ZWRITE_SHIFT = 5,
    WIRE_ZFUNC_SHIFT = 6,
    WIRE_ZFUNC_MASK = 7,
    WIRE_LINE_DEFAULT_STATE = 1 | 1 << 5 | 7 << 6,     // blend 1, depth write, ALWAYS
    WIRE_TRIANGLE_DEFAULT_STATE = 1 | 1 << 5 | 1 << 6, // blend 1, depth write, LESS
};
constexpr int32_t WIRE_DEFAULT_LAYER = 48;
constexpr int32_t WIRE_MAX_BATCH = 4096; // primitives per draw call

struct WireLine {
    Vec3 p0, p1;
    uint32_t color0, color1;
    uint32_t state;
};
constexpr int32_t WIRE_LINE_PAYLOAD = 40; // the size registered for the kind
static_assert(sizeof(WireLine) <= WIRE_LINE_PAYLOAD, "line payload fits its registered size");

struct WireTriangle {
    Vec3 p[3];
    uint32_t color[3];
    uint32_t state;
};
constexpr int32_t WIRE_TRIANGLE_PAYLOAD = 56;
static_assert(sizeof(WireTriangle) <= WIRE_TRIANGLE_PAYLOAD, "triangle payload fits");

// Vertex of format 0x342 (position, diffuse, three UV pairs); only position and colour are used.
struct WireVertex {
    float x, y, z;
    uint32_t diffuse;
    float uv[6];
};
static_assert(sizeof(WireVertex) == 40, "wire vertex is 40 bytes");
constexpr uint32_t WIRE_VERTEX_FVF = 0x342;

void wire_register_line_kind(void);
void wire_register_triangle_kind(void);
int32_t wire_line_kind_id(void);
int32_t wire_triangle_kind_id(void);
void wire_line_shutdown(void);
void wire_triangle_shutdown(void);

void wire_line_kind_init(SceneObject *object);
void wire_triangle_kind_init(SceneObject *object);
void wire_line_kind_draw(SceneObject **run, int32_t count);
void wire_triangle_kind_draw(SceneObject **run, int32_t count);
uint32_t wire_line_kind_key(SceneObject *object);
// Distance of the centroid from the current camera as a fraction of the far distance, 0-65535;
// 65535 where it cannot be measured (a NaN corner or a far distance <= 0).
uint32_t wire_triangle_kind_key(SceneObject *object);

// Setters take a null object or null points quietly and write nothing.
void wire_line_set_points(SceneObject *object, const Vec3 *p0, const Vec3 *p1);
void wire_line_set_colors(SceneObject *object, uint32_t color0, uint32_t color1);
void wire_set_blend(SceneObject *object, uint32_t mode);
void wire_set_depth_write(SceneObject *object, uint32_t on);
void wire_set_depth_func(SceneObject *object, uint32_t index);
void wire_triangle_set_points(SceneObject *object, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2);
void wire_triangle_set_colors(SceneObject *object, uint32_t color0, uint32_t color1,
                              uint32_t color2);
void wire_triangle_set_blend(SceneObject *object, uint32_t mode);
void wire_triangle_set_depth_write(SceneObject *object, uint32_t on);
void wire_triangle_set_depth_func(SceneObject *object, uint32_t index);
void wire_show(SceneObject *object);

// One-frame line or triangle on layer 48; null when the pool is empty or a point is missing.
SceneObject *wire_put_line(OwnerId owner, const Vec3 *p0, uint32_t color0, const Vec3 *p1,
                           uint32_t color1);
SceneObject *wire_put_triangle(OwnerId owner, const Vec3 *p0, uint32_t color0, const Vec3 *p1,
                               uint32_t color1, const Vec3 *p2, uint32_t color2);
