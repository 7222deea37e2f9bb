// Reading "MMMM" model bodies into mesh descriptions. Every offset, count and index of the body
// is checked against the body before anything is read; sizes are computed in 64 bits.
#pragma once
#include <cstdint>
#include <vector>

#include "render/gfx_mesh.h"
#include "resource/res_body_check.h"
#include "resource/res_pools.h"

// The description and the arrays it points to. Bone names, material texture names and the
// group point into the body or the caller's text: the model creator stores its own copies.
struct ModelReadout {
    MeshDescription desc;
    std::vector<float> positions, normals, texcoords, smoothed, weights, tangents;
    std::vector<uint32_t> colors;
    std::vector<uint8_t> bone_indices;
    std::vector<uint16_t> indices;
    std::vector<MeshDescBone> bones;
    std::vector<Mat4> bone_offsets;
    std::vector<MeshDescSubset> subsets; // one per material: its triangle range and words
    std::vector<ModelMaterial> materials;
};

// Triangle counts from this one on are read without welding (three vertices per triangle).
constexpr uint32_t MODEL_UNINDEXED_TRIANGLES = 65535;
constexpr uint32_t MODEL_MAX_BONES = 128;     // the bone palette
constexpr uint32_t MODEL_MAX_MATERIALS = 255; // 8-bit material counts

// Reads a body (request value bit 0: smoothed normals as a second coordinate set; suffix flags
// bit 0: tangents). Null on success, else why the model cannot be read.
const char *model_read(ModelReadout *out, const uint8_t *body, uint32_t size, const char *group,
                       uint32_t value, uint32_t suffix_flags);

// Geometry values a model may hold: finite and within RES_VALUE_LIMIT, as every 3D body's;
// its bounding radius within 4e9. See the reader for why.
constexpr float MODEL_RADIUS_LIMIT = 4e9f;

// Smoothed normals. Per position index p, the sum of the normals of the corners at p. Each
// position's group is every position closer than sqrt(2.5e-5) to it, itself included (its own
// neighbourhood, not the union of chained neighbourhoods, so a finely divided surface is not
// smeared into one normal); each position gets the normalised sum of its group's sums. Where
// at most two positions lie close together this is the sum of the pair, as a pairwise merge
// would give. Sums are taken in double; a zero sum stays zero. Non-finite positions are close
// to nothing. `corner_pos` and `corner_normals` give each corner's position and normal (null:
// no normals, all zero). False (and `out` empty) when distinct positions crowd so closely that
// comparing them would take more than about 64 comparisons per position.
bool model_smooth_normals(const float *positions, uint32_t position_count,
                          const uint32_t *corner_pos, const float *corner_normals,
                          uint32_t corner_count, std::vector<float> *out);
