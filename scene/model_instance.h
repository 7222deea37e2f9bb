// A motion played on a frame hierarchy, with one InstanceBone per frame holding its pose.
#pragma once

#include <cstdint>

#include "math/math_types.h"

struct SwingChain;
struct MeshBuffers;

struct InstanceBone {
    Mat4 world;         // pose x the node's world matrix; valid while flags bit 11 is set
    Mat4 pose;          // model-space pose of this update
    Mat4 palette;       // the palette entry's offset matrix applied before the pose
    Mat4 previous_pose; // cross-fade source
    Mat4 target;        // matrix or point of the target modes
    float weight;       // target weight 0..1
    uint32_t flags;     // 0-7 chain length, 8-10 target mode, 11 world current, 12, 13
    uint8_t track;
    uint8_t mirrored_track;
    uint8_t palette_index; // 255 when the mesh palette has no entry for this bone
    const char *name;
    uint32_t name_hash;
    SwingChain *chain;
    InstanceBone *parent;
    InstanceBone *prev;
    InstanceBone *next;
};

struct ModelInstance {
    uint32_t hierarchy; // ResourceHandle, 0 none
    uint32_t motion;    // ResourceHandle, 0 none
    uint32_t state;     // 0-7 bone count, 8-10 root mode, 11-15 requests, 16 loop, ...
    uint32_t speed;     // 16.16 frames per update
    uint32_t start_frame;
    uint32_t loop_start_frame;
    uint32_t current_frame;
    uint32_t loop_count;
    uint32_t loop_limit; // 0xFFFFFFFF endless
    uint32_t length;     // frame count << 16
    int32_t blend_length;
    int32_t blend_left;
    Vec3 root_position;
    Vec3 previous_root_position;
    const Mat4 *root_matrix_item;
    InstanceBone *bones;
    InstanceBone *bones_tail;
    const MeshBuffers *palette_model; // the mesh whose palette the last pose filled
    ModelInstance *prev;
    ModelInstance *next;
};
