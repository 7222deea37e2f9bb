// Attachments: models that an animated node carries on its bones (or on any matrix a caller
// gives), up to 20 per node, from one pool of 256 records. An attachment follows its bone by
// name: the bone is looked up in the owner's instance whenever its matrix is needed, so a
// motion on another hierarchy never leaves it on a bone that was handed back.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "scene/node_material.h"
#include "scene/object_manager.h"

struct NodePassCamera;
struct PointLight;

enum : int32_t {
    ATTACH_POOL_SIZE = 256,
    ATTACH_SLOT_COUNT = 20,
    ATTACH_BONE_NAME_BYTES = 64, // longer bone names follow no bone
};

enum : uint32_t {
    ATTACH_SHOWN = 1u << 0,
    ATTACH_SKINNED = 1u << 1, // drawn with the owner's instance and world matrix
    ATTACH_KEEP_DRAWN = 1u << 2,
};

struct Attachment {
    uint16_t shader_id;
    uint16_t default_material;
    uint8_t params[40];
    NodeMaterial material;
    float shader_float;
    uint32_t model; // ResourceHandle; 0 draws nothing
    uint32_t draw_flags;
    uint32_t own_flags;
    const Mat4 *matrix; // a caller's matrix; null: the bone's, else the owner's world matrix
    char bone_name[ATTACH_BONE_NAME_BYTES]; // the bone followed, looked up by name; "" none
    SceneObject *owner;
    uint32_t in_use;
    Attachment *prev, *next;
};

struct AttachmentPool {
    Attachment records[ATTACH_POOL_SIZE];
    Attachment *used_head, *free_head;
    int32_t count;
};

// Scene reset and clear: used list empty, every record free in index order, count 0.
void attach_pool_reset(void);
const AttachmentPool *attach_pool(void);
Attachment *attach_alloc(SceneObject *node); // null when none is free
void attach_free(Attachment *attachment);
// The attachment in a slot of an animated node; null for an empty slot or an index outside 0-19.
Attachment *attach_at(SceneObject *node, int32_t slot);

bool attach_model_to_bone(SceneObject *node, int32_t slot, uint32_t model, const char *bone);
bool attach_model_to_matrix(SceneObject *node, int32_t slot, uint32_t model, const Mat4 *matrix);
void attach_set_model(SceneObject *node, int32_t slot, uint32_t model);
void attach_show(SceneObject *node, int32_t slot, uint32_t on);
void attach_set_keep_drawn(SceneObject *node, int32_t slot, uint32_t on);
void attach_set_shader(SceneObject *node, int32_t slot, uint16_t shader_id, const void *params,
                       int32_t size);
void attach_copy_shader(SceneObject *node, int32_t slot);
void attach_set_ambient(SceneObject *node, int32_t slot, uint32_t argb);
void attach_set_diffuse(SceneObject *node, int32_t slot, uint32_t argb);
void attach_set_emissive(SceneObject *node, int32_t slot, uint32_t argb);
void attach_set_specular(SceneObject *node, int32_t slot, uint32_t argb, float power);
void attach_set_factor(SceneObject *node, int32_t slot, float factor);
void attach_set_blended(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_lighting(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_nearby_lights(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_zwrite(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_fog(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_blend_mode(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_cull_mode(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_alpha_ref(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_zfunc(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_texture_filter(SceneObject *node, int32_t slot, uint32_t value);
void attach_set_fill_mode(SceneObject *node, int32_t slot, uint32_t value);
void attach_detach(SceneObject *node, int32_t slot);
void attach_detach_all(SceneObject *node);
uint32_t attach_get_model(SceneObject *node, int32_t slot);
// The matrix the attachment draws with: the caller's, its bone's world matrix (looked up now),
// or null for the owner's world matrix.
const Mat4 *attach_get_bone_matrix(SceneObject *node, int32_t slot);
uint32_t attach_get_diffuse(SceneObject *node, int32_t slot); // 0xFFFFFFFF for an empty slot
uint16_t attach_get_shader(SceneObject *node, int32_t slot);
NodeMaterial *attach_material(SceneObject *node, int32_t slot);
uint8_t *attach_parameters(SceneObject *node, int32_t slot);

// The node's attachments in the animated kind's draw: not blended ones, then blended ones,
// slots 0-19 in each pass.
void attach_draw_all(SceneObject *node, const NodePassCamera *camera, int32_t *last_model,
                     PointLight *const *lights, int32_t light_count);
