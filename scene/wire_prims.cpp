#include "scene/wire_prims.h"

#include <cmath>
#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "scene/screen_prims.h"

namespace {

int32_t s_line_kind, s_tri_kind;

constexpr int32_t ZFUNC_ALWAYS = 7, ZFUNC_LESS = 1;
constexpr uint32_t CULL_NONE_CODE = 1, FILL_SOLID_CODE = 3;

WireLine *line_of(SceneObject *o) {
    return o && s_line_kind && o->kind == s_line_kind ? obj_payload<WireLine>(o) : nullptr;
}
WireTriangle *tri_of(SceneObject *o) {
    return o && s_tri_kind && o->kind == s_tri_kind ? obj_payload<WireTriangle>(o) : nullptr;
}

void set_state_bits(uint32_t *state, uint32_t shift, uint32_t mask, uint32_t value) {
    *state = (*state & ~(mask << shift)) | (value & mask) << shift;
}

// Device set-up shared by both kinds: identity world, the 0x342 layout through shader set 0,
// blending, depth writes, no culling, no fog, no texture, no lighting. Stage 0 modulates the
// vertex colour by the default white texture, so a vertex's alpha reaches the blend whatever
// an earlier kind left there (the device's initial alpha takes the texture's alone).
void begin_wire_draw(int32_t zfunc) {
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    gpu_set_transform(GPU_TS_WORLD, identity);
    flat_shader_bind(0, nullptr, shader_find_vertex_decl(WIRE_VERTEX_FVF));
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, GPU_BLEND_SRCALPHA);
    gpu_set_render_state(GPU_RS_DESTBLEND, GPU_BLEND_INVSRCALPHA);
    gpu_set_render_state(GPU_RS_ZWRITEENABLE, 1);
    gpu_set_render_state(GPU_RS_ZFUNC, gfx_compare_func_code(zfunc));
    gpu_set_render_state(GPU_RS_CULLMODE, CULL_NONE_CODE);
    gpu_set_render_state(GPU_RS_FILLMODE, FILL_SOLID_CODE);
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    tex_bind(gfx_get_device(), 0, nullptr, 1);
    quad_set_stage_ops(0, GPU_TOP_MODULATE, GPU_TA_TEXTURE, GPU_TA_DIFFUSE);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
}

void put_vertex(WireVertex *v, const Vec3 *p, uint32_t color) {
    v->x = p->x;
    v->y = p->y;
    v->z = p->z;
    v->diffuse = color;
}

// Batches a run: a batch is flushed when the blend, depth-write or compare field changes, or
// when it holds WIRE_MAX_BATCH primitives. The compare index starts unknown, so every run sets
// the compare function of its first object.
template <typename Payload, typename Append>
void draw_batched(SceneObject **run, int32_t count, uint32_t primitive, int32_t vertices_per,
                  Append append) {
    WireVertex *area = reinterpret_cast<WireVertex *>(gfx_prim_vertices());
    static_assert(WIRE_MAX_BATCH * 3 * sizeof(WireVertex) <= GFX_PRIM_SCRATCH_BYTES,
                  "a full batch fits the scratch area");
    uint32_t blend = 1, zwrite = 1;
    int32_t zfunc = -1, prims = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Payload *p = obj_payload<Payload>(run[i]);
        const uint32_t mode = p->state & WIRE_BLEND_MASK;
        const uint32_t write = (p->state >> WIRE_ZWRITE_SHIFT) & 1;
        const int32_t func = (int32_t)((p->state >> WIRE_ZFUNC_SHIFT) & WIRE_ZFUNC_MASK);
        if (mode != blend || write != zwrite || func != zfunc || prims >= WIRE_MAX_BATCH) {
            if (prims > 0)
                gpu_draw_primitive_up(primitive, (uint32_t)prims, area, sizeof(WireVertex));
            if (mode != blend) {
                uint32_t src = 0, dst = 0;
                gfx_blend_factors((int32_t)mode, &src, &dst);
                gpu_set_render_state(GPU_RS_SRCBLEND, src);
                gpu_set_render_state(GPU_RS_DESTBLEND, dst);
                blend = mode;
            }
            if (write != zwrite) {
                gpu_set_render_state(GPU_RS_ZWRITEENABLE, write);
                zwrite = write;
            }
            if (func != zfunc) {
                gpu_set_render_state(GPU_RS_ZFUNC, gfx_compare_func_code(func));
                zfunc = func;
            }
            prims = 0;
        }
        append(&area[prims * vertices_per], p);
        ++prims;
    }
    if (prims > 0) gpu_draw_primitive_up(primitive, (uint32_t)prims, area, sizeof(WireVertex));
}

} // namespace

void wire_register_line_kind(void) {
    s_line_kind = obj_register_kind(wire_line_kind_draw, wire_line_kind_init, nullptr,
                                    wire_line_kind_key, WIRE_LINE_PAYLOAD);
}
void wire_register_triangle_kind(void) {
    s_tri_kind = obj_register_kind(wire_triangle_kind_draw, wire_triangle_kind_init, nullptr,
                                   wire_triangle_kind_key, WIRE_TRIANGLE_PAYLOAD);
}
int32_t wire_line_kind_id(void) {
    return s_line_kind;
}
int32_t wire_triangle_kind_id(void) {
    return s_tri_kind;
}
void wire_line_shutdown(void) {}
void wire_triangle_shutdown(void) {}

void wire_line_kind_init(SceneObject *o) {
    WireLine *l = obj_payload<WireLine>(o);
    l->color0 = l->color1 = 0xFFFFFFFFu;
    l->state = WIRE_LINE_DEFAULT_STATE;
    obj_set_layer(o, WIRE_DEFAULT_LAYER);
}

void wire_triangle_kind_init(SceneObject *o) {
    WireTriangle *t = obj_payload<WireTriangle>(o);
    memset(t->p, 0, sizeof(t->p));
    t->color[0] = t->color[1] = t->color[2] = 0xFFFFFFFFu;
    t->state = WIRE_TRIANGLE_DEFAULT_STATE;
    obj_set_layer(o, WIRE_DEFAULT_LAYER);
}

uint32_t wire_line_kind_key(SceneObject *) {
    return 0;
}

uint32_t wire_triangle_kind_key(SceneObject *o) {
    const WireTriangle *t = obj_payload<WireTriangle>(o);
    constexpr float THIRD = 0.3334f; // as the sort has always used it, not 1/3
    const Vec3 c = {(t->p[0].x + t->p[1].x + t->p[2].x) * THIRD,
                    (t->p[0].y + t->p[1].y + t->p[2].y) * THIRD,
                    (t->p[0].z + t->p[1].z + t->p[2].z) * THIRD};
    const Mat4 *camera = view_get_cur_camera_matrix();
    const float dx = c.x - camera->m[3][0], dy = c.y - camera->m[3][1], dz = c.z - camera->m[3][2];
    const float far = view_get_far((int)view_get_current());
    const float t01 = sqrtf(dx * dx + dy * dy + dz * dz) / far;
    // NaN (a NaN corner, or 0/0) and a far distance <= 0 give no measurable distance: farthest.
    if (!(far > 0.0f) || !(t01 == t01)) return 0xFFFFu;
    const float clamped = t01 < 0.0f ? 0.0f : t01 > 1.0f ? 1.0f : t01;
    return (uint32_t)lrintf(clamped * 65535.0f) & 0xFFFFu;
}

void wire_line_kind_draw(SceneObject **run, int32_t count) {
    begin_wire_draw(ZFUNC_ALWAYS);
    draw_batched<WireLine>(run, count, GPU_PT_LINELIST, 2, [](WireVertex *v, const WireLine *l) {
        put_vertex(&v[0], &l->p0, l->color0);
        put_vertex(&v[1], &l->p1, l->color1);
    });
}

void wire_triangle_kind_draw(SceneObject **run, int32_t count) {
    begin_wire_draw(ZFUNC_LESS);
    draw_batched<WireTriangle>(run, count, GPU_PT_TRIANGLELIST, 3,
                               [](WireVertex *v, const WireTriangle *t) {
                                   for (int k = 0; k < 3; ++k)
                                       put_vertex(&v[k], &t->p[k], t->color[k]);
                               });
}

void wire_line_set_points(SceneObject *o, const Vec3 *p0, const Vec3 *p1) {
    WireLine *l = line_of(o);
    if (!l || !p0 || !p1) return;
    l->p0 = *p0;
    l->p1 = *p1;
}
void wire_line_set_colors(SceneObject *o, uint32_t color0, uint32_t color1) {
    if (WireLine *l = line_of(o)) l->color0 = color0, l->color1 = color1;
}
void wire_set_blend(SceneObject *o, uint32_t mode) {
    if (WireLine *l = line_of(o)) set_state_bits(&l->state, 0, WIRE_BLEND_MASK, mode);
}
void wire_set_depth_write(SceneObject *o, uint32_t on) {
    if (WireLine *l = line_of(o)) set_state_bits(&l->state, WIRE_ZWRITE_SHIFT, 1, on);
}
void wire_set_depth_func(SceneObject *o, uint32_t index) {
    if (WireLine *l = line_of(o))
        set_state_bits(&l->state, WIRE_ZFUNC_SHIFT, WIRE_ZFUNC_MASK, index);
}

void wire_triangle_set_points(SceneObject *o, const Vec3 *p0, const Vec3 *p1, const Vec3 *p2) {
    WireTriangle *t = tri_of(o);
    if (!t || !p0 || !p1 || !p2) return;
    t->p[0] = *p0;
    t->p[1] = *p1;
    t->p[2] = *p2;
}
void wire_triangle_set_colors(SceneObject *o, uint32_t color0, uint32_t color1, uint32_t color2) {
    if (WireTriangle *t = tri_of(o))
        t->color[0] = color0, t->color[1] = color1, t->color[2] = color2;
}
void wire_triangle_set_blend(SceneObject *o, uint32_t mode) {
    if (WireTriangle *t = tri_of(o)) set_state_bits(&t->state, 0, WIRE_BLEND_MASK, mode);
}
void wire_triangle_set_depth_write(SceneObject *o, uint32_t on) {
    if (WireTriangle *t = tri_of(o)) set_state_bits(&t->state, WIRE_ZWRITE_SHIFT, 1, on);
}
void wire_triangle_set_depth_func(SceneObject *o, uint32_t index) {
    if (WireTriangle *t = tri_of(o))
        set_state_bits(&t->state, WIRE_ZFUNC_SHIFT, WIRE_ZFUNC_MASK, index);
}
void wire_show(SceneObject *o) {
    if (o) o->flags |= OBJ_FLAG_VISIBLE;
}

SceneObject *wire_put_line(OwnerId owner, const Vec3 *p0, uint32_t color0, const Vec3 *p1,
                           uint32_t color1) {
    if (!p0 || !p1) return nullptr;
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_line_kind);
    wire_line_set_points(o, p0, p1);
    wire_line_set_colors(o, color0, color1);
    wire_show(o);
    obj_kill(o);
    return o;
}

SceneObject *wire_put_triangle(OwnerId owner, const Vec3 *p0, uint32_t color0, const Vec3 *p1,
                               uint32_t color1, const Vec3 *p2, uint32_t color2) {
    if (!p0 || !p1 || !p2) return nullptr;
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_tri_kind);
    wire_triangle_set_points(o, p0, p1, p2);
    wire_triangle_set_colors(o, color0, color1, color2);
    wire_show(o);
    obj_kill(o);
    return o;
}
