// Shared by the model-instance files: the bone walk helpers and the target step of the pose.
#pragma once

#include "math/vec.h"
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

inline uint32_t model_bone_mode(const InstanceBone *b) {
    return (b->flags >> BONE_MODE_SHIFT) & 7u;
}

// The unit vector, or zero when the squared length is below 1e-10.
inline Vec3 model_unit_or_zero(const Vec3 &v) {
    const float l = vec3_length(&v);
    return l > 0.0f ? Vec3{v.x / l, v.y / l, v.z / l} : Vec3{0.0f, 0.0f, 0.0f};
}
