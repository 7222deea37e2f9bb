// One mesh's device buffers and the subset and bone entries the mesh builder writes for it.
#pragma once
#include <cstdint>
#include "math/math_types.h"
#include "platform/gpu/gpu.h"

// One drawn subset: a triangle-list range of the index buffer and its material words.
struct MeshSubset {
    uint32_t primitive_type; // 4, triangle list
    uint32_t start_index;
    uint32_t primitive_count;
    uint32_t min_index;
    uint32_t vertex_span;
    uint32_t material[4];    // per-material words
    uint32_t extra[4];       // four more words of the description's subset
    uint32_t spare[3];       // 0
    uint32_t material_index; // the description subset (material) this entry was made from
    uint32_t spare_count;    // how many spare words are in use (0)
};
static_assert(sizeof(MeshSubset) == 72, "subset entry is 72 bytes");

struct MeshBone {
    const char *name;
    uint32_t hash;
    Mat4 offset;
};

// Bits of MeshBuffers::counts_flags.
enum : uint32_t {
    MESH_SUBSET_COUNT_MASK = 0xFF,
    MESH_BONE_COUNT_SHIFT = 8,
    MESH_TEXSET_COUNT_SHIFT = 16,
    MESH_FLAG_ELONGATED = 1u << 20, // largest box extent / smallest >= 3
    MESH_FLAG_COLORS = 1u << 21,    // per-vertex colours
};

struct MeshBuffers {
    GpuVertexBuffer *vertex_buffer;
    GpuIndexBuffer *index_buffer; // null without indices
    MeshSubset *subsets;
    void *materials;
    uint32_t vertex_format; // without the tangent bit 0x80
    uint32_t vertex_decl;   // declaration-table index of the full code (with 0x80)
    uint32_t stride;
    float extra_bounds[6];
    float box[6]; // min x, y, z then max x, y, z
    // 32-bit counts: an unindexed model may have more than 65,535 vertices and an indexed one
    // more than 65,535 indices (the indices themselves stay 16-bit).
    uint32_t primitive_total;
    uint32_t vertex_count, index_count;
    uint32_t counts_flags;
    uint32_t caller_flags;
    MeshBone *bones;
};

// The mesh description the model reader fills and the builder consumes. Arrays are per vertex
// unless said otherwise; absent attributes are null.
constexpr int MESH_MAX_TEX_SETS = 8;

struct MeshTexSet {
    const float *coords; // `components` floats per vertex
    uint32_t components; // 1-4
};

// One subset of the description (64 bytes in the data): a triangle range and material words.
struct MeshDescSubset {
    uint32_t first_triangle, last_triangle;
    uint32_t material[4];
    uint32_t extra[4];
    uint32_t reserved[6];
};

struct MeshDescBone {
    const char *name;
    uint32_t hash;
    const Mat4 *offset;
};

struct MeshDescription {
    const float *positions; // 3 floats
    const float *normals;   // 3 floats
    const uint32_t *colors; // ARGB
    MeshTexSet tex_sets[MESH_MAX_TEX_SETS];
    uint32_t tex_set_count;
    const float *weights;        // 4 floats per vertex, the first weight_count used
    const uint8_t *bone_indices; // 4 bytes per vertex
    uint32_t weight_count;       // 1-4 when skinned
    const float *tangents;       // 4 floats
    const uint16_t *indices;
    uint32_t vertex_count, index_count;
    const MeshDescBone *bones;
    uint32_t bone_count;
    const MeshDescSubset *subsets;
    uint32_t subset_count;
    void *materials;
    uint32_t material_count;
    float extra_bounds[6]; // sphere centre, one more float, radius, radius squared
    float box[6];          // min x, y, z then max x, y, z
};

// Builds the vertex and index buffers of a mesh and its subset and bone entries (in the caller's
// storage). Kept subset k carries the index of the description subset it came from. False on
// bad input (an index not below the vertex count, a subset past the index list, buffers above
// 4 GB), too small storage or a failed buffer; buffers made so far are released.
bool gfx_build_mesh_buffers(MeshBuffers *mesh, const MeshDescription *desc, MeshSubset *subsets,
                            uint32_t subset_capacity, MeshBone *bones, uint32_t bone_capacity,
                            uint32_t *out_subset_count, uint32_t *out_bone_count,
                            uint32_t caller_flags);
// Vertex code and stride of a description's layout; false for a layout that cannot be built.
bool gfx_mesh_layout(const MeshDescription *desc, uint32_t *code, uint32_t *stride);
void gfx_release_mesh_buffers(MeshBuffers *mesh);
