// The 3D sprite kind's draw: a run of sprites is culled against the view's frustum by bounding
// sphere, sorted far first in the node kinds' queue, and drawn as textured quads from the
// shared scratch vertices in as few indexed draws as changes of blend pair, depth compare,
// shader set and textures allow, up to 4096 quads each.
#include <cmath>

#include "math/mat4.h"
#include "math/vec.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"
#include "scene/sprite3d.h"

static_assert((int32_t)OBJ_POOL_SIZE <= (int32_t)NODE_QUEUE_SIZE,
              "a run of sprites always fits the node queue");
static_assert(sizeof(Sprite3DVertex) == 40, "3D sprite vertex is 40 bytes");
static_assert(GFX_QUAD_COUNT * 4 * sizeof(Sprite3DVertex) <= GFX_PRIM_SCRATCH_BYTES,
              "a full batch fits the scratch vertices");

namespace {

constexpr int32_t BLEND_ALPHA = 1;  // source alpha over the target
constexpr int32_t BLEND_FORCED = 7; // (one, inverse source alpha)
constexpr int32_t CMP_LESS = 1;     // compare indexes
constexpr int32_t CMP_LESSEQUAL = 3;
constexpr int32_t CMP_GREATER = 4;
constexpr int32_t FILTER_LINEAR = 1; // filter index
constexpr uint32_t CULL_NONE_CODE = 1;
constexpr uint32_t FILL_SOLID_CODE = 3;
constexpr uint32_t FILTER_LINEAR_CODE = 2;
constexpr float LIT_AXIS = 0.5773502588f; // 1 / sqrt(3)

struct DrawSetup {
    GfxDevice *device;
    Mat4 view_proj, camera;
    Vec3 eye, right, up;
    Vec3 light; // unit direction of the view's light
    const FrustumPlanes *planes;
    int32_t decl;
    int32_t pass_arg;
    bool mirror;
    bool forced_blend;
    bool view_fog;
};

// Extents of a billboard about its pivot: left, right, bottom, top.
void billboard_extents(const Sprite3DBillboard &b, float e[4]) {
    e[0] = b.width * b.pivot_x * b.scale_x;
    e[1] = (1.0f - b.pivot_x) * b.width * b.scale_x;
    e[2] = b.height * b.pivot_y * b.scale_y;
    e[3] = (1.0f - b.pivot_y) * b.height * b.scale_y;
}

// The position moved along the camera-to-sprite line by the depth offset.
Vec3 billboard_centre(const Sprite3DBillboard &b, const Vec3 &eye) {
    Vec3 p = b.position;
    if (std::fabs(b.depth_offset) > 1e-5f) {
        Vec3 dir;
        vec3_sub(&dir, &p, &eye);
        const float len = vec3_length(&dir);
        if (len > 0.0f) vec3_add_scaled(&p, &p, &dir, b.depth_offset / len);
    }
    return p;
}

// Bounding sphere and sort-key bias of a sprite.
void bounds(const Sprite3D *s, const DrawSetup &d, Vec3 *centre, float *radius, Vec3 *key_at,
            float *bias) {
    *bias = 0.0f;
    switch (s->head.sub_kind) {
        case SPRITE3D_BILLBOARD: {
            const Sprite3DBillboard &b = s->billboard;
            float e[4];
            billboard_extents(b, e);
            // The farthest corner from the pivot, whatever the pivot and the signs of the scale.
            const float x = std::fmax(std::fabs(e[0]), std::fabs(e[1]));
            const float y = std::fmax(std::fabs(e[2]), std::fabs(e[3]));
            *centre = billboard_centre(b, d.eye);
            *radius = std::sqrt(x * x + y * y);
            *key_at = b.position;
            *bias = b.depth_key;
            return;
        }
        case SPRITE3D_BEAM: {
            const Sprite3DBeam &b = s->beam;
            vec3_lerp(centre, &b.start, &b.end, 0.5f);
            *radius =
                sprite3d_distance(&b.start, &b.end) * 0.5f + std::fabs(b.width) + std::fabs(b.cap);
            *key_at = *centre;
            return;
        }
        default: {
            const Sprite3DQuad &q = s->quad;
            Vec3 c = {0, 0, 0};
            for (const Vec3 &p : q.corners) vec3_add(&c, &c, &p);
            vec3_scale(&c, &c, 0.25f);
            float r = 0.0f;
            for (const Vec3 &p : q.corners) r = std::fmax(r, sprite3d_distance(&c, &p));
            if (q.transform) {
                Mat4 m;
                sprite3d_quad_placement_matrix(&q, &m);
                mat4_transform_point(&c, &m, &c);
                const Vec3 &sc = q.place_scale;
                r *= std::fmax(std::fabs(sc.x), std::fmax(std::fabs(sc.y), std::fabs(sc.z)));
            }
            *centre = c;
            *radius = r;
            *key_at = c;
            return;
        }
    }
}

bool finite3(const Vec3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool outside(const FrustumPlanes *f, const Vec3 &c, float radius) {
    for (const Plane &p : f->planes)
        if (p.a * c.x + p.b * c.y + p.c * c.z + p.d < -radius) return true;
    return false;
}

void put_vertex(Sprite3DVertex *v, const Vec3 &p, uint32_t colour, const float *uv,
                const float *uv2, const Sprite3DHead &h) {
    v->x = p.x;
    v->y = p.y;
    v->z = p.z;
    v->colour = colour;
    v->u0 = uv[0];
    v->v0 = uv[1];
    v->u1 = uv2[0];
    v->v1 = uv2[1];
    v->value_a = h.value_a;
    v->value_b = h.value_b;
}

void turn(float *x, float *y, float c, float s) {
    const float tx = *x * c + *y * s, ty = *y * c - *x * s;
    *x = tx;
    *y = ty;
}

void write_billboard(Sprite3DVertex *v, const Sprite3D *s, const DrawSetup &d) {
    const Sprite3DBillboard &b = s->billboard;
    const Vec3 p = billboard_centre(b, d.eye);
    float e[4];
    billboard_extents(b, e);
    float xy[4][2] = {{-e[0], -e[2]}, {e[1], -e[2]}, {-e[0], e[3]}, {e[1], e[3]}};
    float n[4][2] = {
        {LIT_AXIS, LIT_AXIS}, {-LIT_AXIS, LIT_AXIS}, {LIT_AXIS, -LIT_AXIS}, {-LIT_AXIS, -LIT_AXIS}};
    const bool turned = std::fabs(b.rotation) > 1e-5f;
    const float c = std::cos(b.rotation), sn = std::sin(b.rotation);
    for (int k = 0; k < 4; ++k) {
        if (turned) turn(&xy[k][0], &xy[k][1], c, sn);
        if (b.rotation != 0.0f) turn(&n[k][0], &n[k][1], c, sn);
    }
    const float u[2] = {b.uv[0], b.uv[2]}, vv[2] = {b.uv[3], b.uv[1]};
    const float u2[2] = {b.uv2[0], b.uv2[2]}, vv2[2] = {b.uv2[3], b.uv2[1]};
    for (int k = 0; k < 4; ++k) {
        Vec3 pos = p;
        vec3_add_scaled(&pos, &pos, &d.right, xy[k][0]);
        vec3_add_scaled(&pos, &pos, &d.up, xy[k][1]);
        uint32_t colour = b.colour;
        if (b.lit) {
            const Vec3 local = {n[k][0], n[k][1], LIT_AXIS};
            Vec3 normal;
            mat4_rotate_vector(&normal, &d.camera, &local);
            const float t = std::fmax(0.25f, sprite3d_dot(&d.light, &normal));
            colour = colour_lerp(colour, colour & 0xFF000000u, t);
        }
        // Corners 0 and 1 are the bottom edge (v1), 2 and 3 the top edge (v0).
        const float uv[2] = {u[k & 1], vv[k >> 1]}, uv2[2] = {u2[k & 1], vv2[k >> 1]};
        put_vertex(&v[k], pos, colour, uv, uv2, s->head);
    }
}

void write_beam(Sprite3DVertex *v, const Sprite3D *s, const DrawSetup &d) {
    const Sprite3DBeam &b = s->beam;
    Vec3 corners[4];
    sprite3d_beam_corners(&b, &d.view_proj, &d.camera, corners);
    for (int k = 0; k < 4; ++k)
        put_vertex(&v[k], corners[k], (k & 1) ? b.end_colour : b.start_colour, b.uv[k], b.uv2[k],
                   s->head);
}

void write_quad(Sprite3DVertex *v, const Sprite3D *s) {
    const Sprite3DQuad &q = s->quad;
    Vec3 c[4] = {q.corners[0], q.corners[1], q.corners[2], q.corners[3]};
    if (q.transform) {
        Mat4 m;
        sprite3d_quad_placement_matrix(&q, &m);
        mat4_transform_points4(&c[0], &c[1], &c[2], &c[3], &m, &q.corners[0], &q.corners[1],
                               &q.corners[2], &q.corners[3]);
    }
    for (int k = 0; k < 4; ++k) put_vertex(&v[k], c[k], q.colours[k], q.uv[k], q.uv2[k], s->head);
}

void setup(DrawSetup *d) {
    d->device = gfx_get_device();
    d->mirror = scenedraw_get_camera_select() == 1;
    sprite3d_camera_matrices(&d->view_proj, &d->camera);
    d->right = {d->camera.m[0][0], d->camera.m[0][1], d->camera.m[0][2]};
    d->up = {d->camera.m[1][0], d->camera.m[1][1], d->camera.m[1][2]};
    d->eye = {d->camera.m[3][0], d->camera.m[3][1], d->camera.m[3][2]};
    d->decl = shader_find_vertex_decl(SPRITE3D_VERTEX_FORMAT);
    const int view = (int)view_get_current();
    // The planes of the camera the sprites are drawn with.
    d->planes = d->mirror ? view_get_mirror_planes(view) : view_get_cull_planes(view);
    vec3_normalize(&d->light, &view_get_light(view)->current.direction);
    d->pass_arg = view_get_node_pass_arg();
    d->forced_blend = view_get_node_state8() == 1;
    d->view_fog = view_get_fog_mode(view) != 0;
}

void set_states(const DrawSetup &d) {
    Mat4 identity;
    mat4_identity(&identity);
    gpu_set_transform(GPU_TS_WORLD, identity.m[0]);
    sprite3d_select_shader(0, nullptr, d.pass_arg, d.decl);

    const bool alpha_tested = view_get_node_state7() == 1;
    // The depth compare of each sprite needs the depth test on.
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, alpha_tested ? 1 : 0);
    gpu_set_render_state(GPU_RS_ALPHAREF, alpha_tested ? 0xFE : 0);
    gpu_set_render_state(GPU_RS_ALPHAFUNC, gfx_compare_func_code(CMP_GREATER));
    gpu_set_render_state(GPU_RS_ZWRITEENABLE, alpha_tested ? 1 : 0);
    gpu_set_render_state(GPU_RS_ZFUNC,
                         gfx_compare_func_code(alpha_tested ? CMP_LESS : CMP_LESSEQUAL));
    gpu_set_render_state(GPU_RS_CULLMODE, CULL_NONE_CODE);
    gpu_set_render_state(GPU_RS_FILLMODE, FILL_SOLID_CODE);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, GPU_BLEND_SRCALPHA);
    gpu_set_render_state(GPU_RS_DESTBLEND, GPU_BLEND_INVSRCALPHA);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    // States went to the device directly: the cache no longer knows them.
    gfx_reset_state_cache();

    quad_set_stage_ops(0, GPU_TOP_MODULATE, GPU_TA_TEXTURE, GPU_TA_DIFFUSE);
    gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, FILTER_LINEAR_CODE);
    gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, FILTER_LINEAR_CODE);
    quad_set_stage_ops(1, GPU_TOP_MODULATE, GPU_TA_CURRENT, GPU_TA_TEXTURE);
    tex_bind(d.device, 0, nullptr, FILTER_LINEAR);
}

void set_blend_pair(int32_t pair) {
    uint32_t src, dst;
    gfx_blend_factors(pair, &src, &dst);
    gpu_set_render_state(GPU_RS_SRCBLEND, src);
    gpu_set_render_state(GPU_RS_DESTBLEND, dst);
}

void draw_batch(int32_t quads) {
    if (quads <= 0) return;
    gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, (uint32_t)quads * 4, (uint32_t)quads * 2,
                                  gfx_quad_indices(), gfx_prim_vertices(), sizeof(Sprite3DVertex));
    ++sprite3d_kind_state()->batches;
}

// Culls the run into the borrowed queue with each survivor's key in its scratch word.
int32_t cull(SceneObject **run, int32_t count, const DrawSetup &d, SceneObject **list) {
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
        SceneObject *o = run[i];
        const Sprite3D *s = obj_payload<Sprite3D>(o);
        if (d.mirror && s->head.mirror == 0) continue;
        Vec3 centre, key_at;
        float radius, bias;
        bounds(s, d, &centre, &radius, &key_at, &bias);
        // A sprite that is not finite would pass every plane test and poison sort and vertices.
        if (!finite3(centre) || !std::isfinite(radius) || outside(d.planes, centre, radius))
            continue;
        const float key = sprite3d_distance_sq(&d.eye, &key_at) + bias;
        if (!std::isfinite(key)) continue;
        node_set_scratch_distance(o, key);
        list[n++] = o;
    }
    return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Helpers

float sprite3d_distance(const Vec3 *a, const Vec3 *b) {
    const float d2 = sprite3d_distance_sq(a, b);
    return d2 < 1e-10f ? 0.0f : std::sqrt(d2);
}

float sprite3d_distance_sq(const Vec3 *a, const Vec3 *b) {
    return vec3_distance_sq(a, b);
}

float sprite3d_dot(const Vec3 *a, const Vec3 *b) {
    return vec3_dot(a, b);
}

uint32_t colour_alpha(uint32_t c) {
    return gfx_argb_alpha(c);
}
uint32_t colour_red(uint32_t c) {
    return gfx_argb_red(c);
}
uint32_t colour_green(uint32_t c) {
    return gfx_argb_green(c);
}
uint32_t colour_blue(uint32_t c) {
    return gfx_argb_blue(c);
}
float colour_alpha_f(uint32_t c) {
    return (float)colour_alpha(c) / 255.0f;
}
float colour_red_f(uint32_t c) {
    return (float)colour_red(c) / 255.0f;
}
float colour_green_f(uint32_t c) {
    return (float)colour_green(c) / 255.0f;
}
float colour_blue_f(uint32_t c) {
    return (float)colour_blue(c) / 255.0f;
}

float lerpf(float a, float b, float t) {
    return a + (b - a) * t;
}

uint32_t colour_pack_bytes(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return (alpha & 0xFFu) << 24 | (red & 0xFFu) << 16 | (green & 0xFFu) << 8 | (blue & 0xFFu);
}

uint32_t colour_pack_floats(float red, float green, float blue, float alpha) {
    auto byte = [](float v) {
        v = !(v > 0.0f) ? 0.0f : v > 1.0f ? 1.0f : v;
        return (uint32_t)(v * 255.0f);
    };
    return colour_pack_bytes(byte(red), byte(green), byte(blue), byte(alpha));
}

uint32_t colour_lerp(uint32_t a, uint32_t b, float t) {
    t = !(t > 0.0f) ? 0.0f : t > 1.0f ? 1.0f : t;
    return colour_pack_floats(lerpf(colour_red_f(a), colour_red_f(b), t),
                              lerpf(colour_green_f(a), colour_green_f(b), t),
                              lerpf(colour_blue_f(a), colour_blue_f(b), t),
                              lerpf(colour_alpha_f(a), colour_alpha_f(b), t));
}

uint32_t colour_shift_rgb(uint32_t c, uint32_t n) {
    n %= 32;
    return colour_pack_bytes(colour_red(c) >> n, colour_green(c) >> n, colour_blue(c) >> n,
                             colour_alpha(c));
}

void sprite3d_select_shader(int32_t set, const void *params, int32_t pass_arg, int32_t decl) {
    shader_select(set, params, pass_arg, decl, nullptr, nullptr, nullptr, nullptr, 1.0f, nullptr,
                  0);
}

void sprite3d_unbind_stages(GfxDevice *device) {
    for (uint32_t stage = 0; stage < GFX_SAMPLER_STAGES; ++stage)
        tex_bind(device, stage, nullptr, FILTER_LINEAR);
}

void sprite3d_sort_far_first(SceneObject **list, int32_t count) {
    node_sort_by_distance(list, count);
}

// ---------------------------------------------------------------------------------------------
// Draw

void sprite3d_draw(SceneObject **run, int32_t count) {
    DrawSetup d;
    setup(&d);
    set_states(d);

    SceneObject **list = node_queue_array();
    const int32_t n = cull(run, count < NODE_QUEUE_SIZE ? count : NODE_QUEUE_SIZE, d, list);
    sprite3d_sort_far_first(list, n);

    Sprite3DKindState *stats = sprite3d_kind_state();
    Sprite3DVertex *vertices = reinterpret_cast<Sprite3DVertex *>(gfx_prim_vertices());
    int32_t blend = -1, depth = -1, quads = 0;
    uint32_t shader = 0;
    int64_t texture = -1, texture2 = -1;
    for (int32_t i = 0; i < n; ++i) {
        const Sprite3D *s = obj_payload<Sprite3D>(list[i]);
        const Sprite3DHead &h = s->head;
        const int32_t b = d.forced_blend ? BLEND_FORCED : h.blend;
        if (b != blend || h.depth_func != depth || h.shader_set != shader ||
            (int64_t)h.texture != texture || (int64_t)h.texture2 != texture2 ||
            quads >= GFX_QUAD_COUNT) {
            draw_batch(quads);
            quads = 0;
            if (b != blend) {
                set_blend_pair(b);
                // Only the plain pairs are fogged: additive light must not turn fog coloured.
                gpu_set_render_state(GPU_RS_FOGENABLE, b < 2 && d.view_fog ? 1 : 0);
                blend = b;
            }
            if (h.depth_func != depth) {
                gpu_set_render_state(GPU_RS_ZFUNC, gfx_compare_func_code(h.depth_func));
                depth = h.depth_func;
            }
            sprite3d_select_shader(h.shader_set != shader ? (int32_t)h.shader_set : -1,
                                   h.shader_params, d.pass_arg, d.decl);
            shader = h.shader_set;
            if ((int64_t)h.texture != texture) {
                tex_bind(d.device, 0, res_get_texture(h.texture), FILTER_LINEAR);
                texture = h.texture;
            }
            if ((int64_t)h.texture2 != texture2) {
                tex_bind(d.device, 1, res_get_texture(h.texture2), FILTER_LINEAR);
                texture2 = h.texture2;
            }
        }
        Sprite3DVertex *v = &vertices[quads * 4];
        switch (h.sub_kind) {
            case SPRITE3D_BILLBOARD:
                write_billboard(v, s, d);
                break;
            case SPRITE3D_BEAM:
                write_beam(v, s, d);
                break;
            default:
                write_quad(v, s);
                break;
        }
        ++quads;
        ++stats->sprites;
    }
    draw_batch(quads);

    sprite3d_select_shader(0, nullptr, d.pass_arg, d.decl);
    if (blend != BLEND_ALPHA) set_blend_pair(BLEND_ALPHA);
    sprite3d_unbind_stages(d.device);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
}
