// Primitive nodes: geometry made at draw time by a callback. When the kind's draw reaches a node
// it sets the node's states and shader, then calls the callback, which emits vertices through
// the batch interface below or draws its own vertex arrays.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "scene/node_material.h"
#include "scene/object_manager.h"

struct Collider;
struct ProbeHit;
struct SceneObject;
typedef void (*PrimNodeCallback)(SceneObject *node, void *argument);

enum PrimMode : uint16_t { PRIM_TRIANGLES = 0, PRIM_LINES = 1, PRIM_POINTS = 2 };

// Batch vertex, format 0x152: position, normal, diffuse colour, one texture coordinate.
struct PrimVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(PrimVertex) == 36, "batch vertex is 36 bytes");
constexpr uint32_t PRIM_VERTEX_FVF = 0x152;
constexpr int32_t PRIM_BATCH_VERTICES = 16384;

struct PrimNode {
    uint16_t shader_id;
    uint16_t default_material;
    uint8_t params[40];
    NodeMaterial material;
    float shader_float;
    Mat4 world;
    uint32_t draw_flags;
    Collider *collision;
    PrimNodeCallback callback;
    void *argument;
    uint32_t has_sphere; // 1 when a centre was given
    Vec3 centre;         // local
    float radius;
    Vec3 culled_centre; // written by the draw
    uint32_t texture;
    uint16_t mode;
    uint16_t vertices;   // in the batch
    uint16_t primitives; // in the batch
    uint16_t building;   // vertices of the primitive being built
    uint16_t per_primitive;
    uint16_t per_flush;
    PrimVertex *area;
    Vec3 normal;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(PrimNode) <= OBJ_PAYLOAD_BYTES, "primitive node payload fits");

SceneObject *primnode_create(OwnerId owner, const Mat4 *world, int32_t layer); // one frame
SceneObject *primnode_create_persistent(OwnerId owner, const Mat4 *world, int32_t layer);
int32_t primnode_kind_id(void);
bool primnode_is_prim_node(const SceneObject *object);
PrimNode *primnode_of(SceneObject *object); // null for other kinds
Mat4 *primnode_world_matrix(SceneObject *node);

void primnode_set_callback(SceneObject *node, PrimNodeCallback callback, void *argument);
void primnode_set_texture(SceneObject *node, uint32_t texture);
void primnode_set_bounds(SceneObject *node, const Vec3 *centre, float radius);
void primnode_set_shader(SceneObject *node, uint16_t shader_id, const void *params, int32_t size);
void primnode_reset_shader(SceneObject *node);
void primnode_set_shader_float(SceneObject *node, float value);

void primnode_set_material(SceneObject *node, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor);
void primnode_set_ambient(SceneObject *node, uint32_t argb);
void primnode_set_diffuse(SceneObject *node, uint32_t argb);
void primnode_set_color(SceneObject *node, uint32_t argb);
void primnode_set_emissive(SceneObject *node, uint32_t argb);
void primnode_set_specular(SceneObject *node, uint32_t argb, float power);
void primnode_set_factor(SceneObject *node, float factor);
uint32_t primnode_get_diffuse(SceneObject *node);
NodeMaterial *primnode_material(SceneObject *node);

void primnode_set_blended(SceneObject *node, uint32_t value);
void primnode_set_lighting(SceneObject *node, uint32_t value);
void primnode_set_nearby_lights(SceneObject *node, uint32_t value);
void primnode_set_zwrite(SceneObject *node, uint32_t value);
void primnode_set_fog(SceneObject *node, uint32_t value);
void primnode_set_alt_pass1(SceneObject *node, uint32_t value);
void primnode_set_alt_pass2(SceneObject *node, uint32_t value);
void primnode_set_blend_mode(SceneObject *node, uint32_t value);
void primnode_set_cull_mode(SceneObject *node, uint32_t value);
void primnode_set_sphere_culling(SceneObject *node, uint32_t value);
void primnode_set_alpha_ref(SceneObject *node, uint32_t value);
void primnode_set_zfunc(SceneObject *node, uint32_t value);
void primnode_set_texture_filter(SceneObject *node, uint32_t value);
void primnode_set_fill_mode(SceneObject *node, uint32_t value);

bool primnode_outside_frustum(SceneObject *node, int view, const FrustumParams *frustum,
                              bool use_radius);

// Batch interface for geometry callbacks.
void primnode_begin(SceneObject *node, uint16_t mode, uint32_t texture);
void primnode_set_normal(SceneObject *node, const Vec3 *normal);
void primnode_set_normal_xyz(SceneObject *node, float x, float y, float z);
void primnode_set_vertex_color(SceneObject *node, uint32_t argb);
void primnode_set_uv(SceneObject *node, const Vec2 *uv);
void primnode_set_uv_xy(SceneObject *node, float u, float v);
void primnode_add_vertex(SceneObject *node, const Vec3 *position);
void primnode_add_vertex_xyz(SceneObject *node, float x, float y, float z);
void primnode_flush(SceneObject *node);
void primnode_end(SceneObject *node);
// Direct draws of the callback's own arrays. An indexed draw without indices uses the shared
// quad index list and is refused when the count runs past it or is not whole primitives.
void primnode_draw_vertices(SceneObject *node, uint16_t mode, uint32_t texture,
                            const PrimVertex *vertices, int32_t count);
bool primnode_draw_indexed(SceneObject *node, uint16_t mode, uint32_t texture,
                           const PrimVertex *vertices, int32_t vertex_count,
                           const uint16_t *indices, int32_t index_count);

void primnode_kind_init(SceneObject *object);
void primnode_kind_term(SceneObject *object);
void primnode_kind_draw(SceneObject **run, int32_t count);
