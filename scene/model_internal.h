// Shared by the model-instance files: the bone walk helpers and the target step of the pose.
#pragma once

#include "math/vec.h"
#include "resource/res_body_check.h"
#include "scene/model_instance.h"

// The bone's target mode applied to its fresh pose (the bone's `pose` is set); `top` is the
// matrix its children build on and is replaced in modes 1 to 3. `inverse_world` is null when
// the world matrix could not be inverted: modes 1, 2 and 4 are then skipped.
void model_apply_target(InstanceBone *bone, Mat4 *top, const Mat4 *inverse_world);

// True when the instance's bones still belong to the record its handle names; otherwise its
// bones are returned and the result is false.
bool model_bones_current(ModelInstance *instance);

// The track sampled at the instance's current frame (mirrored as the mirror bit asks); false
// when the track has no keys.
bool model_sample_track(const ModelInstance *instance, const InstanceBone *bone, Mat4 *out);

// True when every element lies within the value limit of stored bodies (false for NaN and the
// infinities). Poses are held to it: stored keys, rests and palette offsets are within it too,
// so a product of any two of them (a child's rest, a palette entry, a world matrix under a sane
// node) stays far inside the float range.
inline bool model_matrix_ok(const Mat4 &m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(m.m[i][j]) <= RES_VALUE_LIMIT)) return false;
    return true;
}

// The bone's world matrix (its pose, then the node's world matrix; the pose alone without one),
// marked current. Where that product would not be finite (only a node placed or scaled beyond
// any scene's reach), the bone takes the node's own placement.
void model_bone_place(InstanceBone *bone, const Mat4 *world);

inline uint32_t model_bone_mode(const InstanceBone *b) {
    return (b->flags >> BONE_MODE_SHIFT) & 7u;
}

// The unit vector, or zero when the squared length is below 1e-10.
inline Vec3 model_unit_or_zero(const Vec3 &v) {
    const float l = vec3_length(&v);
    return l > 0.0f ? Vec3{v.x / l, v.y / l, v.z / l} : Vec3{0.0f, 0.0f, 0.0f};
}
