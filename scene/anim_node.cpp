#include "scene/anim_node.h"

#include <cstring>

#include "collision/collider.h"
#include "math/mat4.h"
#include "resource/res_frames.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/node_settings.h"

namespace {

constexpr uint32_t START_FRAME = 2;

Vec3 translation(const Mat4 *m) {
    return {m->m[3][0], m->m[3][1], m->m[3][2]};
}

void set_flag(SceneObject *node, DrawFlagField field, uint32_t value) {
    if (AnimModelNode *n = animnode_of(node)) drawflags_set(&n->head.draw_flags, field, value);
}

// The model whose palette a pose fills: none with an alternate model or while the node is not
// shown, else the first level of detail.
const MeshBuffers *palette_model(SceneObject *node, const ModelNodeHead *h) {
    if (h->alt_model || !(node->flags & OBJ_FLAG_VISIBLE)) return nullptr;
    return res_get_model(h->lods[0].model);
}

bool bone_matrix_of(const ModelInstance *instance, const Mat4 *m) {
    for (const InstanceBone *b = instance->bones; b; b = b->next)
        if (m == &b->world) return true;
    return false;
}

uint16_t chain_group(const ModelNodeHead *h) {
    return h->collision ? static_cast<uint16_t>(h->collision->group) : 0;
}

} // namespace

AnimModelNode *animnode_of(SceneObject *o) {
    return animnode_is_anim_node(o) ? obj_payload<AnimModelNode>(o) : nullptr;
}
ModelInstance *animnode_instance(SceneObject *node) {
    AnimModelNode *n = animnode_of(node);
    return n ? n->head.instance : nullptr;
}

SceneObject *animnode_create(OwnerId owner, const Mat4 *world, uint32_t model, int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, animnode_kind_id());
    animnode_set_model(o, model);
    if (world) obj_payload<AnimModelNode>(o)->head.world = *world;
    node_show(o);
    obj_set_layer(o, layer);
    return o;
}

int32_t animnode_kind_id(void) {
    return scenedraw_settings()->anim_kind;
}
bool animnode_is_anim_node(const SceneObject *o) {
    return o && o->kind != 0 && o->kind == scenedraw_settings()->anim_kind;
}
Mat4 *animnode_world_matrix(SceneObject *node) {
    AnimModelNode *n = animnode_of(node);
    return n ? &n->head.world : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Models, shader, material and flags: the model node's over the shared head

void animnode_set_lods(SceneObject *node, const NodeLod *pairs) {
    if (!animnode_of(node) || !pairs) return;
    mdlnode_set_lods(node, pairs);
    animnode_set_shader(node, mdlnode_shader_for_model(pairs[0].model), nullptr, 0);
}
void animnode_set_model(SceneObject *node, uint32_t model) {
    const NodeLod pairs[2] = {{model, 0.0f}, {0, 0.0f}};
    animnode_set_lods(node, pairs);
}

void animnode_set_shader(SceneObject *node, uint16_t shader_id, const void *params, int32_t size) {
    AnimModelNode *n = animnode_of(node);
    if (!n) return;
    mdlnode_set_shader(node, shader_id, params, size);
    for (int32_t slot = 0; slot < ATTACH_SLOT_COUNT; ++slot)
        attach_set_shader(node, slot, shader_id, n->head.params, NODE_PARAM_BYTES);
}
void animnode_reset_shader(SceneObject *node) {
    if (AnimModelNode *n = animnode_of(node))
        animnode_set_shader(node, mdlnode_shader_for_model(n->head.lods[0].model), nullptr, 0);
}
uint32_t animnode_get_model(SceneObject *node) {
    return animnode_of(node) ? mdlnode_get_model(node) : 0;
}
void animnode_set_alt_model(SceneObject *node, uint32_t model) {
    if (animnode_of(node)) mdlnode_set_alt_model(node, model);
}
void animnode_set_texture(SceneObject *node, uint32_t texture) {
    if (animnode_of(node)) mdlnode_set_texture(node, texture);
}
void animnode_set_shader_float(SceneObject *node, float value) {
    if (animnode_of(node)) mdlnode_set_shader_float(node, value);
}

void animnode_set_material(SceneObject *node, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor) {
    if (animnode_of(node))
        mdlnode_set_material(node, ambient, diffuse, emissive, specular, power, factor);
}
void animnode_set_ambient(SceneObject *node, uint32_t argb) {
    if (animnode_of(node)) mdlnode_set_ambient(node, argb);
}
void animnode_set_diffuse(SceneObject *node, uint32_t argb) {
    if (animnode_of(node)) mdlnode_set_diffuse(node, argb);
}
void animnode_set_color(SceneObject *node, uint32_t argb) {
    animnode_set_diffuse(node, argb);
}
void animnode_set_emissive(SceneObject *node, uint32_t argb) {
    if (animnode_of(node)) mdlnode_set_emissive(node, argb);
}
void animnode_set_specular(SceneObject *node, uint32_t argb, float power) {
    if (animnode_of(node)) mdlnode_set_specular(node, argb, power);
}
void animnode_set_factor(SceneObject *node, float factor) {
    if (animnode_of(node)) mdlnode_set_factor(node, factor);
}

void animnode_set_blended(SceneObject *node, uint32_t v) {
    set_flag(node, DF_BLENDED, v);
}
void animnode_set_lighting(SceneObject *node, uint32_t v) {
    set_flag(node, DF_LIGHTING, v);
}
void animnode_set_nearby_lights(SceneObject *node, uint32_t v) {
    set_flag(node, DF_NEARBY_LIGHTS, v);
}
void animnode_set_zwrite(SceneObject *node, uint32_t v) {
    set_flag(node, DF_ZWRITE, v);
}
void animnode_set_fog(SceneObject *node, uint32_t v) {
    set_flag(node, DF_FOG, v);
}
void animnode_set_alt_pass1(SceneObject *node, uint32_t v) {
    set_flag(node, DF_AUX_PASS, v);
}
void animnode_set_alt_pass2(SceneObject *node, uint32_t v) {
    set_flag(node, DF_MIRROR_PASS, v);
}
void animnode_set_blend_mode(SceneObject *node, uint32_t v) {
    set_flag(node, DF_BLEND_PAIR, v);
}
void animnode_set_cull_mode(SceneObject *node, uint32_t v) {
    set_flag(node, DF_CULL, v);
}
void animnode_set_sphere_culling(SceneObject *node, uint32_t v) {
    set_flag(node, DF_SPHERE_CULL, v);
}
void animnode_set_alpha_ref(SceneObject *node, uint32_t v) {
    set_flag(node, DF_ALPHA_REF, v);
}
void animnode_set_zfunc(SceneObject *node, uint32_t v) {
    set_flag(node, DF_ZFUNC, v);
}
void animnode_set_texture_filter(SceneObject *node, uint32_t v) {
    set_flag(node, DF_FILTER, v);
}
void animnode_set_fill_mode(SceneObject *node, uint32_t v) {
    set_flag(node, DF_FILL, v);
}

bool animnode_outside_frustum(SceneObject *node, int view, const FrustumParams *frustum,
                              bool use_model) {
    AnimModelNode *n = animnode_of(node);
    if (!n) return true;
    // The root frame's rest position under the world matrix stands in for the node's when the
    // instance has one.
    Vec3 p = translation(&n->head.world);
    const ModelInstance *instance = n->head.instance;
    if (const Mat4 *item = instance ? model_root_item(instance) : nullptr) {
        const Vec3 local = translation(item);
        mat4_transform_point(&p, &n->head.world, &local);
    }
    FrustumPlanes scratch;
    const FrustumPlanes *planes = node_frustum_planes(&scratch, view, frustum);
    const MeshBuffers *mesh = use_model ? res_get_model(n->head.chosen_model) : nullptr;
    float radius = 0.0f;
    if (mesh) {
        NodeBounds b;
        node_model_bounds(&b, mesh, &n->head.world);
        radius = b.radius;
    }
    return !node_sphere_in_frustum(planes, &p, radius);
}

// ---------------------------------------------------------------------------------------------
// Motion

void animnode_set_motion(SceneObject *node, int32_t hierarchy, int32_t motion) {
    AnimModelNode *n = animnode_of(node);
    ModelInstance *instance = n ? n->head.instance : nullptr;
    if (!instance) return;
    ModelNodeHead *h = &n->head;
    const InstanceBone *old_bones = instance->bones;
    const int32_t snap = model_set_hierarchy_motion(instance, hierarchy, motion);
    if (hierarchy != 0) {
        model_instance_pose(instance, &h->world, (int32_t)(instance->current_frame >> 16),
                            palette_model(node, h), chain_group(h), snap);
    }
    // Frame colliders sit on the bones: a new bone list needs new colliders, and none are
    // left on bones that were handed back.
    if (h->collision && (hierarchy > 0 || instance->bones != old_bones))
        animnode_build_frame_collision(node, -1, 0);
}

void animnode_update(SceneObject *node, int32_t frame) {
    AnimModelNode *n = animnode_of(node);
    ModelInstance *instance = n ? n->head.instance : nullptr;
    if (!instance) return;
    ModelNodeHead *h = &n->head;
    model_instance_pose(instance, &h->world, frame, palette_model(node, h), chain_group(h), 0);
    // The pose drops the bones of a hierarchy released under it: colliders left on them are
    // made again on the bones there are now (none, then).
    if (h->collision && !bone_matrix_of(instance, h->collision->transform))
        animnode_build_frame_collision(node, -1, h->collision->filter);
}

// ---------------------------------------------------------------------------------------------
// Skeleton and bone pairs

int32_t animnode_draw_skeleton(SceneObject *node, bool labels, bool posed) {
    AnimModelNode *n = animnode_of(node);
    ModelInstance *instance = n ? n->head.instance : nullptr;
    if (!instance) return 0;
    return res_draw_skeleton_wire(node->owner, instance->hierarchy, &n->head.world, labels,
                                  posed ? instance : nullptr);
}

InstanceBone *animnode_find_bone(InstanceBone *bones, const char *name, NameHash hash) {
    if (!name) return nullptr;
    for (InstanceBone *b = bones; b; b = b->next)
        if (b->name_hash == hash && b->name && strcmp(b->name, name) == 0) return b;
    return nullptr;
}

int32_t animnode_for_each_bone_pair(SceneObject *node, AnimBonePairFn callback, void *argument) {
    ModelInstance *instance = animnode_instance(node);
    FrameWalk w;
    if (!callback || !instance || !res_frames_begin(&w, instance->hierarchy)) return 0;
    struct Named {
        const char *name;
        NameHash hash;
    } names[ANIMNODE_PAIR_DEPTH] = {};
    int32_t depth = 0, pairs = 0;
    uint32_t expected = 0; // where the next item starts when no unknown word lies between
    FrameItem it;
    while (res_frames_next(&w, &it)) {
        if (it.offset != expected) break; // an unknown tag ends the walk
        switch (it.tag) {
            case RES_FRAME_NAME:
                names[depth] = {it.name, it.hash};
                expected = it.offset + 12;
                break;
            case RES_FRAME_MATRIX:
                expected = it.offset + 4 + 64;
                break;
            case RES_FRAME_PUSH:
                expected = it.offset + 4;
                if (depth + 1 >= ANIMNODE_PAIR_DEPTH) return pairs;
                names[++depth] = {nullptr, 0};
                break;
            default: // pop; one at the top level is ignored
                expected = it.offset + 4;
                if (depth == 0) break;
                callback(node,
                         animnode_find_bone(instance->bones, names[depth - 1].name,
                                            names[depth - 1].hash),
                         names[depth - 1].name,
                         animnode_find_bone(instance->bones, names[depth].name, names[depth].hash),
                         names[depth].name, argument);
                ++pairs;
                --depth;
                break;
        }
    }
    return pairs;
}

// ---------------------------------------------------------------------------------------------
// Kind callbacks

void animnode_kind_init(SceneObject *o) {
    AnimModelNode *n = obj_payload<AnimModelNode>(o);
    node_head_init(o, &n->head);
    memset(n->slots, 0, sizeof(n->slots));
    n->head.instance = model_instance_alloc();
    if (n->head.instance) n->head.instance->start_frame = START_FRAME << 16;
}

void animnode_kind_term(SceneObject *o) {
    AnimModelNode *n = obj_payload<AnimModelNode>(o);
    attach_detach_all(o);
    animnode_remove_collision(o);
    model_instance_free(n->head.instance);
    n->head.instance = nullptr;
}
