// The mesh draw shared by the model and animated kinds (and their attachments), the pass camera
// that every node callback culls against, and the shader bind wrappers.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "scene/node_material.h"
#include "scene/object_manager.h"

struct PointLight;
struct ModelInstance;

enum : int32_t { NODE_MAX_LIGHTS = 3 };

// Camera of the current pass: the active aux camera, the mirror camera or the view's camera.
struct NodePassCamera {
    Vec3 position;
    const FrustumPlanes *planes;
    float far_limit_sq;
    bool aux, mirror;
    uint32_t view_fog; // 1 when the view's fog mode is on
};
void node_pass_camera(NodePassCamera *out);

// Whether a node with these flags (DrawFlags bit 5 aux, bit 6 mirror) takes part in the pass.
bool node_in_pass(const NodePassCamera *camera, uint32_t draw_flags);

struct NodeMeshDraw {
    uint32_t model;   // ResourceHandle; 0 draws nothing
    uint32_t texture; // override of the first subset's first texture, 0 none
    Mat4 *world;      // changed in place by a billboard mode
    const ModelInstance *instance;
    const NodeMaterial *material;
    uint32_t draw_flags;
    uint16_t shader_id;
    const void *params;
    float shader_float;
    PointLight *const *lights;
    int32_t light_count;
};
// Draws one model; `last_model` is the cell of the model whose buffers are bound.
void node_draw_mesh(const NodeMeshDraw *draw, const NodePassCamera *camera, int32_t *last_model);

// The model's buffers on stream 0 and the indices; each subset's textures and draw, the first
// subset's first stage taking `texture` when non-zero.
struct MeshBuffers;
struct ModelRecord;
void node_bind_buffers(const MeshBuffers *mesh);
void node_draw_subsets(const ModelRecord *record, uint32_t texture, int32_t filter);
uint32_t node_lighting_for(const MeshBuffers *mesh, uint32_t lighting_bit);

// Fixed states of a node run (after the queue is built) and the close of the run.
void node_begin_run(const NodePassCamera *camera, bool always_cull, int32_t linear_samplers);
void node_end_run(void);

void node_shader_bind_mesh(int32_t set, const void *params, int32_t pass_arg, int32_t decl,
                           const Mat4 *world, const NodeMaterial *material,
                           PointLight *const *lights, int32_t light_count);
void node_shader_bind_plain(int32_t set, const void *params, int32_t pass_arg, int32_t decl);

// Queue helpers: the group of a node by its flags, and the run's final order (opaque by key or
// distance, then blended and no-depth-write runs far first). Returns the number queued.
struct NodeQueueBuild {
    int32_t opaque, blended, nozwrite;
};
void node_queue_reset(NodeQueueBuild *q);
void node_queue_add(NodeQueueBuild *q, SceneObject *object, bool blended, bool zwrite);
int32_t node_queue_finish(NodeQueueBuild *q, bool opaque_by_key);
