#include "scene/model_node.h"

#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "math/plane.h"
#include "render/gfx_mesh.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"
#include "scene/node_collision.h"
#include "scene/node_draw.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"
#include "scene/point_light.h"
#include "render/view.h"

namespace {

constexpr uint16_t SHADER_NORMAL_MAPPED = 2;

bool is_head_kind(const SceneObject *o) {
    const SceneDrawSettings *s = scenedraw_settings();
    return o && o->kind != 0 && (o->kind == s->model_kind || o->kind == s->anim_kind);
}

ModelNodeHead *head_of(SceneObject *o) {
    return is_head_kind(o) ? &obj_payload<ModelNode>(o)->head : nullptr;
}

void set_flag(SceneObject *o, DrawFlagField field, uint32_t value) {
    if (ModelNodeHead *h = head_of(o)) drawflags_set(&h->draw_flags, field, value);
}

Vec3 translation(const Mat4 *m) {
    return {m->m[3][0], m->m[3][1], m->m[3][2]};
}

float distance_sq(const Vec3 &a, const Vec3 &b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

SceneObject *create(OwnerId owner, const Mat4 *world, uint32_t model, int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, scenedraw_settings()->model_kind);
    mdlnode_set_model(o, model);
    if (world) obj_payload<ModelNode>(o)->head.world = *world;
    node_show(o);
    obj_set_layer(o, layer);
    return o;
}

// Culling and light picking of one model or animated node against the pass camera. Returns
// false when the node is dropped. The world centre and radius are computed whenever they are
// needed: for sphere culling, and for picking nearby lights.
bool cull_and_bound(ModelNodeHead *h, const MeshBuffers *mesh, const NodePassCamera *camera,
                    float d2, bool full_test) {
    const bool sphere = drawflags_get(h->draw_flags, DF_SPHERE_CULL) != 0;
    const bool lights = drawflags_get(h->draw_flags, DF_NEARBY_LIGHTS) != 0;
    if (!mesh || (!sphere && !lights)) return true;
    NodeBounds b;
    node_model_bounds(&b, mesh, &h->world);
    if (sphere) {
        if (d2 - b.far_allowance > camera->far_limit_sq) return false;
        const Vec3 position = translation(&h->world);
        if (!node_sphere_in_frustum(camera->planes, &position, b.outer_radius)) return false;
        if (full_test && !node_sphere_in_frustum(camera->planes, &b.centre, b.radius)) return false;
    }
    h->culled_centre = full_test ? b.centre : translation(&h->world);
    h->culled_radius = full_test ? b.radius : b.outer_radius;
    return true;
}

// The squared camera distance (kept in the object's scratch word) and the model it selects:
// the last LOD entry whose distance it reaches, or the alternate model in the passes that use
// one.
float choose_model(SceneObject *o, ModelNodeHead *h, const NodePassCamera *camera, bool use_alt,
                   const Vec3 &position) {
    const float d2 = distance_sq(camera->position, position);
    node_set_scratch_distance(o, d2);
    uint32_t chosen = 0;
    if (use_alt && h->alt_model) {
        chosen = h->alt_model;
    } else {
        for (const NodeLod &lod : h->lods) {
            if (lod.model == 0) break;
            if (lod.distance <= d2) chosen = lod.model;
        }
    }
    h->chosen_model = chosen;
    return d2;
}

int32_t pick_lights(const ModelNodeHead *h, PointLight **out) {
    if (!drawflags_get(h->draw_flags, DF_NEARBY_LIGHTS)) return 0;
    return plight_pick_for_sphere(out, NODE_MAX_LIGHTS, (int)view_get_current(), &h->culled_centre,
                                  h->culled_radius);
}

void draw_head(ModelNodeHead *h, const NodePassCamera *camera, int32_t *last_model,
               PointLight *const *lights, int32_t light_count, const ModelInstance *instance) {
    NodeMeshDraw d = {};
    d.model = h->chosen_model;
    d.texture = h->texture;
    d.world = &h->world;
    d.instance = instance;
    d.material = &h->material;
    d.draw_flags = h->draw_flags;
    d.shader_id = h->shader_id;
    d.params = h->params;
    d.shader_float = h->shader_float;
    d.lights = lights;
    d.light_count = light_count;
    node_draw_mesh(&d, camera, last_model);
}

} // namespace

float node_world_scale(const Mat4 *m) {
    float best = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const float sq =
            m->m[i][0] * m->m[i][0] + m->m[i][1] * m->m[i][1] + m->m[i][2] * m->m[i][2];
        if (sq > best) best = sq;
    }
    return sqrtf(best);
}

void node_model_bounds(NodeBounds *out, const MeshBuffers *mesh, const Mat4 *world) {
    const float *e = mesh->extra_bounds;
    const Vec3 local = {e[0], e[1], e[2]};
    const float s = node_world_scale(world);
    const float reach = sqrtf(local.x * local.x + local.y * local.y + local.z * local.z) + e[4];
    mat4_transform_point(&out->centre, world, &local);
    out->radius = e[4] * s;
    out->outer_radius = reach * s;
    out->far_allowance = out->outer_radius * out->outer_radius;
}

int32_t mdlnode_kind_id(void) {
    return scenedraw_settings()->model_kind;
}
bool mdlnode_is_model_node(const SceneObject *o) {
    return o && o->kind != 0 && o->kind == scenedraw_settings()->model_kind;
}
ModelNodeHead *mdlnode_head(SceneObject *o) {
    return head_of(o);
}
void node_show(SceneObject *o) {
    if (o) o->flags |= OBJ_FLAG_VISIBLE;
}

void node_head_init(SceneObject *o, ModelNodeHead *h) {
    h->shader_id = 0;
    h->default_material = 1;
    h->material = NODE_MATERIAL_DEFAULTS;
    h->shader_float = 1.0f;
    mat4_identity(&h->world);
    h->collision = nullptr;
    h->instance = nullptr;
    h->texture = 0;
    node_init_draw_flags(&h->draw_flags);
    obj_set_layer(o, NODE_DEFAULT_LAYER);
    node_show(o);
}

SceneObject *mdlnode_create(OwnerId owner, const Mat4 *world, uint32_t model, int32_t layer) {
    SceneObject *o = create(owner, world, model, layer);
    obj_kill(o);
    return o;
}
SceneObject *mdlnode_create_persistent(OwnerId owner, const Mat4 *world, uint32_t model,
                                       int32_t layer) {
    return create(owner, world, model, layer);
}

void mdlnode_set_lods(SceneObject *o, const NodeLod *pairs) {
    ModelNodeHead *h = head_of(o);
    if (!h || !pairs) return;
    memset(h->lods, 0, sizeof(h->lods));
    int n = 0;
    for (int i = 0; i < 2; ++i)
        if ((int32_t)pairs[i].model > 0) h->lods[n++] = pairs[i];
    if (n == 2 && h->lods[1].distance < h->lods[0].distance) {
        const NodeLod t = h->lods[0];
        h->lods[0] = h->lods[1];
        h->lods[1] = t;
    }
    mdlnode_set_shader(o, mdlnode_shader_for_model(pairs[0].model), nullptr, 0);
}

void mdlnode_set_model(SceneObject *o, uint32_t model) {
    const NodeLod pairs[2] = {{model, 0.0f}, {0, 0.0f}};
    mdlnode_set_lods(o, pairs);
}

uint16_t mdlnode_shader_for_model(uint32_t model) {
    return (res_model_flags(model) & 1) ? SHADER_NORMAL_MAPPED : 0;
}

void mdlnode_set_shader(SceneObject *o, uint16_t shader_id, const void *params, int32_t size) {
    ModelNodeHead *h = head_of(o);
    if (!h) return;
    h->shader_id = shader_id;
    // A negative size copies nothing, as does a missing block.
    if (size > 0 && params)
        memcpy(h->params, params, size < NODE_PARAM_BYTES ? size : NODE_PARAM_BYTES);
}

void mdlnode_reset_shader(SceneObject *o) {
    if (ModelNodeHead *h = head_of(o))
        mdlnode_set_shader(o, mdlnode_shader_for_model(h->lods[0].model), nullptr, 0);
}
uint32_t mdlnode_get_model(SceneObject *o) {
    ModelNodeHead *h = head_of(o);
    return h ? h->lods[0].model : 0;
}
void mdlnode_set_alt_model(SceneObject *o, uint32_t model) {
    if (ModelNodeHead *h = head_of(o)) h->alt_model = model;
}
Mat4 *mdlnode_world_matrix(SceneObject *o) {
    ModelNodeHead *h = head_of(o);
    return h ? &h->world : nullptr;
}
void mdlnode_set_texture(SceneObject *o, uint32_t texture) {
    if (ModelNodeHead *h = head_of(o)) h->texture = texture;
}
uint32_t mdlnode_get_texture(SceneObject *o) {
    ModelNodeHead *h = head_of(o);
    return h ? h->texture : 0;
}
void mdlnode_set_shader_float(SceneObject *o, float value) {
    if (ModelNodeHead *h = head_of(o)) h->shader_float = value;
}

void mdlnode_set_material(SceneObject *o, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                          uint32_t specular, float power, float factor) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_all(&h->material, ambient, diffuse, emissive,
                                                    specular, power, factor);
}
void mdlnode_set_ambient(SceneObject *o, uint32_t argb) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_ambient(&h->material, argb);
}
void mdlnode_set_diffuse(SceneObject *o, uint32_t argb) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_diffuse(&h->material, argb);
}
void mdlnode_set_color(SceneObject *o, uint32_t argb) {
    mdlnode_set_diffuse(o, argb);
}
void mdlnode_set_emissive(SceneObject *o, uint32_t argb) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_emissive(&h->material, argb);
}
void mdlnode_set_specular(SceneObject *o, uint32_t argb, float power) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_specular(&h->material, argb, power);
}
void mdlnode_set_factor(SceneObject *o, float factor) {
    if (ModelNodeHead *h = head_of(o))
        h->default_material = node_material_set_factor(&h->material, factor);
}
uint32_t mdlnode_get_diffuse(SceneObject *o) {
    ModelNodeHead *h = head_of(o);
    return h ? h->material.diffuse : 0;
}
NodeMaterial *mdlnode_material(SceneObject *o) {
    ModelNodeHead *h = head_of(o);
    return h ? &h->material : nullptr;
}

void mdlnode_set_blended(SceneObject *o, uint32_t v) {
    set_flag(o, DF_BLENDED, v);
}
void mdlnode_set_lighting(SceneObject *o, uint32_t v) {
    set_flag(o, DF_LIGHTING, v);
}
void mdlnode_set_nearby_lights(SceneObject *o, uint32_t v) {
    set_flag(o, DF_NEARBY_LIGHTS, v);
}
void mdlnode_set_zwrite(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ZWRITE, v);
}
void mdlnode_set_fog(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FOG, v);
}
void mdlnode_set_alt_pass1(SceneObject *o, uint32_t v) {
    set_flag(o, DF_AUX_PASS, v);
}
void mdlnode_set_alt_pass2(SceneObject *o, uint32_t v) {
    set_flag(o, DF_MIRROR_PASS, v);
}
void mdlnode_set_blend_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_BLEND_PAIR, v);
}
void mdlnode_set_cull_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_CULL, v);
}
void mdlnode_set_billboard(SceneObject *o, uint32_t v) {
    set_flag(o, DF_BILLBOARD, v);
}
void mdlnode_set_sphere_culling(SceneObject *o, uint32_t v) {
    set_flag(o, DF_SPHERE_CULL, v);
}
void mdlnode_set_alpha_ref(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ALPHA_REF, v);
}
void mdlnode_set_zfunc(SceneObject *o, uint32_t v) {
    set_flag(o, DF_ZFUNC, v);
}
void mdlnode_set_texture_filter(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FILTER, v);
}
void mdlnode_set_fill_mode(SceneObject *o, uint32_t v) {
    set_flag(o, DF_FILL, v);
}

bool node_sphere_in_frustum(const FrustumPlanes *planes, const Vec3 *c, float radius) {
    for (const Plane &p : planes->planes)
        if (p.a * c->x + p.b * c->y + p.c * c->z + p.d < -radius) return false;
    return true;
}

const FrustumPlanes *node_frustum_planes(FrustumPlanes *scratch, int view,
                                         const FrustumParams *frustum) {
    if (!frustum) return view_get_cull_planes(view);
    Mat4 proj, clip;
    mat4_projection_from_frustum(&proj, frustum);
    mat4_multiply(&clip, view_get_view_matrix(view), &proj);
    frustum_extract_planes(scratch, &clip);
    return scratch;
}

bool mdlnode_outside_frustum(SceneObject *o, int view, const FrustumParams *frustum,
                             bool use_model) {
    ModelNodeHead *h = head_of(o);
    if (!h) return true;
    FrustumPlanes planes;
    const FrustumPlanes *p = node_frustum_planes(&planes, view, frustum);
    const MeshBuffers *mesh = use_model ? res_get_model(h->chosen_model) : nullptr;
    const Vec3 position = translation(&h->world);
    if (!mesh) return !node_sphere_in_frustum(p, &position, 0.0f);
    NodeBounds b;
    node_model_bounds(&b, mesh, &h->world);
    return !(node_sphere_in_frustum(p, &position, b.outer_radius) &&
             node_sphere_in_frustum(p, &b.centre, b.radius));
}

void mdlnode_kind_init(SceneObject *o) {
    node_head_init(o, &obj_payload<ModelNode>(o)->head);
}

void mdlnode_kind_term(SceneObject *o) {
    nodecoll_remove(&obj_payload<ModelNode>(o)->head.collision);
}

void mdlnode_kind_draw(SceneObject **run, int32_t count) {
    NodePassCamera camera;
    node_pass_camera(&camera);
    NodeQueueBuild q;
    node_queue_reset(&q);
    for (int32_t i = 0; i < count; ++i) {
        SceneObject *o = run[i];
        ModelNodeHead *h = &obj_payload<ModelNode>(o)->head;
        const float d2 =
            choose_model(o, h, &camera, camera.aux || camera.mirror, translation(&h->world));
        const MeshBuffers *mesh = res_get_model(h->chosen_model);
        if (!mesh) continue;
        if (!cull_and_bound(h, mesh, &camera, d2, true)) continue;
        const bool zwrite = drawflags_get(h->draw_flags, DF_ZWRITE) != 0;
        const bool blended = drawflags_get(h->draw_flags, DF_BLENDED) != 0;
        if (zwrite && !blended) o->scratch = node_sort_key(h->draw_flags, h->shader_id);
        node_queue_add(&q, o, blended, zwrite);
    }
    const int32_t n = node_queue_finish(&q, true);
    if (n == 0) return;
    node_begin_run(&camera, false, 3);
    int32_t last_model = -1;
    SceneObject **queue = node_queue_array();
    for (int32_t i = 0; i < n; ++i) {
        ModelNodeHead *h = &obj_payload<ModelNode>(queue[i])->head;
        PointLight *lights[NODE_MAX_LIGHTS];
        const int32_t light_count = pick_lights(h, lights);
        draw_head(h, &camera, &last_model, lights, light_count, nullptr);
    }
    node_end_run();
}

void animnode_kind_draw(SceneObject **run, int32_t count) {
    NodePassCamera camera;
    node_pass_camera(&camera);
    NodeQueueBuild q;
    node_queue_reset(&q);
    for (int32_t i = 0; i < count; ++i) {
        SceneObject *o = run[i];
        ModelNodeHead *h = &obj_payload<ModelNode>(o)->head;
        // An animated node stands where its first bone is once it has been posed.
        const ModelInstance *instance = h->instance;
        const Mat4 *at = instance && instance->bones ? &instance->bones->world : &h->world;
        const float d2 = choose_model(o, h, &camera, camera.aux, translation(at));
        // A node without a model record still queues: its attachments draw.
        if (!cull_and_bound(h, res_get_model(h->chosen_model), &camera, d2, false)) continue;
        node_queue_add(&q, o, drawflags_get(h->draw_flags, DF_BLENDED) != 0,
                       drawflags_get(h->draw_flags, DF_ZWRITE) != 0);
    }
    const int32_t n = node_queue_finish(&q, false);
    node_begin_run(&camera, true, 1);
    int32_t last_model = -1;
    SceneObject **queue = node_queue_array();
    for (int32_t i = 0; i < n; ++i) {
        ModelNodeHead *h = &obj_payload<ModelNode>(queue[i])->head;
        PointLight *lights[NODE_MAX_LIGHTS];
        const int32_t light_count = res_get_model(h->chosen_model) ? pick_lights(h, lights) : 0;
        draw_head(h, &camera, &last_model, lights, light_count, h->instance);
        attach_draw_all(queue[i], &camera, &last_model, lights, light_count);
    }
    node_end_run();
}
