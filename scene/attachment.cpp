#include "scene/attachment.h"

#include <cstring>

#include "collision/coll_list.h"
#include "render/gfx_mesh.h"
#include "render/shader.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"
#include "scene/node_draw.h"
#include "scene/node_settings.h"

namespace {

AttachmentPool s_pool;

void set_flag(SceneObject *node, int32_t slot, DrawFlagField field, uint32_t value) {
    if (Attachment *a = attach_at(node, slot)) drawflags_set(&a->draw_flags, field, value);
}

void set_own_flag(SceneObject *node, int32_t slot, uint32_t bit, uint32_t on) {
    if (Attachment *a = attach_at(node, slot))
        a->own_flags = on ? a->own_flags | bit : a->own_flags & ~bit;
}

// The slot's attachment, allocated when the slot is empty; null when none is left.
Attachment *slot_or_new(SceneObject *node, int32_t slot) {
    AnimModelNode *n = animnode_of(node);
    if (!n || slot < 0 || slot >= ATTACH_SLOT_COUNT) return nullptr;
    if (Attachment *a = attach_at(node, slot)) return a;
    Attachment *a = attach_alloc(node);
    if (a) n->slots[slot] = static_cast<uint16_t>(a - s_pool.records + 1);
    return a;
}

// A mesh that lists bone-palette entries is drawn skinned with the owner's instance.
void take_model(Attachment *a, uint32_t model) {
    a->model = model;
    const MeshBuffers *mesh = res_get_model(model);
    if (mesh && shader_mesh_bone_count(mesh))
        a->own_flags |= ATTACH_SKINNED;
    else
        a->own_flags &= ~ATTACH_SKINNED;
}

// The model, its shader and no parameters; false when the model does not exist.
bool attach_model(Attachment *a, uint32_t model) {
    if (!a || !res_get_model(model)) return false;
    take_model(a, model);
    a->shader_id = mdlnode_shader_for_model(model);
    a->matrix = nullptr;
    a->bone_name[0] = '\0';
    return true;
}

// The matrix an attachment draws with; null: the owner's world matrix.
const Mat4 *draw_matrix(Attachment *a) {
    if (a->matrix) return a->matrix;
    if (a->own_flags & ATTACH_SKINNED || !a->bone_name[0]) return nullptr;
    AnimModelNode *n = animnode_of(a->owner);
    ModelInstance *instance = n ? n->head.instance : nullptr;
    const int32_t index = model_bone_index(instance, a->bone_name);
    return index >= 0 ? model_bone_world(instance, index, &n->head.world, 0) : nullptr;
}

} // namespace

void attach_pool_reset(void) {
    s_pool.used_head = nullptr;
    s_pool.free_head = coll_list_link_free(s_pool.records, ATTACH_POOL_SIZE);
    for (Attachment &a : s_pool.records) a.in_use = 0;
    s_pool.count = 0;
}

const AttachmentPool *attach_pool(void) {
    return &s_pool;
}

Attachment *attach_alloc(SceneObject *node) {
    Attachment *a = coll_list_take(&s_pool.free_head, &s_pool.used_head);
    if (!a) return nullptr;
    a->in_use = 1;
    a->owner = node;
    a->default_material = 1;
    a->material = NODE_MATERIAL_DEFAULTS;
    a->shader_float = 1.0f;
    node_init_draw_flags(&a->draw_flags);
    a->own_flags = ATTACH_SHOWN | ATTACH_KEEP_DRAWN;
    ++s_pool.count;
    return a;
}

void attach_free(Attachment *a) {
    if (!a || a < s_pool.records || a >= s_pool.records + ATTACH_POOL_SIZE || !a->in_use) return;
    a->in_use = 0;
    coll_list_give_back(a, &s_pool.free_head, &s_pool.used_head);
    --s_pool.count;
}

Attachment *attach_at(SceneObject *node, int32_t slot) {
    AnimModelNode *n = animnode_of(node);
    if (!n || slot < 0 || slot >= ATTACH_SLOT_COUNT) return nullptr;
    const uint16_t index = n->slots[slot];
    if (index == 0 || index > ATTACH_POOL_SIZE) return nullptr;
    Attachment *a = &s_pool.records[index - 1];
    return a->in_use && a->owner == node ? a : nullptr;
}

bool attach_model_to_bone(SceneObject *node, int32_t slot, uint32_t model, const char *bone) {
    Attachment *a = slot_or_new(node, slot);
    if (!attach_model(a, model)) return false;
    // A skinned attachment draws with the owner's instance whatever the bone; a rigid one
    // follows the bone by name (a name that does not fit follows none).
    if (!(a->own_flags & ATTACH_SKINNED) && bone && strlen(bone) < ATTACH_BONE_NAME_BYTES) {
        strcpy(a->bone_name, bone);
    }
    return true;
}

bool attach_model_to_matrix(SceneObject *node, int32_t slot, uint32_t model, const Mat4 *matrix) {
    Attachment *a = slot_or_new(node, slot);
    if (!attach_model(a, model)) return false;
    a->matrix = matrix;
    return true;
}

void attach_set_model(SceneObject *node, int32_t slot, uint32_t model) {
    if (Attachment *a = attach_at(node, slot)) take_model(a, model);
}
void attach_show(SceneObject *node, int32_t slot, uint32_t on) {
    set_own_flag(node, slot, ATTACH_SHOWN, on);
}
void attach_set_keep_drawn(SceneObject *node, int32_t slot, uint32_t on) {
    set_own_flag(node, slot, ATTACH_KEEP_DRAWN, on);
}

void attach_set_shader(SceneObject *node, int32_t slot, uint16_t shader_id, const void *params,
                       int32_t size) {
    Attachment *a = attach_at(node, slot);
    if (!a) return;
    a->shader_id = shader_id;
    if (size > 0 && params)
        memcpy(a->params, params, size < NODE_PARAM_BYTES ? size : NODE_PARAM_BYTES);
}

void attach_copy_shader(SceneObject *node, int32_t slot) {
    if (AnimModelNode *n = animnode_of(node))
        attach_set_shader(node, slot, n->head.shader_id, n->head.params, NODE_PARAM_BYTES);
}

void attach_set_ambient(SceneObject *node, int32_t slot, uint32_t argb) {
    if (Attachment *a = attach_at(node, slot))
        a->default_material = node_material_set_ambient(&a->material, argb);
}
void attach_set_diffuse(SceneObject *node, int32_t slot, uint32_t argb) {
    if (Attachment *a = attach_at(node, slot))
        a->default_material = node_material_set_diffuse(&a->material, argb);
}
void attach_set_emissive(SceneObject *node, int32_t slot, uint32_t argb) {
    if (Attachment *a = attach_at(node, slot))
        a->default_material = node_material_set_emissive(&a->material, argb);
}
void attach_set_specular(SceneObject *node, int32_t slot, uint32_t argb, float power) {
    if (Attachment *a = attach_at(node, slot))
        a->default_material = node_material_set_specular(&a->material, argb, power);
}
void attach_set_factor(SceneObject *node, int32_t slot, float factor) {
    if (Attachment *a = attach_at(node, slot))
        a->default_material = node_material_set_factor(&a->material, factor);
}

void attach_set_blended(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_BLENDED, v);
}
void attach_set_lighting(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_LIGHTING, v);
}
void attach_set_nearby_lights(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_NEARBY_LIGHTS, v);
}
void attach_set_zwrite(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_ZWRITE, v);
}
void attach_set_fog(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_FOG, v);
}
void attach_set_blend_mode(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_BLEND_PAIR, v);
}
void attach_set_cull_mode(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_CULL, v);
}
void attach_set_alpha_ref(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_ALPHA_REF, v);
}
void attach_set_zfunc(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_ZFUNC, v);
}
void attach_set_texture_filter(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_FILTER, v);
}
void attach_set_fill_mode(SceneObject *node, int32_t slot, uint32_t v) {
    set_flag(node, slot, DF_FILL, v);
}

void attach_detach(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    if (!a) return;
    attach_free(a);
    animnode_of(node)->slots[slot] = 0;
}

void attach_detach_all(SceneObject *node) {
    for (int32_t i = 0; i < ATTACH_SLOT_COUNT; ++i) attach_detach(node, i);
}

uint32_t attach_get_model(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? a->model : 0;
}
const Mat4 *attach_get_bone_matrix(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? draw_matrix(a) : nullptr;
}
uint32_t attach_get_diffuse(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? a->material.diffuse : 0xFFFFFFFFu;
}
uint16_t attach_get_shader(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? a->shader_id : 0;
}
NodeMaterial *attach_material(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? &a->material : nullptr;
}
uint8_t *attach_parameters(SceneObject *node, int32_t slot) {
    Attachment *a = attach_at(node, slot);
    return a ? a->params : nullptr;
}

void attach_draw_all(SceneObject *node, const NodePassCamera *camera, int32_t *last_model,
                     PointLight *const *lights, int32_t light_count) {
    AnimModelNode *n = animnode_of(node);
    if (!n) return;
    const bool all = scenedraw_settings()->pass_arg == 0;
    for (uint32_t blended = 0; blended < 2; ++blended) {
        for (int32_t slot = 0; slot < ATTACH_SLOT_COUNT; ++slot) {
            Attachment *a = attach_at(node, slot);
            if (!a || !(a->own_flags & ATTACH_SHOWN) || !a->model ||
                drawflags_get(a->draw_flags, DF_BLENDED) != blended ||
                !(all || (a->own_flags & ATTACH_KEEP_DRAWN)))
                continue;
            // The draw may turn a billboard matrix in place: a copy keeps the source intact.
            const Mat4 *m = draw_matrix(a);
            Mat4 world = m ? *m : n->head.world;
            NodeMeshDraw d = {};
            d.model = a->model;
            d.world = &world;
            d.instance = (a->own_flags & ATTACH_SKINNED) ? n->head.instance : nullptr;
            d.material = &a->material;
            d.draw_flags = a->draw_flags;
            d.shader_id = a->shader_id;
            d.params = a->params;
            d.shader_float = a->shader_float;
            d.lights = lights;
            d.light_count = light_count;
            node_draw_mesh(&d, camera, last_model);
        }
    }
}
