// Model nodes: one static model (up to two levels of detail) under a world matrix. The head of
// the payload is shared with the animated node, so the render queue reads both kinds through
// one layout.
//
// Bounding data of a model. The mesh keeps six floats beside its box (MeshBuffers::extra_bounds,
// from the model file): the sphere centre x, y, z in model space, one further float, the radius
// and the radius squared. The draws use them as follows, every length scaled by the node's
// world scale s (the largest row length of its world matrix):
//   centre         = (e[0], e[1], e[2]), transformed by the world matrix;
//   radius         = e[4] x s, the sphere tested against the planes around that centre;
//   outer radius   = (|centre| + e[4]) x s, a sphere about the node's origin that holds the
//                    model (the file's fourth float is not relied on: its meaning is not fixed);
//   far allowance  = outer radius squared: a node is dropped once its squared camera distance
//                    exceeds the squared far limit by more than that.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "scene/node_material.h"
#include "scene/object_manager.h"

struct Collider;
struct ModelInstance;
struct MeshBuffers;

struct NodeLod {
    uint32_t model; // ResourceHandle; 0 ends the list
    float distance; // compared with squared camera distances
};

struct ModelNodeHead {
    uint16_t shader_id;
    uint16_t default_material; // 1 while the material holds its defaults
    uint8_t params[40];        // shader parameter block
    NodeMaterial material;
    float shader_float; // 1.0 after init
    Mat4 world;
    uint32_t chosen_model; // written by the draw each frame
    uint32_t alt_model;    // used in the aux and mirror passes when non-zero
    NodeLod lods[2];       // ascending by distance
    uint32_t draw_flags;
    Collider *collision;     // first collider, chained by the collider's own link
    ModelInstance *instance; // the animated node's instance; null for model nodes
    uint32_t texture;        // replaces the first texture of the first subset when non-zero
    Vec3 culled_centre;      // bounding-sphere centre in world space, written by the draw
    float culled_radius;
};

struct ModelNode {
    ModelNodeHead head;
};
static_assert(sizeof(ModelNode) <= OBJ_PAYLOAD_BYTES, "model node payload fits");

constexpr int32_t NODE_DEFAULT_LAYER = 52;
constexpr int32_t NODE_PARAM_BYTES = 40;

// The model's bounding sphere under a world matrix (see the mapping above).
struct NodeBounds {
    Vec3 centre; // world space
    float radius, outer_radius, far_allowance;
};
void node_model_bounds(NodeBounds *out, const MeshBuffers *mesh, const Mat4 *world);
float node_world_scale(const Mat4 *world);

int32_t mdlnode_kind_id(void);
bool mdlnode_is_model_node(const SceneObject *object);
ModelNodeHead *mdlnode_head(SceneObject *object); // null for other kinds
void node_show(SceneObject *object);
// Defaults of a new model or animated node (layer 52, shown).
void node_head_init(SceneObject *object, ModelNodeHead *head);

SceneObject *mdlnode_create(OwnerId owner, const Mat4 *world, uint32_t model, int32_t layer);
SceneObject *mdlnode_create_persistent(OwnerId owner, const Mat4 *world, uint32_t model,
                                       int32_t layer);

void mdlnode_set_lods(SceneObject *node, const NodeLod *pairs);
void mdlnode_set_model(SceneObject *node, uint32_t model);
uint16_t mdlnode_shader_for_model(uint32_t model);
void mdlnode_set_shader(SceneObject *node, uint16_t shader_id, const void *params, int32_t size);
void mdlnode_reset_shader(SceneObject *node);
uint32_t mdlnode_get_model(SceneObject *node);
void mdlnode_set_alt_model(SceneObject *node, uint32_t model);
Mat4 *mdlnode_world_matrix(SceneObject *node);
void mdlnode_set_texture(SceneObject *node, uint32_t texture);
uint32_t mdlnode_get_texture(SceneObject *node);
void mdlnode_set_shader_float(SceneObject *node, float value);

void mdlnode_set_material(SceneObject *node, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                          uint32_t specular, float power, float factor);
void mdlnode_set_ambient(SceneObject *node, uint32_t argb);
void mdlnode_set_diffuse(SceneObject *node, uint32_t argb);
void mdlnode_set_color(SceneObject *node, uint32_t argb);
void mdlnode_set_emissive(SceneObject *node, uint32_t argb);
void mdlnode_set_specular(SceneObject *node, uint32_t argb, float power);
void mdlnode_set_factor(SceneObject *node, float factor);
uint32_t mdlnode_get_diffuse(SceneObject *node);
NodeMaterial *mdlnode_material(SceneObject *node);

void mdlnode_set_blended(SceneObject *node, uint32_t value);
void mdlnode_set_lighting(SceneObject *node, uint32_t value);
void mdlnode_set_nearby_lights(SceneObject *node, uint32_t value);
void mdlnode_set_zwrite(SceneObject *node, uint32_t value);
void mdlnode_set_fog(SceneObject *node, uint32_t value);
void mdlnode_set_alt_pass1(SceneObject *node, uint32_t value);
void mdlnode_set_alt_pass2(SceneObject *node, uint32_t value);
void mdlnode_set_blend_mode(SceneObject *node, uint32_t value);
void mdlnode_set_cull_mode(SceneObject *node, uint32_t value);
void mdlnode_set_billboard(SceneObject *node, uint32_t value);
void mdlnode_set_sphere_culling(SceneObject *node, uint32_t value);
void mdlnode_set_alpha_ref(SceneObject *node, uint32_t value);
void mdlnode_set_zfunc(SceneObject *node, uint32_t value);
void mdlnode_set_texture_filter(SceneObject *node, uint32_t value);
void mdlnode_set_fill_mode(SceneObject *node, uint32_t value);

// Frustum tests.
bool node_sphere_in_frustum(const FrustumPlanes *planes, const Vec3 *centre, float radius);
// The planes of a frustum given with the view's view matrix (in `scratch`), or the view's
// culling planes when none is given.
const FrustumPlanes *node_frustum_planes(FrustumPlanes *scratch, int view,
                                         const FrustumParams *frustum);
bool mdlnode_outside_frustum(SceneObject *node, int view, const FrustumParams *frustum,
                             bool use_model);

// Kind callbacks.
void mdlnode_kind_init(SceneObject *object);
void mdlnode_kind_term(SceneObject *object);
void mdlnode_kind_draw(SceneObject **run, int32_t count);
void animnode_kind_draw(SceneObject **run, int32_t count);
