// Piece-mesh nodes: a chain of mesh pieces stored in world space, each with its own PieceFlags
// word, drawn under one shader, material and collision volume. The draw culls and sorts the
// pieces themselves rather than the node.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "scene/node_material.h"
#include "scene/object_manager.h"

struct Collider;
struct PieceEntry;

// PieceFlags: bit 0 visible, 1 blended, 2 lighting, 3 nearby lights, 4 depth writes, 5 fog,
// 6 aux pass, 7 mirror pass, 8-12 blend pair, 13-15 cull, 16-18 alpha reference, 19-21 depth
// compare, 22-23 texture filter, 24-25 fill.
constexpr uint32_t PIECE_FLAGS_DEFAULT = 0x0058013Du;

struct PieceMeshNode {
    uint16_t shader_id;
    uint16_t default_material;
    uint8_t params[40];
    NodeMaterial material;
    float shader_float; // 1.0; not passed to the draws of this kind
    Mat4 world;         // identity; only the collision volume uses it
    Collider *collision;
    PieceEntry *pieces;
};
static_assert(sizeof(PieceMeshNode) <= OBJ_PAYLOAD_BYTES, "piece-mesh node payload fits");

int32_t meshnode_kind_id(void);
bool meshnode_is_mesh_node(const SceneObject *object);
PieceMeshNode *meshnode_of(SceneObject *object); // null for other kinds
Mat4 *meshnode_world_matrix(SceneObject *node);
void meshnode_set_pieces(SceneObject *node, PieceEntry *chain);
void meshnode_set_material(SceneObject *node, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor);
void meshnode_set_ambient(SceneObject *node, uint32_t argb);
void meshnode_set_diffuse(SceneObject *node, uint32_t argb);
void meshnode_set_color(SceneObject *node, uint32_t argb);
void meshnode_set_emissive(SceneObject *node, uint32_t argb);
void meshnode_set_specular(SceneObject *node, uint32_t argb, float power);
void meshnode_set_factor(SceneObject *node, float factor);
uint32_t meshnode_get_diffuse(SceneObject *node);
NodeMaterial *meshnode_material(SceneObject *node);
void meshnode_set_shader(SceneObject *node, uint16_t shader_id, const void *params, int32_t size);
void meshnode_reset_shader(SceneObject *node);
void meshnode_init_piece_flags(uint32_t *flags);

void meshnode_kind_init(SceneObject *object);
void meshnode_kind_term(SceneObject *object);
void meshnode_kind_draw(SceneObject **run, int32_t count);
