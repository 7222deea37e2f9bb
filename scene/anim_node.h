// Animated model nodes: a model node that owns a ModelInstance for skinned or hierarchical
// animation, carries up to 20 attachments (scene/attachment.h) and can give each frame of its
// hierarchy a collider. Most of the API forwards to the instance; frames are whole frames.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/names.h"
#include "scene/attachment.h"
#include "scene/model_node.h"

struct Collider;
struct InstanceBone;
struct ProbeHit;

// The model node's head (shared, so the node queue reads both kinds alike; head.instance holds
// the ModelInstance), then the attachment slots as pool index + 1 (0 empty).
struct AnimModelNode {
    ModelNodeHead head;
    uint16_t slots[ATTACH_SLOT_COUNT];
};
static_assert(sizeof(AnimModelNode) <= OBJ_PAYLOAD_BYTES, "animated node payload fits");

// Depth of the frame names kept by animnode_for_each_bone_pair.
constexpr int32_t ANIMNODE_PAIR_DEPTH = 64;

typedef void (*AnimBonePairFn)(SceneObject *node, InstanceBone *parent, const char *parent_name,
                               InstanceBone *child, const char *child_name, void *argument);

AnimModelNode *animnode_of(SceneObject *object); // null for other kinds
ModelInstance *animnode_instance(SceneObject *node);

// Creation and identity: a persistent node; null when the object pool is empty.
SceneObject *animnode_create(OwnerId owner, const Mat4 *world, uint32_t model, int32_t layer);
int32_t animnode_kind_id(void);
bool animnode_is_anim_node(const SceneObject *object);
Mat4 *animnode_world_matrix(SceneObject *node);

// Models and shader. The shader setter hands its id and the whole parameter block on to every
// occupied attachment slot.
void animnode_set_lods(SceneObject *node, const NodeLod *pairs);
void animnode_set_model(SceneObject *node, uint32_t model);
void animnode_set_shader(SceneObject *node, uint16_t shader_id, const void *params, int32_t size);
void animnode_reset_shader(SceneObject *node);
uint32_t animnode_get_model(SceneObject *node);
void animnode_set_alt_model(SceneObject *node, uint32_t model);
void animnode_set_texture(SceneObject *node, uint32_t texture);
void animnode_set_shader_float(SceneObject *node, float value);

void animnode_set_material(SceneObject *node, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor);
void animnode_set_ambient(SceneObject *node, uint32_t argb);
void animnode_set_diffuse(SceneObject *node, uint32_t argb);
void animnode_set_color(SceneObject *node, uint32_t argb);
void animnode_set_emissive(SceneObject *node, uint32_t argb);
void animnode_set_specular(SceneObject *node, uint32_t argb, float power);
void animnode_set_factor(SceneObject *node, float factor);

void animnode_set_blended(SceneObject *node, uint32_t value);
void animnode_set_lighting(SceneObject *node, uint32_t value);
void animnode_set_nearby_lights(SceneObject *node, uint32_t value);
void animnode_set_zwrite(SceneObject *node, uint32_t value);
void animnode_set_fog(SceneObject *node, uint32_t value);
void animnode_set_alt_pass1(SceneObject *node, uint32_t value);
void animnode_set_alt_pass2(SceneObject *node, uint32_t value);
void animnode_set_blend_mode(SceneObject *node, uint32_t value);
void animnode_set_cull_mode(SceneObject *node, uint32_t value);
void animnode_set_sphere_culling(SceneObject *node, uint32_t value);
void animnode_set_alpha_ref(SceneObject *node, uint32_t value);
void animnode_set_zfunc(SceneObject *node, uint32_t value);
void animnode_set_texture_filter(SceneObject *node, uint32_t value);
void animnode_set_fill_mode(SceneObject *node, uint32_t value);

// The test point is the instance's root position under the world matrix when the instance
// has a root matrix item, else the world matrix's position.
bool animnode_outside_frustum(SceneObject *node, int view, const FrustumParams *frustum,
                              bool use_model);

// Motion. set_motion binds the hierarchy and motion (negative keeps the current one), poses
// once at the start frame and, with colliders, rebuilds the frame colliders. update poses once
// (frame < 0 advances by the speed).
void animnode_set_motion(SceneObject *node, int32_t hierarchy, int32_t motion);
void animnode_update(SceneObject *node, int32_t frame);

// Forwarding to the instance (nothing, 0 or false without one). Frames are whole frames.
uint32_t animnode_frame(SceneObject *node);
uint32_t animnode_length(SceneObject *node);
uint32_t animnode_loop_count(SceneObject *node);
uint32_t animnode_total_frames(SceneObject *node); // current + length x loops
bool animnode_is_running_to_limit(SceneObject *node);
bool animnode_is_running(SceneObject *node, uint32_t loops);
bool animnode_was_blending(SceneObject *node);
bool animnode_at_start(SceneObject *node);
bool animnode_at_end(SceneObject *node);
uint32_t animnode_start_frame(SceneObject *node);
void animnode_set_start_frame(SceneObject *node, uint32_t frame);
uint32_t animnode_loop_start(SceneObject *node);
void animnode_set_loop_start(SceneObject *node, uint32_t frame);
// Clamped to start .. length - 1; frame 0 on a motion without frames.
void animnode_set_frame(SceneObject *node, int32_t frame);
uint32_t animnode_motion_handle(SceneObject *node);
uint32_t animnode_hierarchy_handle(SceneObject *node);
void animnode_set_loop(SceneObject *node, bool on);
void animnode_set_loop_limit(SceneObject *node, uint32_t limit);
void animnode_set_reverse(SceneObject *node, bool on);
void animnode_set_speed(SceneObject *node, float frames);
void animnode_set_blend_length(SceneObject *node, int32_t frames);
void animnode_start_blend(SceneObject *node);
void animnode_set_mirrored(SceneObject *node, bool on, int32_t blend);
void animnode_set_root_mode(SceneObject *node, uint32_t mode);
void animnode_root_xz(SceneObject *node, float *x, float *z);
void animnode_root_xyz(SceneObject *node, float *x, float *y, float *z);
void animnode_root_rotation(SceneObject *node, EulerAngles *out);
void animnode_root_matrix(SceneObject *node, Mat4 *out);
void animnode_root_delta(SceneObject *node, Vec3 *out);
void animnode_root_delta_world(SceneObject *node, Vec3 *out);
void animnode_root_delta_flat(SceneObject *node, Vec3 *out);
void animnode_root_delta_flat_world(SceneObject *node, Vec3 *out);
float animnode_root_distance(SceneObject *node);
float animnode_root_distance_flat(SceneObject *node);
int32_t animnode_bone_count(SceneObject *node);
int32_t animnode_bone_index(SceneObject *node, const char *name);
const char *animnode_bone_name(SceneObject *node, int32_t index);
int32_t animnode_root_index(SceneObject *node);
const Mat4 *animnode_bone_world(SceneObject *node, int32_t index, bool force);
const Mat4 *animnode_bone_world_by_name(SceneObject *node, const char *name, bool force);
bool animnode_set_target_reach(SceneObject *node, int32_t bone, const Vec3 *point, float weight,
                               uint32_t chain_length);
bool animnode_set_target_look(SceneObject *node, int32_t bone, const Vec3 *point, const Vec3 *up,
                              float weight);
bool animnode_set_target_local(SceneObject *node, int32_t bone, const Mat4 *matrix, float weight,
                               bool swap_axes);
bool animnode_set_target_world(SceneObject *node, int32_t bone, const Mat4 *matrix, float weight,
                               bool swap_axes);
bool animnode_set_target_reach_by_name(SceneObject *node, const char *bone, const Vec3 *point,
                                       float weight, uint32_t chain_length);
bool animnode_set_target_look_by_name(SceneObject *node, const char *bone, const Vec3 *point,
                                      const Vec3 *up, float weight);
bool animnode_set_target_local_by_name(SceneObject *node, const char *bone, const Mat4 *matrix,
                                       float weight, bool swap_axes);
bool animnode_set_target_world_by_name(SceneObject *node, const char *bone, const Mat4 *matrix,
                                       float weight, bool swap_axes);
bool animnode_enable_chains(SceneObject *node, const char *bone, bool on);

// Frame collision: every bone whose frame has a collision mesh "CM_" + its name in the
// hierarchy's group gets a mesh collider on the bone's world matrix (hierarchy -1: the
// instance's own).
void animnode_build_frame_collision(SceneObject *node, int32_t hierarchy, uint32_t filter);
void animnode_remove_collision(SceneObject *node);
uint32_t animnode_probe_hit_count(SceneObject *node);
bool animnode_get_probe_hit(SceneObject *node, uint32_t n, ProbeHit *out);
bool animnode_set_collision_flag1_all(SceneObject *node, uint32_t on);
bool animnode_enable_collision_all(SceneObject *node, uint32_t on);
bool animnode_set_collision_flag1_named(SceneObject *node, const char *frame, uint32_t on);
bool animnode_enable_collision_named(SceneObject *node, const char *frame, uint32_t on);
int32_t animnode_collider_count(SceneObject *node);
// The collision debug drawing of the model node over the node's colliders.
void coldebug_anim_node(SceneObject *node, bool as_models);
Collider *animnode_collider_at(SceneObject *node, int32_t index);

// The skeleton as wire lines (posed: from the instance's bones).
int32_t animnode_draw_skeleton(SceneObject *node, bool labels, bool posed);
// Each parent-child pair of frames in list order; returns the pairs visited.
int32_t animnode_for_each_bone_pair(SceneObject *node, AnimBonePairFn callback, void *argument);
InstanceBone *animnode_find_bone(InstanceBone *bones, const char *name, NameHash hash);

// Kind callbacks.
void animnode_kind_init(SceneObject *object);
void animnode_kind_term(SceneObject *object);
