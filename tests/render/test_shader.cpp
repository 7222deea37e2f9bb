// Shader tables and constants that need no device: declarations, the pair and select tables,
// material, light, fog and bone-palette constants.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "math/mat4.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_mesh.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "render/view.h"
#include "scene/model_instance.h"
#include "scene/node_material.h"
#include "scene/point_light.h"

namespace {

uint32_t decl_size(const GpuVertexElement *e, int *count) {
    static const uint32_t sizes[] = {4, 8, 12, 16, 4, 4};
    uint32_t size = 0;
    int n = 0;
    for (; e[n].stream != 0xFF; ++n) {
        EXPECT_EQ(e[n].offset, size) << "element " << n;
        size += sizes[e[n].type];
    }
    *count = n;
    return size;
}

TEST(ShaderDecl, CodesGiveTightlyPackedElements) {
    GpuVertexElement e[SHADER_DECL_MAX_ELEMENTS];
    int n = 0;

    shader_build_vertex_decl(e, 0x244); // screen vertex
    EXPECT_EQ(decl_size(e, &n), 36u);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(e[0].usage, GPU_USAGE_POSITIONT);
    EXPECT_EQ(e[0].type, GPU_DECL_FLOAT4);
    EXPECT_EQ(e[1].usage, GPU_USAGE_COLOR);
    EXPECT_EQ(e[3].usage, GPU_USAGE_TEXCOORD);
    EXPECT_EQ(e[3].usage_index, 1);

    shader_build_vertex_decl(e, 0x111E); // four weights, indices, normal, one set
    EXPECT_EQ(decl_size(e, &n), 52u);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(e[0].usage, GPU_USAGE_POSITION);
    EXPECT_EQ(e[1].usage, GPU_USAGE_BLENDWEIGHT);
    EXPECT_EQ(e[1].type, GPU_DECL_FLOAT4);
    EXPECT_EQ(e[2].usage, GPU_USAGE_BLENDINDICES);
    EXPECT_EQ(e[2].type, GPU_DECL_UBYTE4);
    EXPECT_EQ(e[3].usage, GPU_USAGE_NORMAL);

    shader_build_vertex_decl(e, 0x40212); // second set FLOAT3
    EXPECT_EQ(decl_size(e, &n), 44u);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(e[2].type, GPU_DECL_FLOAT2);
    EXPECT_EQ(e[3].type, GPU_DECL_FLOAT3);

    shader_build_vertex_decl(e, 0x1118); // one weight
    EXPECT_EQ(e[1].type, GPU_DECL_FLOAT1);
    shader_build_vertex_decl(e, 0x111C); // three weights
    EXPECT_EQ(e[1].type, GPU_DECL_FLOAT3);

    shader_build_vertex_decl(e, 0x1D2); // tangent after the texture set
    EXPECT_EQ(decl_size(e, &n), 12u + 12 + 4 + 8 + 16);
    EXPECT_EQ(e[n - 1].usage, GPU_USAGE_TANGENT);

    shader_build_vertex_decl(e, 0x501458); // four sets, sets 2 and 3 FLOAT3
    decl_size(e, &n);
    EXPECT_EQ(e[n - 2].type, GPU_DECL_FLOAT3);
    EXPECT_EQ(e[n - 1].type, GPU_DECL_FLOAT3);
    EXPECT_EQ(e[n - 3].type, GPU_DECL_FLOAT2);
}

TEST(ShaderDecl, EveryTableCodeFitsTheElementArray) {
    GpuVertexElement e[SHADER_DECL_MAX_ELEMENTS + 4];
    for (int i = 0; i < SHADER_DECL_COUNT; ++i) {
        std::memset(e, 0xAB, sizeof e);
        shader_build_vertex_decl(e, shader_vertex_decl_code(i));
        int n = 0;
        decl_size(e, &n);
        EXPECT_LT(n, SHADER_DECL_MAX_ELEMENTS);
        EXPECT_EQ(e[SHADER_DECL_MAX_ELEMENTS].stream, 0xABAB); // nothing written past
    }
}

TEST(ShaderDecl, LookupFindsFirstIndexOrZero) {
    EXPECT_EQ(shader_find_vertex_decl(0x244), 0);
    EXPECT_EQ(shader_find_vertex_decl(0x112), 3); // index 9 repeats it
    EXPECT_EQ(shader_find_vertex_decl(0x152), 12);
    EXPECT_EQ(shader_find_vertex_decl(0x50145E), 49);
    EXPECT_EQ(shader_find_vertex_decl(0x999), 0);
    for (int i = 0; i < SHADER_DECL_COUNT; ++i)
        EXPECT_NE(shader_find_vertex_decl(shader_vertex_decl_code(i)), 9);
}

// A mesh with `count` bones named "b<i>" and offsets translating by i along X.
struct TestMesh {
    MeshBuffers mesh = {};
    MeshBone bones[255] = {};
    char names[255][8] = {};
    explicit TestMesh(int count) {
        for (int i = 0; i < count; ++i) {
            std::snprintf(names[i], sizeof names[i], "b%d", i);
            bones[i].name = names[i];
            bones[i].hash = 1000u + (uint32_t)i;
            Vec3 t = {(float)i, 0, 0};
            mat4_translation(&bones[i].offset, &t);
        }
        mesh.bones = bones;
        mesh.counts_flags = (uint32_t)count << MESH_BONE_COUNT_SHIFT;
    }
};

// Shader selection without shaders loaded: every draw falls back to fixed function, but the
// chosen indices are still recorded.
class ShaderSelectTest : public ::testing::Test {
  protected:
    DisplayRecord saved_ = *gfx_display();
    RenderStateCache cache_ = gfx_device_state()->state_cache;
    PointLight lights_[3] = {};
    PointLight *light_ptrs_[3] = {&lights_[0], &lights_[1], &lights_[2]};
    ModelInstance instance_ = {};

    void SetUp() override {
        gfx_display()->screen_width = 640;
        gfx_display()->screen_height = 480;
        view_set_defaults();
        view_set_current(0);
        view_step_frame(0);
        shader_release_all();
        std::memset(shader_get_set(), 0, sizeof(ShaderSet));
        set_lighting(1);
        for (int i = 0; i < 3; ++i) {
            lights_[i].position = {(float)i + 1, 2, 3};
            lights_[i].radius = 2.0f + (float)i;
            lights_[i].color_f[0] = 1.0f;
            lights_[i].color_f[3] = 1.0f;
        }
    }
    void TearDown() override {
        *gfx_display() = saved_;
        gfx_device_state()->state_cache = cache_;
    }
    static void set_lighting(uint32_t on) { gfx_device_state()->state_cache.req_lighting = on; }
    // With an instance the draw is a skinned one: a mesh with bones in a weighted format.
    void select(int32_t set, int count, const ModelInstance *instance = nullptr,
                const Mat4 *world = nullptr) {
        static TestMesh skinned(2);
        shader_select(set, nullptr, 0, instance ? shader_find_vertex_decl(0x1118) : 3, world,
                      nullptr, instance ? &skinned.mesh : nullptr, instance, 1.0f, light_ptrs_,
                      count);
    }
    static int32_t vs() { return shader_get_set()->last_vertex; }
    static int32_t ps() { return shader_get_set()->last_pixel; }
};

TEST_F(ShaderSelectTest, TableChoosesByLightsLightingAndInstance) {
    select(1, 2);
    EXPECT_EQ(vs(), 4);
    EXPECT_EQ(ps(), 2);
    select(1, 2, &instance_);
    EXPECT_EQ(vs(), 5);
    select(2, 1);
    EXPECT_EQ(vs(), 8);
    EXPECT_EQ(ps(), 4);
    select(1, 0);
    EXPECT_EQ(vs(), 2);
    EXPECT_EQ(ps(), 1);
    set_lighting(0);
    select(1, 2);
    EXPECT_EQ(vs(), 2);
    select(1, 2, &instance_);
    EXPECT_EQ(vs(), 3);
    select(2, 2);
    EXPECT_EQ(vs(), 6);
    EXPECT_EQ(ps(), 3);
    select(0, 3);
    EXPECT_EQ(vs(), 0);
    EXPECT_EQ(ps(), 0);
    select(0, 3, &instance_);
    EXPECT_EQ(vs(), 1);
    // An instance with a rigid mesh, or a mesh without bones, keeps the plain column.
    TestMesh rigid(0), skinned(2);
    shader_select(1, nullptr, 0, 3, nullptr, nullptr, &skinned.mesh, &instance_, 1.0f, light_ptrs_,
                  0);
    EXPECT_EQ(vs(), 2);
    shader_select(1, nullptr, 0, shader_find_vertex_decl(0x1118), nullptr, nullptr, &rigid.mesh,
                  &instance_, 1.0f, light_ptrs_, 0);
    EXPECT_EQ(vs(), 2);
    EXPECT_EQ(shader_get_set()->palette_count, 0u);
    // Lighting still unknown in the state cache counts as asked for.
    set_lighting(GFX_STATE_UNKNOWN);
    select(1, 2);
    EXPECT_EQ(vs(), 4);
    EXPECT_EQ(ps(), 2);
}

TEST_F(ShaderSelectTest, NegativeSetKeepsTheCurrentSetAndBadArgumentsDoNothing) {
    select(2, 0);
    select(-1, 0);
    EXPECT_EQ(shader_get_set()->current_set, 2u);
    EXPECT_EQ(vs(), 6);
    select(3, 0);
    EXPECT_EQ(vs(), 6);
    shader_select(1, nullptr, 4, 3, nullptr, nullptr, nullptr, nullptr, 1.0f, nullptr, 0);
    shader_select(1, nullptr, -1, 3, nullptr, nullptr, nullptr, nullptr, 1.0f, nullptr, 0);
    EXPECT_EQ(shader_get_set()->current_set, 2u);
}

TEST_F(ShaderSelectTest, LightEntriesPastTheCountAreZeroAndTakenIntoObjectSpace) {
    Mat4 world;
    Vec3 offset = {10, 0, 0};
    mat4_translation(&world, &offset);
    select(1, 1, nullptr, &world);
    const ShaderSet *s = shader_get_set();
    EXPECT_EQ(s->light_count, 1u);
    EXPECT_FLOAT_EQ(s->light_pos[0].x, 1.0f - 10.0f);
    EXPECT_FLOAT_EQ(s->light_pos[0].w, 2.0f);
    EXPECT_FLOAT_EQ(s->light_range[0].y, 4.0f);
    EXPECT_EQ(s->light_color[0].x, 1.0f);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(s->light_pos[i].x, 0.0f);
        EXPECT_EQ(s->light_pos[i].w, 0.0f);
        EXPECT_EQ(s->light_color[i].x, 0.0f);
        EXPECT_EQ(s->light_range[i].x, 0.0f);
    }
    EXPECT_EQ(s->inv_world, &s->inv_world_matrix);
    select(1, 1);
    EXPECT_EQ(shader_get_set()->inv_world, nullptr);
    EXPECT_FLOAT_EQ(shader_get_set()->light_pos[0].x, 1.0f);
    // More lights than the constants hold are cut to three.
    select(1, 7);
    EXPECT_EQ(shader_get_set()->light_count, 3u);
}

TEST_F(ShaderSelectTest, MaterialConstants) {
    const Vec4 colors[4] = {
        {0.5f, 0.5f, 0.5f, 1}, {0.25f, 0.25f, 0.25f, 1}, {1, 0.5f, 1, 1}, {1, 1, 1, 1}};
    NodeMaterial m = {0x80FFFFFF, 0xFF00FF00, 0x00010203, 0xFFFFFFFF, 0.0f, 0.5f};
    Vec4 o[5];
    shader_build_material_constants(&o[0], &o[1], &o[2], &o[3], &o[4], &m, colors);
    EXPECT_FLOAT_EQ(o[0].x, 0.5f * 0.5f + 1.0f / 255.0f);
    EXPECT_FLOAT_EQ(o[0].w, 128.0f / 255.0f); // ambient alpha is not scaled by the factor
    EXPECT_FLOAT_EQ(o[1].z, 0.5f * 0.25f + 3.0f / 255.0f);
    EXPECT_FLOAT_EQ(o[2].y, 0.5f * 0.5f);
    EXPECT_FLOAT_EQ(o[2].x, 0.0f);
    EXPECT_FLOAT_EQ(o[3].x, 0.5f);
    EXPECT_FLOAT_EQ(o[3].w, 0.1f); // power 0 raised to the floor
    EXPECT_FLOAT_EQ(o[4].y, 0.5f);
    m.power = 12.0f;
    shader_build_material_constants(&o[0], &o[1], &o[2], &o[3], &o[4], &m, colors);
    EXPECT_FLOAT_EQ(o[3].w, 12.0f);

    set_lighting(0);
    shader_build_material_constants(&o[0], &o[1], &o[2], &o[3], &o[4], &m, colors);
    EXPECT_EQ(o[0].x, 1.0f);
    EXPECT_EQ(o[1].w, 0.0f);
    EXPECT_EQ(o[2].x, 0.0f);
    EXPECT_EQ(o[2].w, 1.0f);
    EXPECT_EQ(o[3].x, 0.0f);
    EXPECT_FLOAT_EQ(o[3].w, 0.1f);
    EXPECT_FLOAT_EQ(o[4].y, 0.5f); // the diffuse copy is kept either way

    // Without a material the select writes fixed values and keeps the diffuse copy.
    shader_get_set()->material[4] = {0.3f, 0.3f, 0.3f, 0.3f};
    select(1, 0);
    EXPECT_EQ(shader_get_set()->material[2].x, 1.0f);
    EXPECT_EQ(shader_get_set()->material[0].x, 0.0f);
    EXPECT_EQ(shader_get_set()->material[4].x, 0.3f);
}

TEST_F(ShaderSelectTest, FogFactorsPerView) {
    shader_update_fog_constants();
    const ShaderSet *s = shader_get_set();
    EXPECT_FLOAT_EQ(s->fog_factors[0][0].x, -1.0f);
    EXPECT_FLOAT_EQ(s->fog_factors[0][0].y, 101.0f);
    EXPECT_FLOAT_EQ(s->fog_factors[0][0].z, -1.0f);
    EXPECT_FLOAT_EQ(s->fog_factors[0][0].w, 101.0f);

    view_set_fog_mode(1, 1);
    view_set_fog_start(1, 10.0f);
    view_set_fog_end(1, 60.0f);
    view_set_fog2_mode(1, 1);
    view_set_fog2_start(1, 20.0f);
    view_set_fog2_end(1, 20.0f); // empty range stays finite
    shader_update_fog_constants();
    EXPECT_FLOAT_EQ(s->fog_factors[1][0].x, -1.0f / 50.0f);
    EXPECT_FLOAT_EQ(s->fog_factors[1][0].y, 60.0f / 50.0f);
    EXPECT_TRUE(std::isfinite(s->fog_factors[1][0].z));
    EXPECT_FLOAT_EQ(s->fog_factors[1][1].x, -1.0f); // first range off
    EXPECT_FLOAT_EQ(s->fog_factors[1][1].y, 101.0f);
    EXPECT_EQ(s->fog_factors[1][1].z, s->fog_factors[1][0].z);
    // A fog value is distance * x + y: 1 at the start, 0 at the end.
    EXPECT_NEAR(10.0f * s->fog_factors[1][0].x + s->fog_factors[1][0].y, 1.0f, 1e-6f);
    EXPECT_NEAR(60.0f * s->fog_factors[1][0].x + s->fog_factors[1][0].y, 0.0f, 1e-6f);
}

TEST_F(ShaderSelectTest, BonePaletteFromOwnAndForeignMesh) {
    TestMesh tm(3);
    InstanceBone bones[2] = {};
    bones[0].next = &bones[1];
    instance_.bones = &bones[0];
    // Instance bones in reverse order: bone 0 matches mesh bone 1 and the other way round;
    // mesh bone 2 has no instance bone.
    bones[0].name = "b1";
    bones[0].name_hash = 1001;
    bones[0].palette_index = 1;
    bones[1].name = "b0";
    bones[1].name_hash = 1000;
    bones[1].palette_index = 0;
    for (int i = 0; i < 2; ++i) {
        // Pose in model space; the world matrix adds the node's place (x 1.2), which the
        // shader applies again through m1.
        Vec3 up = {0, 10.0f * (float)(i + 1), 0}, placed = {1.2f, 10.0f * (float)(i + 1), 0};
        mat4_translation(&bones[i].pose, &up);
        mat4_translation(&bones[i].world, &placed);
        mat4_translation(&bones[i].palette, &up);
        bones[i].palette.m[3][2] = 5.0f;
    }
    ShaderSet *s = shader_get_set();
    for (Mat4 &m : s->palette) std::memset(&m, 0x7F, sizeof m); // an earlier draw's leftovers

    // Foreign mesh: the offset (x = bone number) then the matching bone's pose.
    EXPECT_TRUE(shader_build_bone_palette(&tm.mesh, &instance_));
    EXPECT_EQ(s->palette_count, 3u);
    EXPECT_FLOAT_EQ(s->palette[1].m[3][0], 1.0f);
    EXPECT_FLOAT_EQ(s->palette[1].m[3][1], 10.0f);
    EXPECT_FLOAT_EQ(s->palette[0].m[3][0], 0.0f);
    EXPECT_FLOAT_EQ(s->palette[0].m[3][1], 20.0f);
    Mat4 identity;
    mat4_identity(&identity);
    EXPECT_EQ(std::memcmp(&s->palette[2], &identity, sizeof identity), 0);

    // Own mesh: the palette matrix of the bone with that palette index; none for entry 2.
    for (Mat4 &m : s->palette) std::memset(&m, 0x7F, sizeof m);
    instance_.palette_model = &tm.mesh;
    EXPECT_TRUE(shader_build_bone_palette(&tm.mesh, &instance_));
    EXPECT_FLOAT_EQ(s->palette[0].m[3][1], 20.0f);
    EXPECT_FLOAT_EQ(s->palette[0].m[3][2], 5.0f);
    EXPECT_FLOAT_EQ(s->palette[1].m[3][0], 0.0f);
    EXPECT_EQ(std::memcmp(&s->palette[2], &identity, sizeof identity), 0);

    EXPECT_FALSE(shader_build_bone_palette(nullptr, &instance_));
    EXPECT_EQ(s->palette_count, 0u);
    EXPECT_FALSE(shader_build_bone_palette(&tm.mesh, nullptr));
}

TEST_F(ShaderSelectTest, PaletteOfMoreThan128BonesIsCut) {
    static TestMesh tm(255);
    static InstanceBone bone = {};
    bone.name = "b200";
    bone.name_hash = 1200;
    instance_.bones = &bone;
    EXPECT_TRUE(shader_build_bone_palette(&tm.mesh, &instance_));
    EXPECT_EQ(shader_get_set()->palette_count, (uint32_t)SHADER_PALETTE_SIZE);
}

} // namespace
