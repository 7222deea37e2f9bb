// Swinging chains: bones below a chosen frame of a model instance (hair, strips, tails) handed
// to a point-mass step after the pose: pulled down, kept at their rest distance from the parent,
// damped, and kept above the ground; the bones then turn to follow their points.
#pragma once

#include <cstdint>

#include "math/math_types.h"

struct ModelInstance;

struct SwingChain {
    Vec3 position; // world space
    Vec3 previous_position;
    Vec3 velocity;
    float rest_length; // distance to the parent's point when enabled
    Mat4 world_copy;   // the bone's matrices at the start of the step
    Mat4 pose_copy;
    SwingChain *prev;
    SwingChain *next;
};

// Null when the pool of 64 is empty.
SwingChain *swing_chain_alloc(void);
void swing_chain_free(SwingChain *chain);
void swing_chain_pool_reset(void);

// One step over the instance's chained bones; colliders of `group` are not ground.
void swing_chain_simulate(ModelInstance *instance, const Mat4 *world, const Mat4 *inverse_world,
                          uint16_t group);

// An orthonormal matrix whose row 0 points from origin to target; its translation is the target
// (move) or the source's. A zero-length aim keeps the source's rotation.
Mat4 *swing_chain_aim(Mat4 *out, const Mat4 *source, const Vec3 *origin, const Vec3 *target,
                      int32_t move);
