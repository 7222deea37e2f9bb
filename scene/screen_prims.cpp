#include "scene/screen_prims.h"

#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_texture.h"
#include "render/shader.h"

namespace {

int32_t s_line_kind, s_tri_kind;

constexpr int32_t MAX_BATCH = 4096; // primitives per draw call

Line2D s_line_scratch;
Triangle2D s_tri_scratch;
// Setters take a null object (a creator that found the pool empty) quietly.
Line2D *line_of(SceneObject *o) {
    if (o) return obj_payload<Line2D>(o);
    s_line_scratch = Line2D{};
    return &s_line_scratch;
}
Triangle2D *tri_of(SceneObject *o) {
    if (o) return obj_payload<Triangle2D>(o);
    s_tri_scratch = Triangle2D{};
    return &s_tri_scratch;
}

// Device set-up shared by both kinds: identity world, the 0x244 layout through shader set 0,
// blending, no depth, no culling, no texture, no lighting. Stage 0 modulates the vertex colour
// by the default white texture, so a vertex's alpha reaches the blend whatever an earlier kind
// left there (the device's initial alpha takes the texture's alone).
void begin_flat_draw(bool fog_off) {
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    gpu_set_transform(GPU_TS_WORLD, identity);
    flat_shader_bind(0, nullptr, shader_find_vertex_decl(GFX_SCREEN_VERTEX_FVF));
    quad_set_screen_states();
    tex_bind(gfx_get_device(), 0, nullptr, 1);
    quad_set_stage_ops(0, GPU_TOP_MODULATE, GPU_TA_TEXTURE, GPU_TA_DIFFUSE);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    if (fog_off) gpu_set_render_state(GPU_RS_FOGENABLE, 0);
}

void put_vertex(ScreenVertex *v, const float p[3], uint32_t color) {
    v->x = p[0];
    v->y = p[1];
    v->diffuse = color;
}

// Batches a run: `vertices_per` vertices per primitive, flushed at a blend change or when full.
template <typename Payload, typename Append>
void draw_batched(SceneObject **run, int32_t count, uint32_t primitive, int32_t vertices_per,
                  Append append) {
    ScreenVertex *area = gfx_text_vertices();
    uint32_t blend = 1;
    int32_t prims = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Payload *p = obj_payload<Payload>(run[i]);
        const uint32_t mode = p->state & PRIM2D_BLEND_MASK;
        if (mode != blend || prims >= MAX_BATCH) {
            if (prims > 0)
                gpu_draw_primitive_up(primitive, (uint32_t)prims, area, sizeof(ScreenVertex));
            if (mode != blend) {
                quad_set_blend((int32_t)mode);
                blend = mode;
            }
            prims = 0;
        }
        append(&area[prims * vertices_per], p);
        ++prims;
    }
    if (prims > 0) gpu_draw_primitive_up(primitive, (uint32_t)prims, area, sizeof(ScreenVertex));
}

} // namespace

void flat_shader_bind(int32_t set, const void *params, int32_t decl) {
    shader_select(set, params, 0, decl, nullptr, nullptr, nullptr, nullptr, 1.0f, nullptr, 0);
}

void line2d_register_kind(void) {
    s_line_kind = obj_register_kind(line2d_kind_draw, line2d_kind_init, nullptr, line2d_kind_key,
                                    (int32_t)sizeof(Line2D));
}
void tri2d_register_kind(void) {
    s_tri_kind = obj_register_kind(tri2d_kind_draw, tri2d_kind_init, nullptr, tri2d_kind_key,
                                   (int32_t)sizeof(Triangle2D));
}
int32_t line2d_kind_id(void) {
    return s_line_kind;
}
int32_t tri2d_kind_id(void) {
    return s_tri_kind;
}
void line2d_shutdown(void) {}
void tri2d_shutdown(void) {}
uint32_t line2d_kind_key(SceneObject *) {
    return 0;
}
uint32_t tri2d_kind_key(SceneObject *) {
    return 0;
}

void line2d_kind_init(SceneObject *o) {
    Line2D *l = obj_payload<Line2D>(o);
    l->color0 = l->color1 = 0xFFFFFFFFu;
    l->state = (l->state & ~PRIM2D_BLEND_MASK) | 1;
    obj_set_layer(o, 20);
}

void tri2d_kind_init(SceneObject *o) {
    Triangle2D *t = obj_payload<Triangle2D>(o);
    memset(t->p, 0, sizeof(t->p));
    t->color[0] = t->color[1] = t->color[2] = 0xFFFFFFFFu;
    t->state = (t->state & ~PRIM2D_BLEND_MASK) | 1;
    obj_set_layer(o, 20);
}

void line2d_kind_draw(SceneObject **run, int32_t count) {
    begin_flat_draw(true);
    draw_batched<Line2D>(run, count, GPU_PT_LINELIST, 2, [](ScreenVertex *v, const Line2D *l) {
        put_vertex(&v[0], l->p0, l->color0);
        put_vertex(&v[1], l->p1, l->color1);
    });
}

void tri2d_kind_draw(SceneObject **run, int32_t count) {
    begin_flat_draw(false);
    draw_batched<Triangle2D>(run, count, GPU_PT_TRIANGLELIST, 3,
                             [](ScreenVertex *v, const Triangle2D *t) {
                                 for (int k = 0; k < 3; ++k)
                                     put_vertex(&v[k], t->p[k], t->color[k]);
                             });
}

void line2d_set_points(SceneObject *o, float x0, float y0, float x1, float y1) {
    Line2D *l = line_of(o);
    l->p0[0] = x0, l->p0[1] = y0, l->p0[2] = 0.0f;
    l->p1[0] = x1, l->p1[1] = y1, l->p1[2] = 0.0f;
}
void line2d_set_colors(SceneObject *o, uint32_t color0, uint32_t color1) {
    line_of(o)->color0 = color0;
    line_of(o)->color1 = color1;
}
void line2d_set_blend(SceneObject *o, uint32_t mode) {
    Line2D *l = line_of(o);
    l->state = (l->state & ~PRIM2D_BLEND_MASK) | (mode & PRIM2D_BLEND_MASK);
}
void line2d_show(SceneObject *o) {
    if (o) o->flags |= OBJ_FLAG_VISIBLE;
}

void tri2d_set_points(SceneObject *o, float x0, float y0, float x1, float y1, float x2, float y2) {
    Triangle2D *t = tri_of(o);
    const float p[3][3] = {{x0, y0, 0.0f}, {x1, y1, 0.0f}, {x2, y2, 0.0f}};
    memcpy(t->p, p, sizeof(p));
}
void tri2d_set_colors(SceneObject *o, uint32_t color0, uint32_t color1, uint32_t color2) {
    Triangle2D *t = tri_of(o);
    t->color[0] = color0, t->color[1] = color1, t->color[2] = color2;
}
void tri2d_set_blend(SceneObject *o, uint32_t mode) {
    Triangle2D *t = tri_of(o);
    t->state = (t->state & ~PRIM2D_BLEND_MASK) | (mode & PRIM2D_BLEND_MASK);
}

SceneObject *line2d_put(OwnerId owner, float x0, float y0, uint32_t color0, float x1, float y1,
                        uint32_t color1, int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_line_kind);
    line2d_set_points(o, x0, y0, x1, y1);
    line2d_set_colors(o, color0, color1);
    line2d_show(o);
    obj_kill(o);
    obj_set_layer(o, layer);
    return o;
}

SceneObject *tri2d_put(OwnerId owner, float x0, float y0, uint32_t color0, float x1, float y1,
                       uint32_t color1, float x2, float y2, uint32_t color2, int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_tri_kind);
    tri2d_set_points(o, x0, y0, x1, y1, x2, y2);
    tri2d_set_colors(o, color0, color1, color2);
    o->flags |= OBJ_FLAG_VISIBLE;
    obj_kill(o);
    obj_set_layer(o, layer);
    return o;
}
