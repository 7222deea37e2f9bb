#include "render/gfx_mesh.h"

#include <cmath>
#include <cstring>

#include "render/shader.h"

namespace {

constexpr uint32_t FVF_XYZ = 0x2;
constexpr uint32_t FVF_NORMAL = 0x10;
constexpr uint32_t FVF_DIFFUSE = 0x40;
constexpr uint32_t FVF_TANGENT = 0x80; // declaration code only
constexpr uint32_t FVF_TEX_SHIFT = 8;
constexpr uint32_t SKIN_CODES[4] = {0x1008, 0x100A, 0x100C, 0x100E};
constexpr uint32_t TEX_SIZE_BITS[5] = {0, 3, 0, 1, 2}; // by dimension 1-4

bool skinned(const MeshDescription *d) {
    return d->weights && d->bone_indices;
}

// Signed extent with a floor of 1e-5 in magnitude (0 counts as +1e-5).
float extent_floor(float e) {
    if (std::fabs(e) < 1e-5f) return e < 0.0f ? -1e-5f : 1e-5f;
    return e;
}

} // namespace

bool gfx_mesh_layout(const MeshDescription *d, uint32_t *code_out, uint32_t *stride_out) {
    uint32_t code = 0, stride = 0;
    if (skinned(d)) {
        if (d->weight_count < 1 || d->weight_count > 4) return false;
        code = SKIN_CODES[d->weight_count - 1];
        stride = 12 + 4 * d->weight_count + 4;
    } else {
        code = FVF_XYZ;
        stride = 12;
    }
    if (d->normals) {
        code |= FVF_NORMAL;
        stride += 12;
    }
    if (d->colors) {
        code |= FVF_DIFFUSE;
        stride += 4;
    }
    if (d->tex_set_count > MESH_MAX_TEX_SETS) return false;
    code |= d->tex_set_count << FVF_TEX_SHIFT;
    for (uint32_t s = 0; s < d->tex_set_count; ++s) {
        const uint32_t dim = d->tex_sets[s].components;
        if (dim < 1 || dim > 4 || !d->tex_sets[s].coords) return false;
        code |= TEX_SIZE_BITS[dim] << (16 + 2 * s);
        stride += 4 * dim;
    }
    if (d->tangents) {
        code |= FVF_TANGENT;
        stride += 16;
    }
    if (code_out) *code_out = code;
    if (stride_out) *stride_out = stride;
    return true;
}

static void write_vertices(const MeshDescription *d, uint8_t *out, uint32_t stride) {
    for (uint32_t v = 0; v < d->vertex_count; ++v) {
        uint8_t *p = out + (size_t)v * stride;
        memcpy(p, d->positions + v * 3, 12);
        p += 12;
        if (skinned(d)) {
            memcpy(p, d->weights + v * 4, 4 * d->weight_count);
            p += 4 * d->weight_count;
            memcpy(p, d->bone_indices + v * 4, 4);
            p += 4;
        }
        if (d->normals) {
            memcpy(p, d->normals + v * 3, 12);
            p += 12;
        }
        if (d->colors) {
            memcpy(p, d->colors + v, 4);
            p += 4;
        }
        for (uint32_t s = 0; s < d->tex_set_count; ++s) {
            const uint32_t dim = d->tex_sets[s].components;
            memcpy(p, d->tex_sets[s].coords + (size_t)v * dim, 4 * dim);
            p += 4 * dim;
        }
        if (d->tangents) memcpy(p, d->tangents + v * 4, 16);
    }
}

bool gfx_build_mesh_buffers(MeshBuffers *mesh, const MeshDescription *d, MeshSubset *subsets,
                            uint32_t subset_capacity, MeshBone *bones, uint32_t bone_capacity,
                            uint32_t *out_subset_count, uint32_t *out_bone_count,
                            uint32_t caller_flags) {
    if (!mesh || !d || !d->positions || d->vertex_count == 0) return false;
    memset(mesh, 0, sizeof(*mesh));
    uint32_t code = 0, stride = 0;
    if (!gfx_mesh_layout(d, &code, &stride)) return false;
    const bool indexed = d->indices && d->index_count > 0;
    // Buffer sizes in 64 bits; every index must name a vertex of the buffer.
    if ((uint64_t)d->vertex_count * stride > 0xFFFFFFFFu) return false;
    if (indexed) {
        if ((uint64_t)d->index_count * 2 > 0xFFFFFFFFu) return false;
        for (uint32_t i = 0; i < d->index_count; ++i)
            if (d->indices[i] >= d->vertex_count) return false;
    }
    if (d->subset_count > subset_capacity || (d->subset_count && (!subsets || !d->subsets)) ||
        (d->bone_count && (d->bone_count > bone_capacity || !bones || !d->bones)))
        return false;
    // Every subset's range must lie inside the index list (or the vertices, without one).
    const uint32_t corners = indexed ? d->index_count : d->vertex_count;
    for (uint32_t i = 0; i < d->subset_count; ++i) {
        const MeshDescSubset &s = d->subsets[i];
        if (s.last_triangle >= s.first_triangle && ((uint64_t)s.last_triangle + 1) * 3 > corners)
            return false;
    }

    mesh->vertex_buffer = gpu_vertex_buffer_create(d->vertex_count * stride);
    if (!mesh->vertex_buffer) return false;
    if (indexed) {
        mesh->index_buffer = gpu_index_buffer_create(d->index_count * 2);
        if (!mesh->index_buffer) {
            gfx_release_mesh_buffers(mesh);
            return false;
        }
    }
    mesh->subsets = subsets;
    mesh->bones = d->bone_count ? bones : nullptr;
    mesh->materials = d->materials;

    uint8_t *vb = (uint8_t *)gpu_vertex_buffer_lock(mesh->vertex_buffer);
    if (!vb) {
        gfx_release_mesh_buffers(mesh);
        return false;
    }
    write_vertices(d, vb, stride);
    gpu_vertex_buffer_unlock(mesh->vertex_buffer);
    if (indexed) {
        uint16_t *ib = (uint16_t *)gpu_index_buffer_lock(mesh->index_buffer);
        if (!ib) {
            gfx_release_mesh_buffers(mesh);
            return false;
        }
        memcpy(ib, d->indices, (size_t)d->index_count * 2);
        gpu_index_buffer_unlock(mesh->index_buffer);
    }

    uint32_t kept = 0, total = 0;
    for (uint32_t i = 0; i < d->subset_count; ++i) {
        const MeshDescSubset &s = d->subsets[i];
        MeshSubset &e = subsets[kept];
        memset(&e, 0, sizeof(e));
        e.primitive_type = 4;
        e.start_index = s.first_triangle * 3;
        e.primitive_count =
            s.last_triangle >= s.first_triangle ? s.last_triangle - s.first_triangle + 1 : 0;
        if (indexed && e.primitive_count >= 1) {
            uint32_t lo = 0xFFFF, hi = 0;
            for (uint32_t k = 0; k < e.primitive_count * 3; ++k) {
                const uint32_t idx = d->indices[e.start_index + k];
                if (idx < lo) lo = idx;
                if (idx > hi) hi = idx;
            }
            e.min_index = lo;
            e.vertex_span = hi - lo + 1;
        }
        memcpy(e.material, s.material, sizeof(e.material));
        memcpy(e.extra, s.extra, sizeof(e.extra));
        e.material_index = i;
        if (e.primitive_count == 0) continue; // only subsets with a count are kept
        total += e.primitive_count;
        ++kept;
    }
    for (uint32_t b = 0; b < d->bone_count; ++b) {
        bones[b].name = d->bones[b].name;
        bones[b].hash = d->bones[b].hash;
        if (d->bones[b].offset)
            bones[b].offset = *d->bones[b].offset;
        else
            memset(&bones[b].offset, 0, sizeof(Mat4));
    }

    mesh->vertex_format = code & ~FVF_TANGENT;
    mesh->vertex_decl = (uint32_t)shader_find_vertex_decl(code);
    mesh->stride = stride;
    memcpy(mesh->extra_bounds, d->extra_bounds, sizeof(mesh->extra_bounds));
    memcpy(mesh->box, d->box, sizeof(mesh->box));
    mesh->primitive_total = total;
    mesh->vertex_count = d->vertex_count;
    mesh->index_count = indexed ? d->index_count : 0;
    uint32_t flags = (kept & 0xFF) | (d->bone_count & 0xFF) << MESH_BONE_COUNT_SHIFT |
                     (d->tex_set_count & 0xF) << MESH_TEXSET_COUNT_SHIFT;
    float ext[3];
    for (int a = 0; a < 3; ++a) ext[a] = extent_floor(d->box[3 + a] - d->box[a]);
    const float largest = std::fmax(ext[0], std::fmax(ext[1], ext[2]));
    const float smallest = std::fmin(ext[0], std::fmin(ext[1], ext[2]));
    if (largest / smallest >= 3.0f) flags |= MESH_FLAG_ELONGATED;
    if (d->colors) flags |= MESH_FLAG_COLORS;
    mesh->counts_flags = flags;
    mesh->caller_flags = caller_flags;
    if (out_subset_count) *out_subset_count = kept;
    if (out_bone_count) *out_bone_count = d->bone_count;
    return true;
}

void gfx_release_mesh_buffers(MeshBuffers *mesh) {
    if (!mesh) return;
    if (mesh->vertex_buffer) gpu_vertex_buffer_release(mesh->vertex_buffer);
    if (mesh->index_buffer) gpu_index_buffer_release(mesh->index_buffer);
    memset(mesh, 0, sizeof(*mesh));
}
