#include "scene/node_settings.h"

#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "scene/anim_node.h"
#include "scene/model_node.h"
#include "scene/piece_node.h"
#include "scene/prim_node.h"

namespace {

SceneDrawSettings s_settings;

constexpr uint32_t SHADE_GOURAUD = 2, FOG_TABLE_LINEAR = 3, FOG_NONE = 0;
constexpr uint32_t LIGHT_DIRECTIONAL = 3;

GpuColorValue color_value(uint32_t argb) {
    return {(float)((argb >> 16) & 0xFF) / 255.0f, (float)((argb >> 8) & 0xFF) / 255.0f,
            (float)(argb & 0xFF) / 255.0f, (float)(argb >> 24) / 255.0f};
}
GpuColorValue color_value(const Vec4 &c) {
    return {c.x, c.y, c.z, c.w};
}

uint32_t float_bits(float f) {
    uint32_t u;
    memcpy(&u, &f, sizeof(u));
    return u;
}

void reset_overrides(void) {
    s_settings.cull_override = s_settings.fog_override = -1;
    s_settings.alpha_ref_over = s_settings.sprite_blend = s_settings.single_texture = -1;
    s_settings.aux_pass = s_settings.mirror_pass = -1;
}

} // namespace

bool node_material_is_default(const NodeMaterial *m) {
    return m->ambient == NODE_MATERIAL_DEFAULTS.ambient &&
           m->diffuse == NODE_MATERIAL_DEFAULTS.diffuse &&
           m->emissive == NODE_MATERIAL_DEFAULTS.emissive &&
           m->specular == NODE_MATERIAL_DEFAULTS.specular &&
           m->power == NODE_MATERIAL_DEFAULTS.power && m->factor == NODE_MATERIAL_DEFAULTS.factor;
}

uint16_t node_material_set_all(NodeMaterial *m, uint32_t ambient, uint32_t diffuse,
                               uint32_t emissive, uint32_t specular, float power, float factor) {
    *m = {ambient, diffuse, emissive, specular, power, factor};
    return node_material_is_default(m) ? 1 : 0;
}
uint16_t node_material_set_ambient(NodeMaterial *m, uint32_t argb) {
    m->ambient = argb;
    return node_material_is_default(m) ? 1 : 0;
}
uint16_t node_material_set_diffuse(NodeMaterial *m, uint32_t argb) {
    m->diffuse = argb;
    return node_material_is_default(m) ? 1 : 0;
}
uint16_t node_material_set_emissive(NodeMaterial *m, uint32_t argb) {
    m->emissive = argb;
    return node_material_is_default(m) ? 1 : 0;
}
uint16_t node_material_set_specular(NodeMaterial *m, uint32_t argb, float power) {
    m->specular = argb;
    m->power = power;
    return node_material_is_default(m) ? 1 : 0;
}
uint16_t node_material_set_factor(NodeMaterial *m, float factor) {
    m->factor = factor;
    return node_material_is_default(m) ? 1 : 0;
}

void node_init_draw_flags(uint32_t *flags) {
    *flags = DRAW_FLAGS_DEFAULT;
}

uint32_t node_sort_key(uint32_t f, uint16_t shader_id) {
    return drawflags_get(f, DF_LIGHTING) | drawflags_get(f, DF_FOG) << 1 |
           drawflags_get(f, DF_BLEND_PAIR) << 2 | drawflags_get(f, DF_CULL) << 7 |
           drawflags_get(f, DF_ALPHA_REF) << 10 | drawflags_get(f, DF_ZWRITE) << 13 |
           drawflags_get(f, DF_ZFUNC) << 14 | drawflags_get(f, DF_NEARBY_LIGHTS) << 17 |
           (uint32_t)(int32_t)(int16_t)shader_id << 18;
}

uint32_t piece_sort_key(uint32_t f, int32_t node_index) {
    return ((f >> 2) & 1) | ((f >> 5) & 1) << 1 | ((f >> 8) & 31) << 2 | ((f >> 13) & 7) << 7 |
           ((f >> 16) & 7) << 10 | ((f >> 4) & 1) << 13 | ((f >> 19) & 7) << 14 |
           ((f >> 3) & 1) << 17 | ((uint32_t)node_index & 0x3FFF) << 18;
}

SceneDrawSettings *scenedraw_settings(void) {
    return &s_settings;
}

// The module's lifecycle hooks: reset and clear rebuild the attachment pool of the
// animated nodes; the shutdown and per-frame hooks have nothing to do.
void scenedraw_shutdown(void) {}
void scenedraw_frame_update(void) {}
void scenedraw_scene_reset(void) {
    attach_pool_reset();
}
void scenedraw_scene_clear(void) {
    attach_pool_reset();
}

void scenedraw_reset_counters(void) {
    s_settings.draw_calls = s_settings.batches = s_settings.primitives = 0;
}

SceneDrawSettings *scenedraw_set_cull_override(int32_t v) {
    s_settings.cull_override = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_fog_override(int32_t v) {
    s_settings.fog_override = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_alpha_ref_override(int32_t v) {
    s_settings.alpha_ref_over = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_sprite_blend_override(int32_t v) {
    s_settings.sprite_blend = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_single_texture(int32_t v) {
    s_settings.single_texture = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_aux_pass(int32_t v) {
    s_settings.aux_pass = v;
    return &s_settings;
}
SceneDrawSettings *scenedraw_set_mirror_pass(int32_t v) {
    s_settings.mirror_pass = v;
    return &s_settings;
}
int32_t view_get_node_state7(void) {
    return s_settings.alpha_ref_over;
}
int32_t view_get_node_state8(void) {
    return s_settings.sprite_blend;
}
int32_t view_get_node_pass_arg(void) {
    return s_settings.pass_arg;
}
int32_t scenedraw_get_aux_pass(void) {
    return s_settings.aux_pass;
}
int32_t scenedraw_get_camera_select(void) {
    return s_settings.mirror_pass;
}

void scenedraw_set_material(uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                            uint32_t specular, float power) {
    GpuMaterial m;
    m.diffuse = color_value(diffuse);
    m.ambient = color_value(ambient);
    m.specular = color_value(specular);
    m.emissive = color_value(emissive);
    m.power = power;
    gpu_set_material(&m);
}

void scenedraw_set_default_material(void) {
    const NodeMaterial &d = NODE_MATERIAL_DEFAULTS;
    scenedraw_set_material(d.ambient, d.diffuse, d.emissive, d.specular, d.power);
}

uint32_t scenedraw_color_shift(uint32_t argb, uint32_t n) {
    n &= 31;
    const uint32_t r = ((argb >> 16) & 0xFF) >> n, g = ((argb >> 8) & 0xFF) >> n,
                   b = (argb & 0xFF) >> n;
    return (argb & 0xFF000000u) | r << 16 | g << 8 | b;
}

void view_begin_3d_pass(int view, int32_t pass_arg) {
    const bool aux = s_settings.aux_pass == 1;
    const bool mirror = !aux && s_settings.mirror_pass == 1;
    s_settings.pass_arg = pass_arg;
    view_set_current(view);

    const int k = (int)view_get_active_aux_cam();
    const Mat4 *v, *camera, *proj, *view_proj, *proj_view;
    if (aux) {
        v = view_get_aux_cam_view(view, k);
        camera = view_get_aux_cam_matrix(view, k);
        proj = view_get_aux_cam_proj(view, k);
        view_proj = view_get_aux_cam_view_proj(view, k);
        proj_view = view_get_aux_cam_proj_view(view, k);
    } else if (mirror) {
        v = view_get_mirror_view(view);
        camera = view_get_mirror_camera_matrix(view);
        proj = view_get_mirror_proj(view);
        view_proj = view_get_mirror_view_proj(view);
        proj_view = view_get_mirror_proj_view(view);
    } else {
        v = view_get_view_matrix(view);
        camera = view_get_camera_matrix(view);
        proj = view_get_proj(view);
        view_proj = view_get_view_proj(view);
        proj_view = view_get_proj_view(view);
    }
    gpu_set_transform(GPU_TS_PROJECTION, &proj->m[0][0]);
    gpu_set_transform(GPU_TS_VIEW, &v->m[0][0]);
    shader_set_light_params(v, camera, proj, view_proj, proj_view);
    if (aux)
        shader_set_near_far(view_get_aux_cam_near(view, k), view_get_aux_cam_far(view, k));
    else
        shader_set_near_far(view_get_near(view), view_get_far(view));

    gpu_set_render_state(GPU_RS_LIGHTING, 1);
    gpu_set_render_state(GPU_RS_SHADEMODE, SHADE_GOURAUD);
    gpu_set_render_state(GPU_RS_AMBIENT, 0);

    const ViewLight *light = view_get_light(view);
    GpuLight l = {};
    l.type = LIGHT_DIRECTIONAL;
    l.diffuse = color_value(light->color_f[2]);
    l.specular = color_value(light->color_f[3]);
    l.ambient = color_value(light->color_f[0]);
    l.position[1] = 1.0f;
    l.direction[0] = light->current.direction.x;
    l.direction[1] = light->current.direction.y;
    l.direction[2] = light->current.direction.z;
    gpu_set_light(0, &l);
    gpu_light_enable(0, true);

    scenedraw_set_default_material();
    scenedraw_apply_linear_fog(view);
}

void scenedraw_apply_linear_fog(int view) {
    gpu_set_render_state(GPU_RS_FOGCOLOR, view_get_fog_color(view));
    gpu_set_render_state(GPU_RS_FOGSTART, float_bits(view_get_fog_start(view)));
    gpu_set_render_state(GPU_RS_FOGEND, float_bits(view_get_fog_end(view)));
    gpu_set_render_state(GPU_RS_FOGTABLEMODE, FOG_TABLE_LINEAR);
    gpu_set_render_state(GPU_RS_FOGVERTEXMODE, FOG_NONE);
    gpu_set_render_state(GPU_RS_RANGEFOGENABLE, 0);
}

void scenedraw_reset_states(void) {
    reset_overrides();
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    scenedraw_unbind_textures();
}

void scenedraw_unbind_textures(void) {
    GfxDevice *device = gfx_get_device();
    for (uint32_t stage = 0; stage < GPU_MAX_STAGES; ++stage) tex_bind(device, stage, nullptr, 1);
}

uint32_t scenedraw_node_fog(uint32_t node_fog_bit) {
    if (s_settings.fog_override != -1) return (uint32_t)s_settings.fog_override;
    return view_get_fog_mode((int)view_get_current()) != 0 && node_fog_bit ? 1 : 0;
}

// Start-up values of the block before the kinds register: words 5-11 at -1.
void scenedraw_init_settings(void) {
    memset(&s_settings, 0, sizeof(s_settings));
    reset_overrides();
}

void view_register_node_kinds(void) {
    scenedraw_init_settings();
    attach_pool_reset();
    // Registration order fixes the ids: primitive, animated, model, piece mesh.
    s_settings.prim_kind =
        obj_register_kind(primnode_kind_draw, primnode_kind_init, primnode_kind_term, nullptr,
                          (int32_t)sizeof(PrimNode));
    s_settings.anim_kind =
        obj_register_kind(animnode_kind_draw, animnode_kind_init, animnode_kind_term, nullptr,
                          (int32_t)sizeof(AnimModelNode));
    s_settings.model_kind =
        obj_register_kind(mdlnode_kind_draw, mdlnode_kind_init, mdlnode_kind_term, nullptr,
                          (int32_t)sizeof(ModelNode));
    s_settings.mesh_kind =
        obj_register_kind(meshnode_kind_draw, meshnode_kind_init, meshnode_kind_term, nullptr,
                          (int32_t)sizeof(PieceMeshNode));
    s_settings.pass_arg = 0;
}
