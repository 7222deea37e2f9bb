// Vertex and pixel shaders with their constants, and the 50 vertex declarations. Every draw
// calls shader_select before issuing its primitives: it picks a vertex and a pixel shader from
// the pair table by shader set, light count and the presence of a bone palette, binds them (or
// falls back to fixed-function drawing) and feeds their constants.
#pragma once

#include <cstddef>
#include <cstdint>

#include "math/math_types.h"
#include "platform/gpu/gpu.h"

struct GfxDevice;
struct NodeMaterial;
struct PointLight;
struct ModelInstance;
struct MeshBuffers;

enum : int {
    SHADER_VERTEX_SLOTS = 10,
    SHADER_PIXEL_SLOTS = 5,
    SHADER_SET_COUNT = 3,
    SHADER_DECL_COUNT = 50,
    SHADER_DECL_MAX_ELEMENTS = 16, // the longest code lists 14 elements and the end marker
    SHADER_PALETTE_SIZE = 128,
    SHADER_MAX_LIGHTS = 3,
    SHADER_SLOT_HANDLES = 13,
};

// One compiled shader and the handles of the constants its row looks up.
struct ShaderSlot {
    uint32_t loaded;
    GpuShader *shader; // also answers the constant look-ups
    uint32_t handles[SHADER_SLOT_HANDLES];
};

typedef void (*ShaderFindConstsFn)(ShaderSlot *slot);
typedef void (*ShaderSetConstsFn)(ShaderSlot *slot, const void *user, GfxDevice *device);

struct ShaderSlotDesc {
    const char *file; // null: no shader, fixed-function drawing
    uint32_t reserved;
    ShaderFindConstsFn find_consts;
    ShaderSetConstsFn set_consts;
};

struct ShaderSet {
    ShaderSlot vertex[SHADER_VERTEX_SLOTS];
    ShaderSlot pixel[SHADER_PIXEL_SLOTS];
    // Ambient term, ambient term 2, diffuse term, specular term (w = power), diffuse copy.
    Vec4 material[5];
    const Mat4 *world;     // the draw's world matrix, or null
    const Mat4 *inv_world; // &inv_world_matrix, or null without a world matrix
    Mat4 inv_world_matrix;
    Mat4 palette[SHADER_PALETTE_SIZE];
    uint32_t palette_count;
    GpuVertexDecl *decls[SHADER_DECL_COUNT];
    // Matrices of the camera the pass draws with.
    const Mat4 *pass_view, *pass_camera, *pass_proj, *pass_view_proj, *pass_proj_view;
    float pass_near, pass_far;
    // Per view: [0] both fog ranges, [1] the first range off.
    Vec4 fog_factors[2][2];
    Vec4 light_pos[SHADER_MAX_LIGHTS]; // w = radius
    Vec4 light_color[SHADER_MAX_LIGHTS];
    Vec4 light_range[SHADER_MAX_LIGHTS]; // (radius, radius squared, 0, 0)
    float value;
    uint32_t light_count;
    uint32_t current_set;
    int32_t last_vertex, last_pixel;
    GfxDevice *device;
    uint32_t flag;
};

void shader_load_all(void);
void shader_release_all(void);
void shader_reload(void);
ShaderSet *shader_get_set(void);

// Declarations: the table of 50 format codes, the first index of a code (0 when unknown), and
// the element list built from a code (out holds SHADER_DECL_MAX_ELEMENTS entries).
uint32_t shader_vertex_decl_code(int index);
int shader_find_vertex_decl(uint32_t code);
void shader_build_vertex_decl(GpuVertexElement *out, uint32_t code);

void shader_select(int32_t set, const void *user, int32_t selector, int32_t decl, const Mat4 *world,
                   const NodeMaterial *material, const MeshBuffers *mesh,
                   const ModelInstance *instance, float value, PointLight *const *lights,
                   int32_t light_count);

void shader_update_fog_constants(void);
void shader_set_light_params(const Mat4 *view, const Mat4 *camera, const Mat4 *proj,
                             const Mat4 *view_proj, const Mat4 *proj_view);
void shader_set_near_far(float near, float far);
uint32_t shader_get_flag(void);

// The five material constants from a material and the four light colours (float4 each).
void shader_build_material_constants(Vec4 *out1, Vec4 *out2, Vec4 *out3, Vec4 *out4, Vec4 *out5,
                                     const NodeMaterial *material, const Vec4 *light_colors);
bool shader_build_bone_palette(const MeshBuffers *mesh, const ModelInstance *instance);
// The number of bones a mesh lists (0 for none or no mesh).
uint32_t shader_mesh_bone_count(const MeshBuffers *mesh);
// Whether a render-state cache word (lighting, fog) counts as asked for.
bool shader_requested(uint32_t flag);

// Constant look-up of a compiled shader: 0 when it has no constant of that name.
uint32_t shader_find_constant(GpuShader *shader, const char *name);

// Per-slot callbacks.
void shader_find_consts_common(ShaderSlot *slot);
void shader_find_consts_pcommon(ShaderSlot *slot);
void shader_find_consts_v1(ShaderSlot *slot);
void shader_find_consts_v2(ShaderSlot *slot);
void shader_find_consts_v6(ShaderSlot *slot);
void shader_find_consts_p1(ShaderSlot *slot);
void shader_find_consts_p3(ShaderSlot *slot);
void shader_set_consts_common(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_pcommon(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_v1(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_v2(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_v6(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_p1(ShaderSlot *slot, const void *user, GfxDevice *device);
void shader_set_consts_p3(ShaderSlot *slot, const void *user, GfxDevice *device);
