// The animated node's forwarding to its ModelInstance. Without an instance every operation
// does nothing and returns 0 (the bone index by name excepted, below).
#include <cmath>

#include "math/mat4.h"
#include "math/vec.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"

namespace {

ModelInstance *instance_of(SceneObject *node) {
    return animnode_instance(node);
}

// The root delta, flattened (y = 0) on request, turned by the world matrix's rotation on
// request.
void root_delta(SceneObject *node, Vec3 *out, bool flat, bool world) {
    ModelInstance *m = instance_of(node);
    if (!m || !out) return;
    Vec3 d;
    model_root_delta(m, &d);
    if (flat) d.y = 0.0f;
    if (world) {
        const Mat4 *w = animnode_world_matrix(node);
        Vec3 t;
        t.x = d.x * w->m[0][0] + d.y * w->m[1][0] + d.z * w->m[2][0];
        t.y = d.x * w->m[0][1] + d.y * w->m[1][1] + d.z * w->m[2][1];
        t.z = d.x * w->m[0][2] + d.y * w->m[1][2] + d.z * w->m[2][2];
        d = t;
    }
    *out = d;
}

} // namespace

uint32_t animnode_frame(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->current_frame >> 16 : 0;
}
uint32_t animnode_length(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->length >> 16 : 0;
}
uint32_t animnode_loop_count(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->loop_count : 0;
}
uint32_t animnode_total_frames(SceneObject *node) {
    return animnode_frame(node) + animnode_length(node) * animnode_loop_count(node);
}
bool animnode_is_running_to_limit(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m && model_is_running_to_limit(m);
}
bool animnode_is_running(SceneObject *node, uint32_t loops) {
    ModelInstance *m = instance_of(node);
    return m && model_is_running(m, loops);
}
bool animnode_was_blending(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m && (m->state & MODEL_BLENDED);
}
bool animnode_at_start(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m && model_at_start(m);
}
bool animnode_at_end(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m && model_at_end(m);
}
uint32_t animnode_start_frame(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->start_frame >> 16 : 0;
}
void animnode_set_start_frame(SceneObject *node, uint32_t frame) {
    if (ModelInstance *m = instance_of(node)) m->start_frame = frame << 16;
}
uint32_t animnode_loop_start(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->loop_start_frame >> 16 : 0;
}
void animnode_set_loop_start(SceneObject *node, uint32_t frame) {
    if (ModelInstance *m = instance_of(node)) m->loop_start_frame = frame << 16;
}

void animnode_set_frame(SceneObject *node, int32_t frame) {
    ModelInstance *m = instance_of(node);
    if (!m) return;
    // A motion without frames has only frame 0; otherwise start .. length - 1.
    const int64_t last = (int64_t)(m->length >> 16) - 1;
    int64_t f = frame;
    if (last < 0) {
        f = 0;
    } else {
        const int64_t start = m->start_frame >> 16;
        if (f > last) f = last;
        if (f < start) f = start;
    }
    model_set_frame(m, (uint32_t)f << 16);
}

uint32_t animnode_motion_handle(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->motion : 0;
}
uint32_t animnode_hierarchy_handle(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? m->hierarchy : 0;
}
void animnode_set_loop(SceneObject *node, bool on) {
    if (ModelInstance *m = instance_of(node)) model_set_loop(m, on ? 1 : 0);
}
void animnode_set_loop_limit(SceneObject *node, uint32_t limit) {
    if (ModelInstance *m = instance_of(node)) model_set_loop_limit(m, limit);
}
void animnode_set_reverse(SceneObject *node, bool on) {
    if (ModelInstance *m = instance_of(node)) model_set_reverse(m, on ? 1 : 0);
}
void animnode_set_speed(SceneObject *node, float frames) {
    if (ModelInstance *m = instance_of(node)) model_set_speed(m, frames);
}
void animnode_set_blend_length(SceneObject *node, int32_t frames) {
    if (ModelInstance *m = instance_of(node)) model_set_blend_length(m, frames);
}
void animnode_start_blend(SceneObject *node) {
    if (ModelInstance *m = instance_of(node)) model_start_blend(m);
}
void animnode_set_mirrored(SceneObject *node, bool on, int32_t blend) {
    ModelInstance *m = instance_of(node);
    if (!m) return;
    model_set_mirrored(m, on ? 1 : 0);
    if (blend) model_start_blend(m);
}
void animnode_set_root_mode(SceneObject *node, uint32_t mode) {
    if (ModelInstance *m = instance_of(node)) model_set_root_mode(m, (int32_t)mode);
}

void animnode_root_matrix(SceneObject *node, Mat4 *out) {
    ModelInstance *m = instance_of(node);
    if (m && out) model_root_matrix(m, out);
}
void animnode_root_xz(SceneObject *node, float *x, float *z) {
    animnode_root_xyz(node, x, nullptr, z);
}
void animnode_root_xyz(SceneObject *node, float *x, float *y, float *z) {
    ModelInstance *m = instance_of(node);
    if (!m) return;
    Mat4 r;
    mat4_identity(&r);
    model_root_matrix(m, &r);
    if (x) *x = r.m[3][0];
    if (y) *y = r.m[3][1];
    if (z) *z = r.m[3][2];
}
void animnode_root_rotation(SceneObject *node, EulerAngles *out) {
    ModelInstance *m = instance_of(node);
    if (!m || !out) return;
    Mat4 r;
    mat4_identity(&r);
    model_root_matrix(m, &r);
    mat4_to_euler_yaw_first(out, &r);
}
void animnode_root_delta(SceneObject *node, Vec3 *out) {
    root_delta(node, out, false, false);
}
void animnode_root_delta_world(SceneObject *node, Vec3 *out) {
    root_delta(node, out, false, true);
}
void animnode_root_delta_flat(SceneObject *node, Vec3 *out) {
    root_delta(node, out, true, false);
}
void animnode_root_delta_flat_world(SceneObject *node, Vec3 *out) {
    root_delta(node, out, true, true);
}
float animnode_root_distance(SceneObject *node) {
    Vec3 d = {0, 0, 0};
    root_delta(node, &d, false, false);
    const float sq = d.x * d.x + d.y * d.y + d.z * d.z;
    return sq < 1e-10f ? 0.0f : sqrtf(sq);
}
float animnode_root_distance_flat(SceneObject *node) {
    Vec3 d = {0, 0, 0};
    root_delta(node, &d, false, false);
    return sqrtf(d.x * d.x + d.z * d.z);
}

int32_t animnode_bone_count(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? model_bone_count(m) : 0;
}
// Without an instance the answer is -1 (no such bone), not the 0 of the other forwarders: 0 is
// a real bone's index, and a caller would then pose or attach to a bone that does not exist.
int32_t animnode_bone_index(SceneObject *node, const char *name) {
    ModelInstance *m = instance_of(node);
    return m ? model_bone_index(m, name) : -1;
}
const char *animnode_bone_name(SceneObject *node, int32_t index) {
    ModelInstance *m = instance_of(node);
    return m ? model_bone_name(m, index) : nullptr;
}
int32_t animnode_root_index(SceneObject *node) {
    ModelInstance *m = instance_of(node);
    return m ? model_root_index(m) : 0;
}
const Mat4 *animnode_bone_world(SceneObject *node, int32_t index, bool force) {
    ModelInstance *m = instance_of(node);
    return m ? model_bone_world(m, index, animnode_world_matrix(node), force ? 1 : 0) : nullptr;
}
const Mat4 *animnode_bone_world_by_name(SceneObject *node, const char *name, bool force) {
    return animnode_bone_world(node, animnode_bone_index(node, name), force);
}

bool animnode_set_target_reach(SceneObject *node, int32_t bone, const Vec3 *point, float weight,
                               uint32_t chain_length) {
    ModelInstance *m = instance_of(node);
    return m && model_set_target_reach(m, bone, point, weight, (int32_t)chain_length);
}
bool animnode_set_target_look(SceneObject *node, int32_t bone, const Vec3 *point, const Vec3 *up,
                              float weight) {
    ModelInstance *m = instance_of(node);
    return m && model_set_target_look(m, bone, point, up, weight);
}
bool animnode_set_target_local(SceneObject *node, int32_t bone, const Mat4 *matrix, float weight,
                               bool swap_axes) {
    ModelInstance *m = instance_of(node);
    return m && model_set_target_local(m, bone, matrix, weight, swap_axes ? 1 : 0);
}
bool animnode_set_target_world(SceneObject *node, int32_t bone, const Mat4 *matrix, float weight,
                               bool swap_axes) {
    ModelInstance *m = instance_of(node);
    return m && model_set_target_world(m, bone, matrix, weight, swap_axes ? 1 : 0);
}
bool animnode_set_target_reach_by_name(SceneObject *node, const char *bone, const Vec3 *point,
                                       float weight, uint32_t chain_length) {
    return animnode_set_target_reach(node, animnode_bone_index(node, bone), point, weight,
                                     chain_length);
}
bool animnode_set_target_look_by_name(SceneObject *node, const char *bone, const Vec3 *point,
                                      const Vec3 *up, float weight) {
    return animnode_set_target_look(node, animnode_bone_index(node, bone), point, up, weight);
}
bool animnode_set_target_local_by_name(SceneObject *node, const char *bone, const Mat4 *matrix,
                                       float weight, bool swap_axes) {
    return animnode_set_target_local(node, animnode_bone_index(node, bone), matrix, weight,
                                     swap_axes);
}
bool animnode_set_target_world_by_name(SceneObject *node, const char *bone, const Mat4 *matrix,
                                       float weight, bool swap_axes) {
    return animnode_set_target_world(node, animnode_bone_index(node, bone), matrix, weight,
                                     swap_axes);
}
bool animnode_enable_chains(SceneObject *node, const char *bone, bool on) {
    ModelInstance *m = instance_of(node);
    return m && model_enable_chains(m, bone, on ? 1 : 0);
}
