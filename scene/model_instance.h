// Model instances: a motion (per-frame key matrices) played on a frame hierarchy, with one
// InstanceBone per named frame holding its pose; target modes that bend bones towards points
// and matrices; swinging chains (scene/swing_chain.h) that move bones physically after the
// pose. Everything lives in one static model block. Main thread only.
#pragma once

#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"

struct SwingChain;
struct MeshBuffers;

constexpr int MODEL_INSTANCE_CAPACITY = 256;
constexpr int MODEL_BONE_CAPACITY = 6400;
constexpr int MODEL_CHAIN_CAPACITY = 64;
constexpr uint32_t MODEL_FRAME_ONE = 0x10000; // one frame in 16.16
constexpr uint8_t MODEL_NO_TRACK = 255;
constexpr uint32_t MODEL_ENDLESS = 0xFFFFFFFFu;

// ModelInstance::state bits.
enum : uint32_t {
    MODEL_BONE_COUNT_MASK = 0xFFu,
    MODEL_ROOT_MODE_SHIFT = 8, // 3 bits: 0 keep, 1 no x/z motion, 2 no motion, 3 no turn
    MODEL_REQUEST_SHIFT = 11,  // 5 bits: target mode k asked for sets 1 << (k - 1)
    MODEL_LOOP = 1u << 16,
    MODEL_BLENDED = 1u << 17, // the last pose was a cross-fade
    MODEL_MIRRORED = 1u << 18,
    MODEL_REVERSE = 1u << 19,
    MODEL_CHAINS = 1u << 20,
    MODEL_POSE_VALID = 1u << 21,
    MODEL_ROOT_SHIFT = 24, // root bone index, 255 none
};

// InstanceBone::flags bits.
enum : uint32_t {
    BONE_CHAIN_LENGTH_MASK = 0xFFu, // mode 1
    BONE_MODE_SHIFT = 8,            // 3 bits: target mode 0-4
    BONE_WORLD_CURRENT = 1u << 11,
    BONE_LOOK_NO_UP = 1u << 12,
    BONE_CHAIN_ON = 1u << 13,
};

struct InstanceBone {
    Mat4 world;         // pose x the node's world matrix; valid while BONE_WORLD_CURRENT
    Mat4 pose;          // model-space pose of this update
    Mat4 palette;       // rest pose; for a palette bone its offset applied before the pose
    Mat4 previous_pose; // pose of the last update (cross-fade source)
    // Modes 3 and 4: the matrix. Modes 1 and 2: the point in row 3, mode 2's up in row 1.
    Mat4 target;
    float weight;   // target weight 0..1
    uint32_t flags; // BONE_*
    uint8_t track;  // motion track of the frame's name, MODEL_NO_TRACK none
    uint8_t mirrored_track;
    uint8_t palette_index; // 255 when the palette model has no entry for this bone
    const char *name;      // frame name in the hierarchy
    uint32_t name_hash;
    SwingChain *chain;
    InstanceBone *parent; // null for a top frame
    InstanceBone *prev;
    InstanceBone *next;
};

struct ModelInstance {
    ResourceHandle hierarchy; // 0 none
    ResourceHandle motion;    // 0 none
    uint32_t state;           // MODEL_* bits, bone count in bits 0-7
    uint32_t speed;           // 16.16 frames per update
    uint32_t start_frame;     // 16.16
    uint32_t loop_start_frame;
    uint32_t current_frame;
    uint32_t loop_count;
    uint32_t loop_limit; // MODEL_ENDLESS: no limit
    uint32_t length;     // frame count << 16
    int32_t blend_length;
    int32_t blend_left;
    Vec3 root_position;
    Vec3 previous_root_position;
    Mat4 root_item;         // the root frame's own matrix, while has_root_item
    uint32_t has_root_item; // 0 when the hierarchy gave none
    InstanceBone *bones;    // in hierarchy order
    InstanceBone *bones_tail;
    const MeshBuffers *palette_model; // the mesh whose palette the last pose filled
    // The hierarchy record the bones were bound to: its data and creation stamp. Bones point
    // into that data and are dropped once the handle names another record.
    const uint8_t *hierarchy_data;
    uint32_t hierarchy_stamp;
    ModelInstance *prev;
    ModelInstance *next;
};

// Pools: model_init_pools zeroes the block (graphics start-up, scene reset); model_term_pools
// returns every record to its free list without zeroing (scene clear, shutdown). Neither runs on
// device loss or restore: live nodes keep their instances.
void model_init_pools(void);
void model_term_pools(void);
int32_t model_instances_used(void);
int32_t model_bones_used(void);
int32_t model_chains_used(void);

// Null when none is free. Defaults: speed 1.0, loop on, endless, no root bone.
ModelInstance *model_instance_alloc(void);
void model_instance_free(ModelInstance *instance);
// Frees the bones and zeroes every field but the links.
void model_instance_clear(ModelInstance *instance);

// Handles below 0 keep the current one; both 0 unbind. Returns 1 when the next pose should
// snap: a motion starts on an instance that had none, or the hierarchy changed.
int32_t model_set_hierarchy_motion(ModelInstance *instance, int32_t hierarchy, int32_t motion);

// One update: frame >= 0 sets that whole frame, below 0 advances by the speed. `world` may be
// null (identity). The palette model's bones get their palette entries. Swinging chains skip
// colliders of `chain_group`. snap: no cross-fade, the previous pose becomes this one.
void model_instance_pose(ModelInstance *instance, const Mat4 *world, int32_t frame,
                         const MeshBuffers *palette_model, uint16_t chain_group, int32_t snap);

void model_set_loop(ModelInstance *instance, int32_t on);
void model_set_loop_limit(ModelInstance *instance, uint32_t loops);
void model_set_mirrored(ModelInstance *instance, int32_t on);
void model_set_reverse(ModelInstance *instance, int32_t on);
void model_set_root_mode(ModelInstance *instance, int32_t mode);
// Frames per update, clamped to 0..65535 (NaN: 0), stored as 16.16 truncated.
void model_set_speed(ModelInstance *instance, float frames);
void model_set_blend_length(ModelInstance *instance, int32_t frames);
void model_start_blend(ModelInstance *instance);
// Current frame (16.16); the next root motion starts afresh.
void model_set_frame(ModelInstance *instance, uint32_t frame);

bool model_is_running(const ModelInstance *instance, uint32_t loops);
bool model_is_running_to_limit(const ModelInstance *instance);
bool model_at_start(const ModelInstance *instance);
bool model_at_end(const ModelInstance *instance);
void model_root_delta(const ModelInstance *instance, Vec3 *out);
// The root bone's sample at the current frame followed by the root frame's own matrix; out is
// unchanged when there is no root bone.
void model_root_matrix(const ModelInstance *instance, Mat4 *out);
// The root frame's own matrix, null when the hierarchy gave none.
const Mat4 *model_root_item(const ModelInstance *instance);

int32_t model_bone_count(const ModelInstance *instance);
int32_t model_root_index(const ModelInstance *instance);
// -1 / null when there is none.
int32_t model_bone_index(ModelInstance *instance, const char *name);
const char *model_bone_name(ModelInstance *instance, int32_t index);
InstanceBone *model_bone_at(ModelInstance *instance, int32_t index);
// The bone's world matrix, recomputed as pose x world when forced or not current (world null:
// identity); null when there is no such bone.
const Mat4 *model_bone_world(ModelInstance *instance, int32_t index, const Mat4 *world,
                             int32_t force);

// Targets, applied by the next pose and then cleared. False for a bone index out of range.
// Reach: the bone and up to chain_length - 1 bones above it (at least 3 in all) bend so that
// the bone's position moves towards the world point by the weight.
bool model_set_target_reach(ModelInstance *instance, int32_t bone, const Vec3 *point, float weight,
                            int32_t chain_length);
// Look: the bone turns to face the world point; up null: kept from the pose.
bool model_set_target_look(ModelInstance *instance, int32_t bone, const Vec3 *point, const Vec3 *up,
                           float weight);
// Local: the matrix applied before the bone's pose (children follow). World: a world-space
// matrix replacing the bone's pose (children keep the animated pose). A null matrix or weight
// 0 ends the target.
bool model_set_target_local(ModelInstance *instance, int32_t bone, const Mat4 *matrix, float weight,
                            int32_t swap_axes);
bool model_set_target_world(ModelInstance *instance, int32_t bone, const Mat4 *matrix, float weight,
                            int32_t swap_axes);

// Swinging chains on (or off) for every frame below the named one (null: the first bone).
// False without a hierarchy, or (on) before the instance was posed once.
bool model_enable_chains(ModelInstance *instance, const char *name, int32_t on);

uint32_t model_hash_name(const char *name);
