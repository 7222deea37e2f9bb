// Model instances: the model block's pools, binding a hierarchy and motion, the setters and the
// bone queries.
#include "scene/model_instance.h"

#include <cmath>
#include <cstring>

#include "collision/coll_list.h"
#include "math/mat4.h"
#include "resource/names.h"
#include "resource/res_frames.h"
#include "resource/res_motion.h"
#include "resource/res_pools.h"
#include "scene/model_internal.h"
#include "scene/swing_chain.h"

namespace {

struct ModelBlock {
    ModelInstance instances[MODEL_INSTANCE_CAPACITY];
    ModelInstance *active_head;
    ModelInstance *free_head;
    int32_t instances_used;
    InstanceBone bones[MODEL_BONE_CAPACITY];
    InstanceBone *bone_free_head;
    int32_t bones_used; // handed out minus returned
};

ModelBlock g_block;

// Every record chained into its free list in index order, the active list empty.
void chain_free_lists(void) {
    ModelBlock *b = &g_block;
    b->active_head = nullptr;
    b->instances_used = 0;
    b->free_head = coll_list_link_free(b->instances, MODEL_INSTANCE_CAPACITY);
    b->bones_used = 0;
    for (int i = 0; i < MODEL_BONE_CAPACITY; ++i) {
        b->bones[i].prev = nullptr;
        b->bones[i].next = i + 1 < MODEL_BONE_CAPACITY ? &b->bones[i + 1] : nullptr;
    }
    b->bone_free_head = &b->bones[0];
    swing_chain_pool_reset();
}

void free_bones(ModelInstance *in) {
    int32_t n = 0;
    InstanceBone *last = nullptr;
    for (InstanceBone *b = in->bones; b; b = b->next) {
        swing_chain_free(b->chain);
        b->chain = nullptr;
        last = b;
        ++n;
    }
    if (last) {
        last->next = g_block.bone_free_head;
        g_block.bone_free_head = in->bones;
        g_block.bones_used -= n;
    }
    in->bones = in->bones_tail = nullptr;
    in->state &= ~(MODEL_BONE_COUNT_MASK | MODEL_POSE_VALID);
    in->hierarchy_data = nullptr;
    in->hierarchy_stamp = 0;
}

// A list of n zeroed bones from the free head; false (and none) when fewer are free.
bool take_bones(ModelInstance *in, int32_t n) {
    if (n <= 0 || n > MODEL_BONE_CAPACITY - g_block.bones_used) return false;
    InstanceBone *prev = nullptr;
    for (int32_t i = 0; i < n; ++i) {
        InstanceBone *b = g_block.bone_free_head;
        g_block.bone_free_head = b->next;
        std::memset(b, 0, sizeof *b);
        b->track = b->mirrored_track = MODEL_NO_TRACK;
        b->palette_index = 255;
        mat4_identity(&b->pose);
        mat4_identity(&b->previous_pose);
        mat4_identity(&b->palette);
        mat4_identity(&b->world);
        mat4_identity(&b->target);
        b->prev = prev;
        if (prev)
            prev->next = b;
        else
            in->bones = b;
        prev = b;
    }
    in->bones_tail = prev;
    g_block.bones_used += n;
    return true;
}

void set_defaults(ModelInstance *in) {
    in->speed = MODEL_FRAME_ONE;
    in->loop_limit = MODEL_ENDLESS;
    in->state = MODEL_LOOP | (255u << MODEL_ROOT_SHIFT);
}

// The name with its first "_L_" turned into "_R_", else its first "_R_" into "_L_"; false when
// it has neither (or does not fit).
bool mirrored_name(const char *name, char *out, size_t size) {
    if (!name || std::strlen(name) + 1 > size) return false;
    std::strcpy(out, name);
    char *at = std::strstr(out, "_L_");
    if (at) {
        at[1] = 'R';
        return true;
    }
    at = std::strstr(out, "_R_");
    if (!at) return false;
    at[1] = 'L';
    return true;
}

uint8_t track_of(ResourceHandle motion, const char *name) {
    int32_t t = motion && name ? res_motion_track_index(motion, name) : -1;
    return t >= 0 && t < MODEL_NO_TRACK ? static_cast<uint8_t>(t) : MODEL_NO_TRACK;
}

// One bone per named frame, in list order, under the latest named frame at a shallower depth.
void bind_bones(ModelInstance *in) {
    FrameWalk w;
    FrameItem it;
    if (!res_frames_begin(&w, in->hierarchy)) return;
    const char *own = res_hierarchy_name(in->hierarchy);
    const NameHash own_hash = res_hash_name(own);
    InstanceBone *by_index[RES_FRAME_MAX_NAMED] = {};
    InstanceBone *b = in->bones;
    Mat4 matrix;
    bool has_matrix = false;
    uint32_t root = 255;
    while (b && res_frames_next(&w, &it)) {
        if (it.tag == RES_FRAME_MATRIX) {
            matrix = it.matrix;
            has_matrix = true;
            continue;
        }
        if (it.tag != RES_FRAME_NAME) continue;
        if (it.index < RES_FRAME_MAX_NAMED) by_index[it.index] = b;
        b->parent = it.parent >= 0 && it.parent < it.index ? by_index[it.parent] : nullptr;
        b->name = it.name;
        b->name_hash = it.hash;
        b->previous_pose = b->pose;
        if (root == 255 && own && it.name && it.hash == own_hash && !std::strcmp(it.name, own)) {
            root = static_cast<uint32_t>(it.index);
            in->root_item = matrix;
            in->has_root_item = has_matrix;
        }
        b->track = track_of(in->motion, it.name);
        char mirrored[256];
        b->mirrored_track = mirrored_name(it.name, mirrored, sizeof mirrored)
                                ? track_of(in->motion, mirrored)
                                : b->track;
        has_matrix = false;
        b = b->next;
    }
    in->state = (in->state & ~(0xFFu << MODEL_ROOT_SHIFT)) | root << MODEL_ROOT_SHIFT;
}

int32_t count_bones(const ModelInstance *in) {
    int32_t n = 0;
    for (const InstanceBone *b = in->bones; b; b = b->next) ++n;
    return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Pools

void model_init_pools(void) {
    std::memset(&g_block, 0, sizeof g_block);
    chain_free_lists();
}

void model_term_pools(void) {
    chain_free_lists();
}

int32_t model_instances_used(void) {
    return g_block.instances_used;
}

int32_t model_bones_used(void) {
    return g_block.bones_used;
}

ModelInstance *model_instance_alloc(void) {
    ModelInstance *in = coll_list_take(&g_block.free_head, &g_block.active_head);
    if (!in) return nullptr;
    g_block.instances_used += 1;
    set_defaults(in);
    return in;
}

void model_instance_clear(ModelInstance *in) {
    if (!in) return;
    free_bones(in);
    ModelInstance *prev = in->prev, *next = in->next;
    std::memset(in, 0, sizeof *in);
    in->prev = prev;
    in->next = next;
}

void model_instance_free(ModelInstance *in) {
    if (!in) return;
    model_instance_clear(in);
    coll_list_give_back(in, &g_block.free_head, &g_block.active_head);
    g_block.instances_used -= 1;
}

bool model_bones_current(ModelInstance *in) {
    const HierarchyRecord *r = res_hierarchy_record(in->hierarchy);
    if (r && r->frames && r->frames == in->hierarchy_data && r->stamp == in->hierarchy_stamp)
        return true;
    if (in->bones) free_bones(in);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Binding

int32_t model_set_hierarchy_motion(ModelInstance *in, int32_t hierarchy, int32_t motion) {
    if (!in) return 0;
    if (hierarchy == 0 && motion == 0) {
        free_bones(in);
        in->hierarchy = in->motion = 0;
        in->length = 0;
        return 0;
    }
    int32_t snap = 0;
    if (hierarchy >= 0) {
        const HierarchyRecord *r = res_hierarchy_record(static_cast<ResourceHandle>(hierarchy));
        if (!r) return 0;
        const bool same = static_cast<ResourceHandle>(hierarchy) == in->hierarchy && in->bones &&
                          model_bones_current(in);
        if (!same) {
            // Fresh bones hold no pose of anyone: the next pose snaps instead of fading.
            free_bones(in);
            in->hierarchy = static_cast<ResourceHandle>(hierarchy);
            if (take_bones(in, static_cast<int32_t>(r->named_count))) {
                in->hierarchy_data = r->frames;
                in->hierarchy_stamp = r->stamp;
            }
            snap = 1;
        }
    }
    if (!res_hierarchy_record(in->hierarchy)) return 0;
    if (in->motion && !snap) {
        in->blend_left = in->blend_length;
    } else {
        in->blend_left = 0;
        snap = 1;
    }
    if (motion >= 0) in->motion = static_cast<ResourceHandle>(motion);
    in->state = (in->state & ~(MODEL_BONE_COUNT_MASK | MODEL_POSE_VALID)) |
                (static_cast<uint32_t>(count_bones(in)) & MODEL_BONE_COUNT_MASK);
    in->current_frame = in->start_frame;
    in->loop_count = 0;
    in->has_root_item = 0;
    in->length = res_motion_length(in->motion) << 16;
    bind_bones(in);
    return snap;
}

// ---------------------------------------------------------------------------------------------
// Setters and queries

void model_set_loop(ModelInstance *in, int32_t on) {
    if (in) in->state = on ? in->state | MODEL_LOOP : in->state & ~MODEL_LOOP;
}

void model_set_loop_limit(ModelInstance *in, uint32_t loops) {
    if (in) in->loop_limit = loops;
}

void model_set_mirrored(ModelInstance *in, int32_t on) {
    if (in) in->state = on ? in->state | MODEL_MIRRORED : in->state & ~MODEL_MIRRORED;
}

void model_set_reverse(ModelInstance *in, int32_t on) {
    if (in) in->state = on ? in->state | MODEL_REVERSE : in->state & ~MODEL_REVERSE;
}

void model_set_root_mode(ModelInstance *in, int32_t mode) {
    if (in)
        in->state = (in->state & ~(7u << MODEL_ROOT_MODE_SHIFT)) |
                    (static_cast<uint32_t>(mode) & 7u) << MODEL_ROOT_MODE_SHIFT;
}

void model_set_speed(ModelInstance *in, float frames) {
    if (!in) return;
    if (!(frames > 0.0f)) frames = 0.0f; // NaN too
    if (frames > 65535.0f) frames = 65535.0f;
    in->speed = static_cast<uint32_t>(frames * 65536.0f);
}

void model_set_blend_length(ModelInstance *in, int32_t frames) {
    if (!in) return;
    in->blend_length = frames > 0 ? frames : 0;
    if (in->blend_length == 0) in->blend_left = 0;
}

void model_start_blend(ModelInstance *in) {
    if (in) in->blend_left = in->blend_length;
}

void model_set_frame(ModelInstance *in, uint32_t frame) {
    if (!in) return;
    in->current_frame = frame;
    in->state &= ~MODEL_POSE_VALID;
}

bool model_is_running(const ModelInstance *in, uint32_t loops) {
    if (!in) return false;
    if (in->state & MODEL_LOOP) return in->loop_count <= loops;
    return static_cast<int64_t>(in->current_frame) <
           static_cast<int64_t>(in->length) - MODEL_FRAME_ONE;
}

bool model_is_running_to_limit(const ModelInstance *in) {
    return in && model_is_running(in, in->loop_limit);
}

bool model_at_start(const ModelInstance *in) {
    if (!in) return false;
    const uint64_t start = in->start_frame;
    return start <= in->current_frame && in->current_frame < start + MODEL_FRAME_ONE;
}

bool model_at_end(const ModelInstance *in) {
    if (!in || in->length < MODEL_FRAME_ONE) return false;
    return in->length - MODEL_FRAME_ONE <= in->current_frame && in->current_frame < in->length;
}

void model_root_delta(const ModelInstance *in, Vec3 *out) {
    if (!in || !out) return;
    out->x = in->root_position.x - in->previous_root_position.x;
    out->y = in->root_position.y - in->previous_root_position.y;
    out->z = in->root_position.z - in->previous_root_position.z;
}

const Mat4 *model_root_item(const ModelInstance *in) {
    return in && in->has_root_item ? &in->root_item : nullptr;
}

int32_t model_bone_count(const ModelInstance *in) {
    return in ? static_cast<int32_t>(in->state & MODEL_BONE_COUNT_MASK) : 0;
}

int32_t model_root_index(const ModelInstance *in) {
    return in ? static_cast<int32_t>(in->state >> MODEL_ROOT_SHIFT) : 255;
}

InstanceBone *model_bone_at(ModelInstance *in, int32_t index) {
    if (!in || index < 0 || !model_bones_current(in)) return nullptr;
    InstanceBone *b = in->bones;
    for (; b && index > 0; --index) b = b->next;
    return b;
}

int32_t model_bone_index(ModelInstance *in, const char *name) {
    if (!in || !name || !model_bones_current(in)) return -1;
    const NameHash hash = res_hash_name(name);
    int32_t i = 0;
    for (const InstanceBone *b = in->bones; b; b = b->next, ++i)
        if (b->name && b->name_hash == hash && !std::strcmp(b->name, name)) return i;
    return -1;
}

const char *model_bone_name(ModelInstance *in, int32_t index) {
    const InstanceBone *b = model_bone_at(in, index);
    return b ? b->name : nullptr;
}

const Mat4 *model_bone_world(ModelInstance *in, int32_t index, const Mat4 *world, int32_t force) {
    InstanceBone *b = model_bone_at(in, index);
    if (!b) return nullptr;
    if (force || !(b->flags & BONE_WORLD_CURRENT)) model_bone_place(b, world);
    return &b->world;
}

uint32_t model_hash_name(const char *name) {
    return res_hash_name(name);
}

// ---------------------------------------------------------------------------------------------
// Target setters

static InstanceBone *target_bone(ModelInstance *in, int32_t bone, uint32_t mode) {
    InstanceBone *b = model_bone_at(in, bone);
    if (!b) return nullptr;
    b->flags = (b->flags & ~(7u << BONE_MODE_SHIFT | BONE_LOOK_NO_UP)) | mode << BONE_MODE_SHIFT;
    if (mode) in->state |= 1u << (MODEL_REQUEST_SHIFT + mode - 1);
    return b;
}

bool model_set_target_reach(ModelInstance *in, int32_t bone, const Vec3 *point, float weight,
                            int32_t chain_length) {
    InstanceBone *b = target_bone(in, bone, point ? 1 : 0);
    if (!b) return false;
    if (!point) return true;
    uint32_t len = chain_length < 3 ? 3u : chain_length > 255 ? 255u : (uint32_t)chain_length;
    b->flags = (b->flags & ~BONE_CHAIN_LENGTH_MASK) | len;
    b->target.m[3][0] = point->x;
    b->target.m[3][1] = point->y;
    b->target.m[3][2] = point->z;
    b->weight = weight;
    return true;
}

bool model_set_target_look(ModelInstance *in, int32_t bone, const Vec3 *point, const Vec3 *up,
                           float weight) {
    InstanceBone *b = target_bone(in, bone, point ? 2 : 0);
    if (!b) return false;
    if (!point) return true;
    b->target.m[3][0] = point->x;
    b->target.m[3][1] = point->y;
    b->target.m[3][2] = point->z;
    const Vec3 u = up ? *up : Vec3{1.0f, 0.0f, 0.0f};
    b->target.m[1][0] = u.x;
    b->target.m[1][1] = u.y;
    b->target.m[1][2] = u.z;
    if (!up) b->flags |= BONE_LOOK_NO_UP;
    b->weight = weight;
    return true;
}

static bool set_target_matrix(ModelInstance *in, int32_t bone, const Mat4 *m, float weight,
                              int32_t swap, uint32_t mode) {
    const bool on = m && weight != 0.0f;
    InstanceBone *b = target_bone(in, bone, on ? mode : 0);
    if (!b) return false;
    if (on) {
        if (swap)
            mat4_swap_axes(&b->target, m);
        else
            b->target = *m;
        b->weight = weight;
    } else {
        mat4_identity(&b->target);
        b->weight = 0.0f;
    }
    return true;
}

bool model_set_target_local(ModelInstance *in, int32_t bone, const Mat4 *m, float weight,
                            int32_t swap) {
    return set_target_matrix(in, bone, m, weight, swap, 3);
}

bool model_set_target_world(ModelInstance *in, int32_t bone, const Mat4 *m, float weight,
                            int32_t swap) {
    return set_target_matrix(in, bone, m, weight, swap, 4);
}
