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
    uint32_t material[4]; // per-material words
    uint32_t extra[4];    // four more words of the description's subset
    uint32_t spare[4];    // 0
    uint32_t spare_count; // how many spare words are in use (0)
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
    uint16_t primitive_total;
    uint16_t vertex_count, index_count;
    uint16_t spare;
    uint32_t counts_flags;
    uint32_t caller_flags;
    MeshBone *bones;
};

void gfx_release_mesh_buffers(MeshBuffers *mesh);
