// Collision volumes of the node kinds (colliders bound to a node's world matrix, chained from the
// node's list head) and their debug drawing as one-frame primitive and model nodes.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "scene/object_manager.h"

struct Collider;
struct ProbeHit;

// Shared by every kind: the node's list head and world matrix.
void nodecoll_set_model(Collider **list, const Mat4 *world, ResourceHandle mesh, uint32_t filter,
                        bool ground);
void nodecoll_set_sphere(Collider **list, const Mat4 *world, const Vec3 *centre, float radius,
                         uint32_t filter);
void nodecoll_remove(Collider **list);
uint32_t nodecoll_probe_hit_count(const Collider *list);
bool nodecoll_get_probe_hit(const Collider *list, uint32_t n, ProbeHit *out);
bool nodecoll_set_flag1(Collider *list, bool on); // bit 1 on and bit 2 off; false without one
bool nodecoll_enable(Collider *list, bool on);    // bit 2; false without a collider
uint16_t nodecoll_group(const Collider *list);

// Model nodes.
void mdlnode_set_collision_model(SceneObject *node, ResourceHandle mesh, uint32_t filter);
void mdlnode_set_collision_sphere(SceneObject *node, const Vec3 *centre, float radius,
                                  uint32_t filter);
// The mesh volume while the node would show at least `min_pixels` of it, else a sphere of the
// size that shows that many pixels. A mesh whose data is too short for its size is refused.
void mdlnode_set_collision_auto(SceneObject *node, int view, const Mat4 *matrix,
                                ResourceHandle mesh, const Vec3 *centre, float min_pixels,
                                uint32_t filter);
void mdlnode_set_collision_sized(SceneObject *node, int view, const Mat4 *matrix, float size,
                                 const Vec3 *centre, float min_pixels, uint32_t filter);
void mdlnode_remove_collision(SceneObject *node);
uint32_t mdlnode_probe_hit_count(SceneObject *node);
bool mdlnode_get_probe_hit(SceneObject *node, uint32_t n, ProbeHit *out);
bool mdlnode_set_collision_flag1(SceneObject *node, bool on);
bool mdlnode_enable_collision(SceneObject *node, bool on);
uint16_t mdlnode_collision_group(SceneObject *node);
Collider *mdlnode_collision_list(SceneObject *node);

// Primitive nodes.
void primnode_set_collision_sphere(SceneObject *node, const Vec3 *centre, float radius,
                                   uint32_t filter);
void primnode_remove_collision(SceneObject *node);
uint32_t primnode_probe_hit_count(SceneObject *node);
bool primnode_get_probe_hit(SceneObject *node, uint32_t n, ProbeHit *out);
bool primnode_set_collision_flag1(SceneObject *node, bool on);
bool primnode_enable_collision(SceneObject *node, bool on);
uint16_t primnode_collision_group(SceneObject *node);
Collider *primnode_collision_list(SceneObject *node);

// Piece-mesh nodes: a new mesh collider takes part in ground queries.
void meshnode_set_collision_model(SceneObject *node, ResourceHandle mesh, uint32_t filter);
void meshnode_remove_collision(SceneObject *node);
uint32_t meshnode_probe_hit_count(SceneObject *node);
bool meshnode_get_probe_hit(SceneObject *node, uint32_t n, ProbeHit *out);
bool meshnode_set_collision_flag1(SceneObject *node, bool on);
bool meshnode_enable_collision(SceneObject *node, bool on);
uint16_t meshnode_collision_group(SceneObject *node);
Collider *meshnode_collision_list(SceneObject *node);

// Debug drawing of a node's colliders: 0x8000FFFF with flag bit 1, else 0x80FF0000.
constexpr int32_t COLDEBUG_LAYER = 45;
void coldebug_model_node(SceneObject *node, bool as_models);
void coldebug_prim_node(SceneObject *node);
void coldebug_mesh_node(SceneObject *node);
// A one-frame debug primitive node on layer 45 drawn by `geometry`: unlit, no depth writes, no
// fog, no culling of any kind, diffuse `color`.
typedef void (*PrimNodeCallback)(SceneObject *node, void *argument);
SceneObject *coldebug_prim_node_new(OwnerId owner, const Mat4 *world, uint32_t color,
                                    PrimNodeCallback geometry);
SceneObject *coldebug_add_sphere_wire(OwnerId owner, const Vec3 *centre, float radius,
                                      uint32_t color);
// Geometry of the debug discs: `points` points (at most 10) on a circle of the radius about the
// centre, turned by the camera's rotation so that it faces the camera, drawn as a triangle fan.
void primnode_camera_disc(SceneObject *node, const Vec3 *centre, float radius, int points,
                          const Mat4 *camera);
SceneObject *coldebug_add_mesh_wire(OwnerId owner, const Mat4 *transform, ResourceHandle mesh,
                                    uint32_t color);
