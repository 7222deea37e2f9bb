// Line2D and Triangle2D: untextured, vertex-coloured lines and triangles in screen pixels.
// Each object is one line or one triangle; the draw batches a run into list primitives.
#pragma once
#include <cstdint>

#include "scene/object_manager.h"

enum : uint32_t { PRIM2D_BLEND_MASK = 31 }; // state word bits 0-4: BlendPairTable index

struct Line2D {
    float p0[3], p1[3]; // z is always 0
    uint32_t color0, color1;
    uint32_t state;
};
static_assert(sizeof(Line2D) == 36, "line payload is 36 bytes");

struct Triangle2D {
    float p[3][3]; // z is always 0
    uint32_t color[3];
    uint32_t state;
};
static_assert(sizeof(Triangle2D) == 52, "triangle payload is 52 bytes");

void line2d_register_kind(void);
void tri2d_register_kind(void);
int32_t line2d_kind_id(void);
int32_t tri2d_kind_id(void);
void line2d_shutdown(void);
void tri2d_shutdown(void);

void line2d_kind_init(SceneObject *object);
void line2d_kind_draw(SceneObject **run, int32_t count);
uint32_t line2d_kind_key(SceneObject *object);
void tri2d_kind_init(SceneObject *object);
void tri2d_kind_draw(SceneObject **run, int32_t count);
uint32_t tri2d_kind_key(SceneObject *object);

void line2d_set_points(SceneObject *object, float x0, float y0, float x1, float y1);
void line2d_set_colors(SceneObject *object, uint32_t color0, uint32_t color1);
void line2d_set_blend(SceneObject *object, uint32_t mode);
void line2d_show(SceneObject *object);
void tri2d_set_points(SceneObject *object, float x0, float y0, float x1, float y1, float x2,
                      float y2);
void tri2d_set_colors(SceneObject *object, uint32_t color0, uint32_t color1, uint32_t color2);
void tri2d_set_blend(SceneObject *object, uint32_t mode);

// Shader bind of the untextured kinds (screen and world primitives): the given declaration
// index, no matrix, material or lights.
void flat_shader_bind(int32_t set, const void *params, int32_t decl);

// One-frame primitives; null when the pool is empty.
SceneObject *line2d_put(OwnerId owner, float x0, float y0, uint32_t color0, float x1, float y1,
                        uint32_t color1, int32_t layer);
SceneObject *tri2d_put(OwnerId owner, float x0, float y0, uint32_t color0, float x1, float y1,
                       uint32_t color1, float x2, float y2, uint32_t color2, int32_t layer);
