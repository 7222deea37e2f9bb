// Mesh buffers: vertex layout codes, interleaving, subset ranges, bones and the bound flags.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx_test_env.h"
#include "render/gfx_mesh.h"

namespace {

class GfxMesh : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        memset(&desc, 0, sizeof(desc));
        for (int i = 0; i < 6 * 3; ++i) positions[i] = (float)i;
        for (int i = 0; i < 6 * 3; ++i) normals[i] = 100.0f + (float)i;
        for (int i = 0; i < 6 * 2; ++i) uv[i] = 200.0f + (float)i;
        for (int i = 0; i < 6 * 4; ++i) weights[i] = 300.0f + (float)i;
        for (int i = 0; i < 6 * 4; ++i) bone_idx[i] = (uint8_t)i;
        desc.positions = positions;
        desc.vertex_count = 6;
        desc.box[3] = desc.box[4] = desc.box[5] = 1.0f; // unit cube
    }
    void TearDown() override { gfx_release_mesh_buffers(&mesh); }

    MeshDescription desc;
    MeshBuffers mesh = {};
    MeshSubset subsets[4];
    MeshBone bones[2];
    float positions[18], normals[18], uv[12], weights[24];
    uint8_t bone_idx[24];
};

} // namespace

TEST_F(GfxMesh, LayoutCodesAndStrides) {
    uint32_t code = 0, stride = 0;
    ASSERT_TRUE(gfx_mesh_layout(&desc, &code, &stride));
    EXPECT_EQ(code, 0x2u);
    EXPECT_EQ(stride, 12u);

    desc.weights = weights;
    desc.bone_indices = bone_idx;
    desc.weight_count = 4;
    desc.normals = normals;
    desc.tex_set_count = 1;
    desc.tex_sets[0] = {uv, 2};
    ASSERT_TRUE(gfx_mesh_layout(&desc, &code, &stride));
    EXPECT_EQ(code, 0x111Eu);
    EXPECT_EQ(stride, 52u);

    desc.weight_count = 5; // skinned with an impossible weight count
    EXPECT_FALSE(gfx_mesh_layout(&desc, &code, &stride));
    desc.weights = nullptr;
    desc.tex_set_count = 2;
    desc.tex_sets[1] = {normals, 3};
    ASSERT_TRUE(gfx_mesh_layout(&desc, &code, &stride));
    EXPECT_EQ(code, 0x40212u);
    EXPECT_EQ(stride, 44u);
    desc.tex_sets[1].components = 0;
    EXPECT_FALSE(gfx_mesh_layout(&desc, &code, &stride));
}

TEST_F(GfxMesh, VerticesAreInterleavedInLayoutOrder) {
    desc.weights = weights;
    desc.bone_indices = bone_idx;
    desc.weight_count = 2;
    desc.normals = normals;
    float tangents[24] = {};
    tangents[4] = 7.0f; // vertex 1, first component
    desc.tangents = tangents;
    ASSERT_TRUE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 4, bones, 2, nullptr, nullptr, 9));
    EXPECT_EQ(mesh.stride, 12u + 8 + 4 + 12 + 16);
    EXPECT_EQ(mesh.vertex_format, 0x100Au | 0x10u); // without the tangent bit
    EXPECT_EQ(mesh.caller_flags, 9u);
    EXPECT_EQ(mesh.index_buffer, nullptr);
    const uint8_t *vb = (const uint8_t *)gpu_vertex_buffer_lock(mesh.vertex_buffer);
    ASSERT_NE(vb, nullptr);
    const uint8_t *v1 = vb + mesh.stride;
    float f;
    memcpy(&f, v1, 4);
    EXPECT_EQ(f, 3.0f); // position x of vertex 1
    memcpy(&f, v1 + 12, 4);
    EXPECT_EQ(f, 304.0f); // first weight of vertex 1
    memcpy(&f, v1 + 16, 4);
    EXPECT_EQ(f, 305.0f);
    EXPECT_EQ(v1[20], 4); // bone indices word
    EXPECT_EQ(v1[23], 7);
    memcpy(&f, v1 + 24, 4);
    EXPECT_EQ(f, 103.0f); // normal
    memcpy(&f, v1 + 36, 4);
    EXPECT_EQ(f, 7.0f); // tangent
    gpu_vertex_buffer_unlock(mesh.vertex_buffer);
}

TEST_F(GfxMesh, SubsetsGetTheirIndexSpanAndEmptyOnesAreDropped) {
    const uint16_t indices[9] = {5, 1, 2, 3, 4, 2, 0, 1, 2};
    desc.indices = indices;
    desc.index_count = 9;
    MeshDescSubset s[3] = {};
    s[0].first_triangle = 0; // first index is the largest
    s[0].last_triangle = 1;
    s[0].material[2] = 42;
    s[1].first_triangle = 2; // empty: last below first
    s[1].last_triangle = 1;
    s[2].first_triangle = 2;
    s[2].last_triangle = 2;
    s[2].extra[0] = 7;
    desc.subsets = s;
    desc.subset_count = 3;
    desc.colors = (const uint32_t *)bone_idx;
    uint32_t nsub = 99, nbone = 99;
    ASSERT_TRUE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 3, bones, 0, &nsub, &nbone, 0));
    EXPECT_EQ(nsub, 2u);
    EXPECT_EQ(nbone, 0u);
    EXPECT_EQ(subsets[0].primitive_type, 4u);
    EXPECT_EQ(subsets[0].start_index, 0u);
    EXPECT_EQ(subsets[0].primitive_count, 2u);
    EXPECT_EQ(subsets[0].min_index, 1u);
    EXPECT_EQ(subsets[0].vertex_span, 5u);
    EXPECT_EQ(subsets[0].material[2], 42u);
    EXPECT_EQ(subsets[1].start_index, 6u);
    EXPECT_EQ(subsets[1].min_index, 0u);
    EXPECT_EQ(subsets[1].vertex_span, 3u);
    EXPECT_EQ(subsets[1].extra[0], 7u);
    EXPECT_EQ(subsets[0].material_index, 0u); // kept subset 1 comes from description subset 2
    EXPECT_EQ(subsets[1].material_index, 2u);
    EXPECT_EQ(mesh.primitive_total, 3u);
    EXPECT_EQ(mesh.index_count, 9u);
    EXPECT_NE(mesh.index_buffer, nullptr);
    EXPECT_EQ(mesh.counts_flags & MESH_SUBSET_COUNT_MASK, 2u);
    EXPECT_TRUE(mesh.counts_flags & MESH_FLAG_COLORS);
    EXPECT_FALSE(mesh.counts_flags & MESH_FLAG_ELONGATED);

    // A subset reaching past the index list, or more subsets than room, is refused.
    gfx_release_mesh_buffers(&mesh);
    s[2].last_triangle = 3;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 3, bones, 0, &nsub, &nbone, 0));
    EXPECT_EQ(mesh.vertex_buffer, nullptr);
    s[2].last_triangle = 2;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 2, bones, 0, &nsub, &nbone, 0));
    EXPECT_EQ(mesh.vertex_buffer, nullptr);
    EXPECT_EQ(mesh.index_buffer, nullptr);
    // An index naming no vertex (6 vertices: 0-5) is refused before any buffer is made.
    uint16_t bad[9] = {5, 1, 2, 3, 4, 2, 0, 1, 6};
    desc.indices = bad;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 3, bones, 0, &nsub, &nbone, 0));
    EXPECT_EQ(mesh.vertex_buffer, nullptr);
    // Without indices, a subset reaching past the vertices (triangle 2 needs 9) is refused.
    desc.indices = nullptr;
    desc.index_count = 0;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 3, bones, 0, &nsub, &nbone, 0));
    desc.indices = indices;
    desc.index_count = 9;
    // A description that counts subsets but lists none is refused, not read.
    desc.subsets = nullptr;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 3, bones, 0, &nsub, &nbone, 0));
    EXPECT_EQ(mesh.vertex_buffer, nullptr);
}

TEST_F(GfxMesh, BonesAndBoundFlags) {
    Mat4 offset = {};
    offset.m[3][0] = 12.5f;
    const MeshDescBone b[2] = {{"hip", 0x1234u, &offset}, {"knee", 0x5678u, &offset}};
    desc.bones = b;
    desc.bone_count = 2;
    desc.box[3] = 6.0f; // 6 x 1 x 1
    desc.tex_set_count = 1;
    desc.tex_sets[0] = {uv, 2};
    uint32_t nbone = 0;
    ASSERT_TRUE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 0, bones, 2, nullptr, &nbone, 0));
    EXPECT_EQ(nbone, 2u);
    EXPECT_EQ(bones[1].hash, 0x5678u);
    EXPECT_STREQ(bones[1].name, "knee");
    EXPECT_EQ(bones[0].offset.m[3][0], 12.5f);
    EXPECT_EQ((mesh.counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFF, 2u);
    EXPECT_EQ((mesh.counts_flags >> MESH_TEXSET_COUNT_SHIFT) & 0xF, 1u);
    EXPECT_TRUE(mesh.counts_flags & MESH_FLAG_ELONGATED);
    gfx_release_mesh_buffers(&mesh);

    // A flat box counts its zero extent as 1e-5: elongated.
    desc.box[3] = 1.0f;
    desc.box[5] = 0.0f;
    ASSERT_TRUE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 0, bones, 2, nullptr, nullptr, 0));
    EXPECT_TRUE(mesh.counts_flags & MESH_FLAG_ELONGATED);
    gfx_release_mesh_buffers(&mesh);

    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 0, bones, 1, nullptr, nullptr, 0));
    desc.positions = nullptr;
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, &desc, subsets, 0, bones, 2, nullptr, nullptr, 0));
    EXPECT_FALSE(gfx_build_mesh_buffers(&mesh, nullptr, subsets, 0, bones, 2, nullptr, nullptr, 0));
}
