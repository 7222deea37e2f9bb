#include "scene/prim_node.h"

#include <cstring>

#include "math/mat4.h"
#include "math/plane.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_collision.h"
#include "scene/node_draw.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"
#include "scene/point_light.h"

namespace {

const uint32_t PrimitiveTypes[3] = {GPU_PT_TRIANGLELIST, GPU_PT_LINELIST, GPU_PT_POINTLIST};
const uint16_t VerticesPer[3] = {3, 2, 1};
constexpr int32_t QUAD_INDEX_COUNT = GFX_QUAD_COUNT * 6;
static_assert(PRIM_BATCH_VERTICES * sizeof(PrimVertex) <= (size_t)GFX_PRIM_SCRATCH_BYTES,
              "a full batch fits the scratch area");

void set_flag(SceneObject *o, DrawFlagField field, uint32_t value) {
    if (PrimNode *p = primnode_of(o)) drawflags_set(&p->draw_flags, field, value);
}

Vec3 translation(const Mat4 *m) {
    return {m->m[3][0], m->m[3][1], m->m[3][2]};
}

// The test centre: the bounding-sphere centre in world space, or the node's position.
Vec3 world_centre(const PrimNode *p) {
    if (!p->has_sphere) return translation(&p->world);
    Vec3 c;
    mat4_transform_point(&c, &p->world, &p->centre);
    return c;
}

// Binds the given texture, else the node's, to stage 0; neither: stage 0 unbound.
void bind_texture(const PrimNode *p, uint32_t texture) {
    const uint32_t handle = texture >= 1 ? texture : p->texture;
    tex_bind(gfx_get_device(), 0, handle >= 1 ? res_get_texture(handle) : nullptr,
             (int32_t)drawflags_get(p->draw_flags, DF_FILTER));
}

void count_draw(int32_t primitives, bool batch) {
    SceneDrawSettings *s = scenedraw_settings();
    s->draw_calls++;
    s->primitives += primitives;
    if (batch) s->batches++;
}

SceneObject *create(OwnerId owner, const Mat4 *world, int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, scenedraw_settings()->prim_kind);
    if (world) obj_payload<PrimNode>(o)->world = *world;
    obj_set_layer(o, layer);
    return o;
}

} // namespace

SceneObject *primnode_create(OwnerId owner, const Mat4 *world, int32_t layer) {
    SceneObject *o = create(owner, world, layer);
    obj_kill(o);
    return o;
}
SceneObject *primnode_create_persistent(OwnerId owner, const Mat4 *world, int32_t layer) {
    return create(owner, world, layer);
}
int32_t primnode_kind_id(void) {
    return scenedraw_settings()->prim_kind;
}
bool primnode_is_prim_node(const SceneObject *o) {
    return o && o->kind != 0 && o->kind == scenedraw_settings()->prim_kind;
}
PrimNode *primnode_of(SceneObject *o) {
    return primnode_is_prim_node(o) ? obj_payload<PrimNode>(o) : nullptr;
}
Mat4 *primnode_world_matrix(SceneObject *o) {
    PrimNode *p = primnode_of(o);
    return p ? &p->world : nullptr;
}

void primnode_set_callback(SceneObject *o, PrimNodeCallback callback, void *argument) {
    if (PrimNode *p = primnode_of(o)) p->callback = callback, p->argument = argument;
}
void primnode_set_texture(SceneObject *o, uint32_t texture) {
    if (PrimNode *p = primnode_of(o)) p->texture = texture;
}
void primnode_set_bounds(SceneObject *o, const Vec3 *centre, float radius) {
    PrimNode *p = primnode_of(o);
    if (!p) return;
    p->has_sphere = centre ? 1 : 0;
    p->centre = centre ? *centre : Vec3{0, 0, 0};
    p->radius = radius;
}
void primnode_set_shader(SceneObject *o, uint16_t shader_id, const void *params, int32_t size) {
    PrimNode *p = primnode_of(o);
    if (!p) return;
    p->shader_id = shader_id;
    if (size > 0 && params)
        memcpy(p->params, params, size < NODE_PARAM_BYTES ? (size_t)size : NODE_PARAM_BYTES);
}
void primnode_reset_shader(SceneObject *o) {
    if (PrimNode *p = primnode_of(o)) p->shader_id = 0;
}
void primnode_set_shader_float(SceneObject *o, float value) {
    if (PrimNode *p = primnode_of(o)) p->shader_float = value;
}

void primnode_set_material(SceneObject *o, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_all(&p->material, ambient, diffuse, emissive,
                                                    specular, power, factor);
}
void primnode_set_ambient(SceneObject *o, uint32_t argb) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_ambient(&p->material, argb);
}
void primnode_set_diffuse(SceneObject *o, uint32_t argb) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_diffuse(&p->material, argb);
}
void primnode_set_color(SceneObject *o, uint32_t argb) {
    primnode_set_diffuse(o, argb);
}
void primnode_set_emissive(SceneObject *o, uint32_t argb) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_emissive(&p->material, argb);
}
void primnode_set_specular(SceneObject *o, uint32_t argb, float power) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_specular(&p->material, argb, power);
}
void primnode_set_factor(SceneObject *o, float factor) {
    if (PrimNode *p = primnode_of(o))
        p->default_material = node_material_set_factor(&p->material, factor);
}
uint32_t primnode_get_diffuse(SceneObject *o) {
    PrimNode *p = primnode_of(o);
    return p ? p->material.diffuse : 0;
}
NodeMaterial *primnode_material(SceneObject *o) {
    PrimNode *p = primnode_of(o);
    return p ? &p->material : nullptr;
}

void primnode_set_blended(SceneObject *o, uint32_t v) {
    set_flag(o, DF_BLENDED, v);
}
void primnode_set_lighting(SceneObject *o, uint32_t v) {
    set_flag(o, DF_LIGHTING, v);
}
void primnode_set_nearby_lights(SceneObject *o, uint32_t v) {
    set_flag(o, DF_NEARBY_LIGHTS, v);
}
void primnode_set_zwrite(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ZWRITE, v);
}
void primnode_set_fog(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FOG, v);
}
void primnode_set_alt_pass1(SceneObject *o, uint32_t v) {
    set_flag(o, DF_AUX_PASS, v);
}
void primnode_set_alt_pass2(SceneObject *o, uint32_t v) {
    set_flag(o, DF_MIRROR_PASS, v);
}
void primnode_set_blend_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_BLEND_PAIR, v);
}
void primnode_set_cull_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_CULL, v);
}
void primnode_set_sphere_culling(SceneObject *o, uint32_t v) {
    set_flag(o, DF_SPHERE_CULL, v);
}
void primnode_set_alpha_ref(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ALPHA_REF, v);
}
void primnode_set_zfunc(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ZFUNC, v);
}
void primnode_set_texture_filter(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FILTER, v);
}
void primnode_set_fill_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FILL, v);
}

bool primnode_outside_frustum(SceneObject *o, int view, const FrustumParams *frustum,
                              bool use_radius) {
    PrimNode *p = primnode_of(o);
    if (!p) return true;
    FrustumPlanes planes;
    const FrustumPlanes *planes_used = view_get_cull_planes(view);
    if (frustum) {
        Mat4 proj, clip;
        mat4_projection_from_frustum(&proj, frustum);
        mat4_multiply(&clip, view_get_view_matrix(view), &proj);
        frustum_extract_planes(&planes, &clip);
        planes_used = &planes;
    }
    const Vec3 c = world_centre(p);
    return !node_sphere_in_frustum(planes_used, &c, use_radius ? p->radius : 0.0f);
}

void primnode_begin(SceneObject *o, uint16_t mode, uint32_t texture) {
    PrimNode *p = primnode_of(o);
    if (!p || mode > PRIM_POINTS) return;
    p->color = drawflags_get(p->draw_flags, DF_LIGHTING) ? 0xFFFFFFFFu : p->material.diffuse;
    p->mode = mode;
    p->vertices = p->primitives = p->building = 0;
    p->per_primitive = VerticesPer[mode];
    p->per_flush = (uint16_t)(PRIM_BATCH_VERTICES / VerticesPer[mode]);
    p->area = reinterpret_cast<PrimVertex *>(gfx_prim_vertices());
    p->normal = {0.0f, 1.0f, 0.0f};
    p->u = p->v = 0.0f;
    bind_texture(p, texture);
}

void primnode_set_normal(SceneObject *o, const Vec3 *n) {
    PrimNode *p = primnode_of(o);
    if (p && n) p->normal = *n;
}
void primnode_set_normal_xyz(SceneObject *o, float x, float y, float z) {
    if (PrimNode *p = primnode_of(o)) p->normal = {x, y, z};
}
void primnode_set_vertex_color(SceneObject *o, uint32_t argb) {
    if (PrimNode *p = primnode_of(o)) p->color = argb;
}
void primnode_set_uv(SceneObject *o, const Vec2 *uv) {
    PrimNode *p = primnode_of(o);
    if (p && uv) p->u = uv->x, p->v = uv->y;
}
void primnode_set_uv_xy(SceneObject *o, float u, float v) {
    if (PrimNode *p = primnode_of(o)) p->u = u, p->v = v;
}

void primnode_add_vertex_xyz(SceneObject *o, float x, float y, float z) {
    PrimNode *p = primnode_of(o);
    if (!p || !p->area) return; // no batch begun
    p->area[p->vertices++] = {x, y, z, p->normal.x, p->normal.y, p->normal.z, p->color, p->u, p->v};
    if (++p->building < p->per_primitive) return;
    p->building = 0;
    if (++p->primitives >= p->per_flush) primnode_flush(o);
}

void primnode_add_vertex(SceneObject *o, const Vec3 *position) {
    if (position) primnode_add_vertex_xyz(o, position->x, position->y, position->z);
}

void primnode_flush(SceneObject *o) {
    PrimNode *p = primnode_of(o);
    if (!p || !p->area) return;
    if (p->primitives >= 1) {
        gpu_draw_primitive_up(PrimitiveTypes[p->mode], p->primitives, p->area, sizeof(PrimVertex));
        count_draw(p->primitives, false);
    }
    p->vertices = p->primitives = p->building = 0;
}

void primnode_end(SceneObject *o) {
    if (!primnode_of(o)) return;
    primnode_flush(o);
    scenedraw_settings()->batches++;
}

void primnode_draw_vertices(SceneObject *o, uint16_t mode, uint32_t texture,
                            const PrimVertex *vertices, int32_t count) {
    PrimNode *p = primnode_of(o);
    if (!p || mode > PRIM_POINTS || !vertices || count <= 0) return;
    bind_texture(p, texture);
    const int32_t primitives = count / VerticesPer[mode];
    if (primitives < 1) return;
    gpu_draw_primitive_up(PrimitiveTypes[mode], (uint32_t)primitives, vertices, sizeof(PrimVertex));
    count_draw(primitives, true);
}

bool primnode_draw_indexed(SceneObject *o, uint16_t mode, uint32_t texture,
                           const PrimVertex *vertices, int32_t vertex_count,
                           const uint16_t *indices, int32_t index_count) {
    PrimNode *p = primnode_of(o);
    if (!p || mode > PRIM_POINTS || !vertices || vertex_count <= 0 || index_count <= 0)
        return false;
    // The shared quad list holds 24,576 indices: a longer count, or one that is not whole
    // primitives, would read past it.
    if (!indices && (index_count > QUAD_INDEX_COUNT || index_count % VerticesPer[mode] != 0))
        return false;
    const int32_t primitives = index_count / VerticesPer[mode];
    if (primitives < 1) return false;
    bind_texture(p, texture);
    gpu_draw_indexed_primitive_up(PrimitiveTypes[mode], 0, (uint32_t)vertex_count,
                                  (uint32_t)primitives, indices ? indices : gfx_quad_indices(),
                                  vertices, sizeof(PrimVertex));
    count_draw(primitives, true);
    return true;
}

void primnode_kind_init(SceneObject *o) {
    PrimNode *p = obj_payload<PrimNode>(o);
    p->shader_id = 0;
    p->default_material = 1;
    p->material = NODE_MATERIAL_DEFAULTS;
    p->shader_float = 1.0f;
    mat4_identity(&p->world);
    node_init_draw_flags(&p->draw_flags);
    drawflags_set(&p->draw_flags, DF_SPHERE_CULL, 0);
    p->collision = nullptr;
    p->callback = nullptr;
    p->argument = nullptr;
    p->has_sphere = 0;
    p->centre = {0, 0, 0};
    p->radius = 0.0f;
    p->texture = 0;
    obj_set_layer(o, NODE_DEFAULT_LAYER);
    node_show(o);
}

void primnode_kind_term(SceneObject *o) {
    nodecoll_remove(&obj_payload<PrimNode>(o)->collision);
}

void primnode_kind_draw(SceneObject **run, int32_t count) {
    NodePassCamera camera;
    node_pass_camera(&camera);
    NodeQueueBuild q;
    node_queue_reset(&q);
    for (int32_t i = 0; i < count; ++i) {
        SceneObject *o = run[i];
        PrimNode *p = obj_payload<PrimNode>(o);
        const Vec3 position = translation(&p->world);
        const float dx = position.x - camera.position.x, dy = position.y - camera.position.y,
                    dz = position.z - camera.position.z;
        node_set_scratch_distance(o, dx * dx + dy * dy + dz * dz);
        // The centre is also what nearby lights are picked around, culling on or off.
        const bool sphere = drawflags_get(p->draw_flags, DF_SPHERE_CULL) != 0;
        if (sphere || drawflags_get(p->draw_flags, DF_NEARBY_LIGHTS)) {
            p->culled_centre = world_centre(p);
            if (sphere && !node_sphere_in_frustum(camera.planes, &p->culled_centre, p->radius))
                continue;
        }
        node_queue_add(&q, o, drawflags_get(p->draw_flags, DF_BLENDED) != 0,
                       drawflags_get(p->draw_flags, DF_ZWRITE) != 0);
    }
    const int32_t n = node_queue_finish(&q, false);
    const int32_t decl = shader_find_vertex_decl(PRIM_VERTEX_FVF);
    node_shader_bind_plain(0, nullptr, 0, decl);
    node_begin_run(&camera, true, 1);
    const SceneDrawSettings *s = scenedraw_settings();
    SceneObject **queue = node_queue_array();
    for (int32_t i = 0; i < n; ++i) {
        SceneObject *o = queue[i];
        PrimNode *p = obj_payload<PrimNode>(o);
        if (!p->callback || !node_in_pass(&camera, p->draw_flags)) continue;
        const uint32_t f = p->draw_flags;
        // Every node sets its world matrix: a shader set without a compiled shader draws
        // fixed-function.
        gpu_set_transform(GPU_TS_WORLD, &p->world.m[0][0]);
        const int32_t cull =
            s->cull_override != -1 ? s->cull_override : (int32_t)drawflags_get(f, DF_CULL);
        const int32_t alpha_ref =
            s->alpha_ref_over == 1 ? 4 : (int32_t)drawflags_get(f, DF_ALPHA_REF);
        const bool changed = gfx_set_draw_states(
            drawflags_get(f, DF_LIGHTING), drawflags_get(f, DF_ZWRITE),
            (int32_t)drawflags_get(f, DF_ZFUNC), scenedraw_node_fog(drawflags_get(f, DF_FOG)),
            (int32_t)drawflags_get(f, DF_BLEND_PAIR), cull, (int32_t)drawflags_get(f, DF_FILL),
            alpha_ref, p->shader_id);
        PointLight *lights[NODE_MAX_LIGHTS];
        int32_t light_count = 0;
        if (drawflags_get(f, DF_NEARBY_LIGHTS))
            light_count = plight_pick_for_sphere(lights, NODE_MAX_LIGHTS, (int)view_get_current(),
                                                 &p->culled_centre, p->radius);
        node_shader_bind_mesh(changed ? (int32_t)p->shader_id : -1, p->params, s->pass_arg, decl,
                              &p->world, &p->material, lights, light_count);
        p->callback(o, p->argument);
    }
    node_end_run();
}
