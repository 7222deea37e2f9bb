// The shipped GLSL pair on the device: loading from the shader folder, a lit quad through the
// shaders and through fixed function, point lights, skinning, the rebinding rule and the
// fall-back to fixed function. Pixels are read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/config.h"
#include "gfx_test_env.h"
#include "math/mat4.h"
#include "platform/gpu/gpu.h"
#include "platform/sys/sys_file.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_mesh.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "render/view.h"
#include "scene/model_instance.h"
#include "scene/node_material.h"
#include "scene/point_light.h"
#include "tests/support/test_files.h"

namespace {

struct LitVertex { // 0x112: position, normal, one texture set
    float x, y, z, nx, ny, nz, u, v;
};

struct SkinVertex { // 0x1118: position, one weight, four indices, normal, one texture set
    float x, y, z, weight;
    uint8_t index[4];
    float nx, ny, nz, u, v;
};

const NodeMaterial kDefaultMaterial = {0x00FFFFFF, 0xFFFFFFFF, 0, 0, 0.0f, 1.0f};
const uint32_t kClear = 0xFF000000;

int channel(uint32_t argb, int shift) {
    return (int)((argb >> shift) & 0xFF);
}

class ShaderDrawTest : public ::testing::Test {
  protected:
    DisplayRecord saved_display_ = {};
    ConfigEntry *shpath_row_ = nullptr;
    ConfigEntry saved_row_ = {};

    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        saved_display_ = *gfx_display();
        gfx_test_reset_states();
        // Clip planes left by other tests: disabled and harmless.
        const float keep_all[4] = {0, 0, 0, 1};
        for (uint32_t i = 0; i < 6; ++i) gpu_set_clip_plane(i, keep_all);
        gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 0);
        view_set_defaults();
        view_set_current(0);
        // The directional light points straight away from the camera, onto the quad.
        Vec3 dir = {0, 0, -1};
        view_set_light_goal_dir(0, &dir);
        view_set_light_goal_color0(0, 0xFF404040);
        view_set_light_goal_color1(0, 0xFF202020);
        view_set_light_goal_color2(0, 0xFF808080);
        view_set_light_goal_color3(0, 0xFF000000);
        view_step_frame(0);
        use_shader_folder(TAVOK_SOURCE_DIR "/data/tks/");
        shader_load_all();
        shader_update_fog_constants();
        // Lighting on, depth writes off, cull none, no shader flag.
        gfx_set_draw_states(1, 0, 3, 0, 0, 2, 0, 5, 0);
        gpu_set_texture(0, gfx_default_texture()->texture);
        gfx_test_clear(kClear);
    }

    void TearDown() override {
        shader_release_all();
        if (shpath_row_) *shpath_row_ = saved_row_;
        gpu_trace_enable(false);
        gpu_set_vertex_shader(nullptr);
        gpu_set_pixel_shader(nullptr);
        *gfx_display() = saved_display_;
    }

    void use_shader_folder(const char *folder) {
        StartupConfig *cfg = cfg_get_config();
        for (ConfigEntry &row : cfg->rows) {
            if (row.key[0] && std::strcmp(row.key, "SHPATH") != 0) continue;
            shpath_row_ = &row;
            saved_row_ = row;
            std::snprintf(row.key, sizeof row.key, "SHPATH");
            std::snprintf(row.value, sizeof row.value, "%s", folder);
            return;
        }
    }

    // A 1 x 1 quad in the z = 0 plane facing the camera (the world matrix is the shader's).
    static void draw_quad() {
        const LitVertex v[4] = {{-0.5f, -0.5f, 0, 0, 0, 1, 0, 0},
                                {0.5f, -0.5f, 0, 0, 0, 1, 1, 0},
                                {-0.5f, 0.5f, 0, 0, 0, 1, 0, 1},
                                {0.5f, 0.5f, 0, 0, 0, 1, 1, 1}};
        gpu_begin_scene();
        gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(LitVertex));
        gpu_end_scene();
    }

    static void select(int32_t set, const Mat4 *world, const NodeMaterial *material,
                       PointLight *const *lights = nullptr, int count = 0) {
        shader_set_light_params(view_get_view_matrix(0), view_get_camera_matrix(0),
                                view_get_proj(0), view_get_view_proj(0), view_get_proj_view(0));
        shader_select(set, nullptr, 0, shader_find_vertex_decl(0x112), world, material, nullptr,
                      nullptr, 1.0f, lights, count);
    }

    // The fixed-function light, material and transforms of a 3D pass.
    static void setup_fixed_function(const Mat4 *world) {
        const ViewLight *l = view_get_light(0);
        GpuLight light = {};
        light.type = 3;
        const Vec4 *c = l->color_f;
        light.ambient = {c[0].x, c[0].y, c[0].z, c[0].w};
        light.diffuse = {c[2].x, c[2].y, c[2].z, c[2].w};
        light.specular = {c[3].x, c[3].y, c[3].z, c[3].w};
        light.direction[0] = l->current.direction.x;
        light.direction[1] = l->current.direction.y;
        light.direction[2] = l->current.direction.z;
        gpu_set_light(0, &light);
        gpu_light_enable(0, true);
        GpuMaterial m = {};
        m.diffuse = {1, 1, 1, 1};
        m.ambient = {1, 1, 1, 0};
        gpu_set_material(&m);
        gpu_set_render_state(GPU_RS_AMBIENT, 0);
        gpu_set_transform(GPU_TS_WORLD, &world->m[0][0]);
        gpu_set_transform(GPU_TS_VIEW, &view_get_view_matrix(0)->m[0][0]);
        gpu_set_transform(GPU_TS_PROJECTION, &view_get_proj(0)->m[0][0]);
    }

    static uint32_t pixel_at(Vec3 world_point) {
        float x = 0, y = 0;
        EXPECT_EQ(view_project_point(0, &x, &y, &world_point), 0);
        return test_pixel((int)x, (int)y);
    }

    static Mat4 moved(float x) {
        Mat4 m;
        Vec3 t = {x, 0, 0};
        return *mat4_translation(&m, &t);
    }
};

TEST_F(ShaderDrawTest, SourcesLoadFromTheFolderWithoutChangingDirectory) {
    char before[512], after[512];
    ASSERT_TRUE(sys_get_current_directory(before, sizeof before));
    shader_reload();
    ASSERT_TRUE(sys_get_current_directory(after, sizeof after));
    EXPECT_STREQ(before, after);
    const ShaderSet *s = shader_get_set();
    for (int i = 1; i < SHADER_VERTEX_SLOTS; ++i) {
        EXPECT_NE(s->vertex[i].shader, nullptr) << "vertex slot " << i;
        EXPECT_NE(s->vertex[i].handles[0], 0u) << "m1 of slot " << i;
    }
    for (int i = 1; i < SHADER_PIXEL_SLOTS; ++i) EXPECT_NE(s->pixel[i].shader, nullptr);
    EXPECT_EQ(s->vertex[0].shader, nullptr);
    EXPECT_EQ(s->vertex[0].loaded, 1u);
    for (int i = 0; i < SHADER_DECL_COUNT; ++i) EXPECT_NE(s->decls[i], nullptr);
    // The light-count constants of the point-light slots were found.
    EXPECT_NE(s->vertex[4].handles[12], 0u); // "ib"
    EXPECT_NE(s->vertex[8].handles[12], 0u); // "iv"
    EXPECT_NE(s->pixel[2].handles[8], 0u);   // "zx"
    EXPECT_NE(s->pixel[4].handles[8], 0u);   // "fgs"

    shader_release_all();
    EXPECT_EQ(s->vertex[2].shader, nullptr);
    EXPECT_EQ(s->vertex[2].loaded, 0u);
    EXPECT_EQ(s->decls[0], nullptr);
}

TEST_F(ShaderDrawTest, WithoutTheKeySourcesComeFromBinTksUnderTheWorkingDirectory) {
    ASSERT_NE(shpath_row_, nullptr);
    char home[512];
    ASSERT_TRUE(sys_get_current_directory(home, sizeof home));
    const std::string run = test_temp_folder("shader_run");
    ASSERT_FALSE(run.empty());
    const std::string tks = run + "/bin/tks";
    ASSERT_EQ(std::system(("mkdir -p " + tks + " && cp " TAVOK_SOURCE_DIR "/data/tks/vxx " +
                           TAVOK_SOURCE_DIR "/data/tks/pxx " + tks)
                              .c_str()),
              0);
    ASSERT_TRUE(sys_set_current_directory(run.c_str()));
    shpath_row_->key[0] = 0; // no SHPATH key
    shader_reload();
    char after[512];
    ASSERT_TRUE(sys_get_current_directory(after, sizeof after));
    ASSERT_TRUE(sys_set_current_directory(home));
    EXPECT_EQ(std::string(after), run);
    EXPECT_NE(shader_get_set()->vertex[1].shader, nullptr);
    EXPECT_NE(shader_get_set()->pixel[4].shader, nullptr);
}

TEST_F(ShaderDrawTest, MissingFolderLeavesEverySlotToFixedFunction) {
    use_shader_folder(".\\no\\such\\folder\\");
    shader_reload();
    const ShaderSet *s = shader_get_set();
    for (int i = 0; i < SHADER_VERTEX_SLOTS; ++i) EXPECT_EQ(s->vertex[i].shader, nullptr);
    for (int i = 0; i < SHADER_PIXEL_SLOTS; ++i) EXPECT_EQ(s->pixel[i].shader, nullptr);
    // A draw that selects set 1 falls back to fixed function and still lights the quad.
    Mat4 world = moved(0);
    setup_fixed_function(&world);
    select(1, &world, &kDefaultMaterial);
    draw_quad();
    EXPECT_LE(test_color_distance(pixel_at({0, 0, 0}), 0xFFC0C0C0), 2);
}

TEST_F(ShaderDrawTest, LitQuadThroughShadersAndThroughFixedFunction) {
    Mat4 world = moved(0);
    select(1, &world, &kDefaultMaterial);
    ASSERT_EQ(shader_get_set()->last_vertex, 2);
    ASSERT_EQ(shader_get_set()->last_pixel, 1);
    draw_quad();
    // Ambient halfway between the two ambient colours (the normal is across the axis), plus
    // the full diffuse colour: (0x40 + 0x20) / 2 + 0x80.
    EXPECT_LE(test_color_distance(pixel_at({0, 0, 0}), 0xFFB0B0B0), 2);
    EXPECT_EQ(pixel_at({0, 0.8f, 0}), kClear);

    // Fixed function: ambient colour 0 plus the diffuse colour.
    gfx_test_clear(kClear);
    setup_fixed_function(&world);
    select(0, &world, &kDefaultMaterial);
    EXPECT_EQ(shader_get_set()->last_vertex, 0);
    draw_quad();
    EXPECT_LE(test_color_distance(pixel_at({0, 0, 0}), 0xFFC0C0C0), 2);
}

TEST_F(ShaderDrawTest, LightFacingAwayLeavesOnlyAmbient) {
    Vec3 dir = {0, 0, 1};
    view_set_light_goal_dir(0, &dir);
    view_step_frame(0);
    Mat4 world = moved(0);
    select(1, &world, &kDefaultMaterial);
    draw_quad();
    EXPECT_LE(test_color_distance(pixel_at({0, 0, 0}), 0xFF303030), 2);
}

TEST_F(ShaderDrawTest, ScreenVerticesKeepTheirColourThroughThePixelShader) {
    // Pre-transformed vertices skip the vertex shader; the pixel shader takes the
    // fixed-function colour.
    select(1, nullptr, nullptr);
    ASSERT_NE(shader_get_set()->pixel[1].shader, nullptr);
    gfx_test_quad(8, 8, 24, 24, 0xFF20A040);
    EXPECT_LE(test_color_distance(test_pixel(16, 16), 0xFF20A040), 1);
    EXPECT_EQ(test_pixel(30, 30), kClear);
}

TEST_F(ShaderDrawTest, KeptFixedFunctionStageTakesTheLayoutOfEachDraw) {
    // A lit draw through fixed function leaves the 0x112 layout behind.
    Mat4 world = moved(0);
    setup_fixed_function(&world);
    select(0, &world, &kDefaultMaterial);
    draw_quad();
    // The next draw keeps the set (and so the unbound vertex stage) but brings screen vertices:
    // they must be read with their own layout.
    gfx_test_clear(kClear);
    shader_select(-1, nullptr, 0, shader_find_vertex_decl(GFX_SCREEN_VERTEX_FVF), nullptr, nullptr,
                  nullptr, nullptr, 1.0f, nullptr, 0);
    ASSERT_EQ(shader_get_set()->last_vertex, 0);
    const float xs[4] = {8, 24, 8, 24}, ys[4] = {8, 8, 24, 24};
    ScreenVertex v[4] = {};
    for (int i = 0; i < 4; ++i) v[i] = {xs[i] - 0.5f, ys[i] - 0.5f, 0, 1, 0xFF20A040, 0, 0, 0, 0};
    gpu_begin_scene();
    gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
    gpu_end_scene();
    EXPECT_LE(test_color_distance(test_pixel(16, 16), 0xFF20A040), 1);
    EXPECT_EQ(test_pixel(30, 30), kClear);
}

TEST_F(ShaderDrawTest, PointLightsAddTheirColourInBothLightSets) {
    PointLight light = {};
    light.position = {0, 0, 1};
    light.radius = 4.0f;
    light.color_f[0] = 0.2f;
    light.color_f[3] = 1.0f;
    PointLight *lights[1] = {&light};
    Mat4 world = moved(0);
    // Each corner is sqrt(1.5) from the light: fall-off 1 - sqrt(1.5) / 4; at the centre the
    // quad faces the light fully.
    const int red = (int)((176.0f / 255.0f + 0.2f * (1.0f - 1.2247449f / 4.0f)) * 255.0f + 0.5f);
    for (int set = 1; set <= 2; ++set) {
        gfx_test_clear(kClear);
        select(set, &world, &kDefaultMaterial, lights, 1);
        EXPECT_EQ(shader_get_set()->last_vertex, set == 1 ? 4 : 8);
        draw_quad();
        uint32_t c = pixel_at({0, 0, 0});
        EXPECT_NEAR(channel(c, 16), red, 2) << "set " << set;
        EXPECT_NEAR(channel(c, 8), 0xB0, 2) << "set " << set;
    }
}

TEST_F(ShaderDrawTest, KeptSetBindsOnceAndSetsConstantsEachDraw) {
    const NodeMaterial red = {0x00FFFFFF, 0xFFFF0000, 0, 0, 0.0f, 1.0f};
    const NodeMaterial green = {0x00FFFFFF, 0xFF00FF00, 0, 0, 0.0f, 1.0f};
    Mat4 left = moved(-1.2f), right = moved(1.2f);
    select(1, &left, &red);
    gpu_trace_enable(true);
    gpu_trace_clear();
    select(-1, &left, &red);
    draw_quad();
    select(-1, &right, &green);
    draw_quad();
    EXPECT_EQ(test_trace(GPU_TRACE_SHADER).size(), 0u);
    gpu_trace_enable(false);
    uint32_t l = pixel_at({-1.2f, 0, 0}), r = pixel_at({1.2f, 0, 0});
    EXPECT_NEAR(channel(l, 16), 0xB0, 2);
    EXPECT_NEAR(channel(l, 8), 0x30, 2);
    EXPECT_NEAR(channel(r, 16), 0x30, 2);
    EXPECT_NEAR(channel(r, 8), 0xB0, 2);

    // A set given again binds again.
    gpu_trace_enable(true);
    gpu_trace_clear();
    select(1, &left, &red);
    EXPECT_EQ(test_trace(GPU_TRACE_SHADER).size(), 2u);
}

TEST_F(ShaderDrawTest, PaletteSlotSkinsIntoTheFixedFunctionPixelStage) {
    static MeshBone bone = {"root", 7, {}};
    mat4_identity(&bone.offset);
    MeshBuffers mesh = {};
    mesh.bones = &bone;
    mesh.counts_flags = 1u << MESH_BONE_COUNT_SHIFT;
    InstanceBone ib = {};
    ib.palette_index = 0;
    ib.palette = moved(1.2f);
    ModelInstance instance = {};
    instance.bones = &ib;
    instance.palette_model = &mesh;

    Mat4 world = moved(0);
    shader_set_light_params(view_get_view_matrix(0), view_get_camera_matrix(0), view_get_proj(0),
                            view_get_view_proj(0), view_get_proj_view(0));
    shader_select(0, nullptr, 0, shader_find_vertex_decl(0x1118), &world, &kDefaultMaterial, &mesh,
                  &instance, 1.0f, nullptr, 0);
    ASSERT_EQ(shader_get_set()->last_vertex, 1);
    ASSERT_EQ(shader_get_set()->last_pixel, 0);
    SkinVertex v[4];
    const float xy[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};
    for (int i = 0; i < 4; ++i) v[i] = {xy[i][0], xy[i][1], 0, 1.0f, {0, 0, 0, 0}, 0, 0, 1, 0, 0};
    gpu_begin_scene();
    gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(SkinVertex));
    gpu_end_scene();
    // Moved by the palette; lit per vertex with ambient colour 0 and the diffuse colour.
    EXPECT_EQ(pixel_at({0, 0, 0}), kClear);
    EXPECT_LE(test_color_distance(pixel_at({1.2f, 0, 0}), 0xFFC0C0C0), 2);
}

// A small skinned quad through the palette slot with one to four stored weights of 0.25 each
// and indices 0-3 on bones moved along x by 0.4 x their number. The implied last weight (what
// the stored ones leave) belongs to the index after the stored ones, so the quad lands at
// sum(weight x 0.4 x index).
TEST_F(ShaderDrawTest, ImpliedLastWeightFollowsTheStoredOnes) {
    static MeshBone bones[4] = {{"b0", 70, {}}, {"b1", 71, {}}, {"b2", 72, {}}, {"b3", 73, {}}};
    MeshBuffers mesh = {};
    mesh.bones = bones;
    mesh.counts_flags = 4u << MESH_BONE_COUNT_SHIFT;
    InstanceBone ib[4] = {};
    for (int i = 0; i < 4; ++i) {
        mat4_identity(&bones[i].offset);
        ib[i].palette_index = (uint8_t)i;
        ib[i].palette = moved(0.4f * (float)i);
        if (i < 3) ib[i].next = &ib[i + 1];
    }
    ModelInstance instance = {};
    instance.bones = &ib[0];
    instance.palette_model = &mesh;
    const struct {
        uint32_t code;
        int weights;
        float x; // where the quad lands
    } cases[] = {{0x1118, 1, 0.75f * 0.4f},
                 {0x111A, 2, 0.25f * 0.4f + 0.5f * 0.8f},
                 {0x111C, 3, 0.25f * (0.4f + 0.8f + 1.2f)},
                 {0x111E, 4, 0.25f * (0.4f + 0.8f + 1.2f)}};
    Mat4 world = moved(0);
    for (const auto &c : cases) {
        gfx_test_clear(kClear);
        shader_set_light_params(view_get_view_matrix(0), view_get_camera_matrix(0),
                                view_get_proj(0), view_get_view_proj(0), view_get_proj_view(0));
        shader_select(1, nullptr, 0, shader_find_vertex_decl(c.code), &world, &kDefaultMaterial,
                      &mesh, &instance, 1.0f, nullptr, 0);
        ASSERT_EQ(shader_get_set()->last_vertex, 3);
        // position, weights, index word, normal, one texture set
        std::vector<float> v;
        const float xy[4][2] = {{-0.1f, -0.1f}, {0.1f, -0.1f}, {-0.1f, 0.1f}, {0.1f, 0.1f}};
        for (const auto &p : xy) {
            v.insert(v.end(), {p[0], p[1], 0});
            for (int w = 0; w < c.weights; ++w) v.push_back(0.25f);
            uint32_t indices = 0x03020100u;
            float word;
            std::memcpy(&word, &indices, 4);
            v.insert(v.end(), {word, 0, 0, 1, 0, 0});
        }
        const uint32_t stride = (uint32_t)(v.size() / 4 * sizeof(float));
        ASSERT_EQ(stride, gpu_fvf_stride(c.code));
        gpu_begin_scene();
        gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v.data(), stride);
        gpu_end_scene();
        EXPECT_NE(pixel_at({c.x, 0, 0}), kClear) << c.weights << " weights";
        EXPECT_EQ(pixel_at({c.x - 0.15f, 0, 0}), kClear) << c.weights << " weights";
        EXPECT_EQ(pixel_at({c.x + 0.15f, 0, 0}), kClear) << c.weights << " weights";
    }

    // A rigid mesh drawn with the instance after that keeps the plain shader and its place.
    gfx_test_clear(kClear);
    MeshBuffers rigid = {};
    Mat4 at = moved(-0.6f);
    shader_select(1, nullptr, 0, shader_find_vertex_decl(0x112), &at, &kDefaultMaterial, &rigid,
                  &instance, 1.0f, nullptr, 0);
    EXPECT_EQ(shader_get_set()->last_vertex, 2);
    draw_quad();
    EXPECT_NE(pixel_at({-0.6f, 0, 0}), kClear);
}

// Constants reach the draw however the programs' values were last changed: after a constant
// set on the device behind the set's back, and after a device loss whose reset loads the
// shaders again. A second figure that differs only in place and pose sends only what depends
// on them: the two matrices, the palette and the eye position.
TEST_F(ShaderDrawTest, ConstantsReachTheDrawAfterDirectSetsAndALoss) {
    const NodeMaterial red = {0x00FFFFFF, 0xFFFF0000, 0, 0, 0.0f, 1.0f};
    Mat4 world = moved(0);
    auto lit_red = [&](const char *what) {
        uint32_t c = pixel_at({0, 0, 0});
        EXPECT_NEAR(channel(c, 16), 0xB0, 2) << what;
        EXPECT_NEAR(channel(c, 8), 0x30, 2) << what;
    };
    select(1, &world, &red);
    draw_quad();
    lit_red("first draw");

    // A zero matrix set straight on the device collapses the quad; the next select puts the
    // set's own matrix back.
    GpuShader *vs = shader_get_set()->vertex[2].shader;
    ASSERT_NE(vs, nullptr);
    static const float zero[16] = {};
    gpu_constant_set_matrix(vs, gpu_constant_find(vs, "m1"), zero);
    gfx_test_clear(kClear);
    draw_quad();
    EXPECT_EQ(pixel_at({0, 0, 0}), kClear);
    select(1, &world, &red);
    draw_quad();
    lit_red("after a direct set");

    // Loss: the reset callback loads the shaders again.
    gpu_debug_lose_device();
    gfx_present();
    ASSERT_EQ(gfx_is_device_lost(), 0u);
    gfx_test_reset_states();
    gfx_set_draw_states(1, 0, 3, 0, 0, 2, 0, 5, 0);
    gpu_set_texture(0, gfx_default_texture()->texture);
    gfx_test_clear(kClear);
    select(1, &world, &red);
    draw_quad();
    lit_red("after a loss");

    // Two skinned figures, each a small quad on one bone.
    static MeshBone bone = {"b0", 70, {}};
    mat4_identity(&bone.offset);
    MeshBuffers mesh = {};
    mesh.bones = &bone;
    mesh.counts_flags = 1u << MESH_BONE_COUNT_SHIFT;
    InstanceBone ib = {};
    ModelInstance instance = {};
    instance.bones = &ib;
    instance.palette_model = &mesh;
    SkinVertex v[4];
    const float xy[4][2] = {{-0.1f, -0.1f}, {0.1f, -0.1f}, {-0.1f, 0.1f}, {0.1f, 0.1f}};
    for (int i = 0; i < 4; ++i) v[i] = {xy[i][0], xy[i][1], 0, 1.0f, {0, 0, 0, 0}, 0, 0, 1, 0, 0};
    auto figure = [&](float x, float lift) {
        Mat4 at = moved(x);
        Vec3 up = {0, lift, 0};
        mat4_translation(&ib.palette, &up);
        shader_set_light_params(view_get_view_matrix(0), view_get_camera_matrix(0),
                                view_get_proj(0), view_get_view_proj(0), view_get_proj_view(0));
        shader_select(1, nullptr, 0, shader_find_vertex_decl(0x1118), &at, &red, &mesh, &instance,
                      1.0f, nullptr, 0);
        gpu_begin_scene();
        gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(SkinVertex));
        gpu_end_scene();
    };
    gfx_test_clear(kClear);
    figure(-0.6f, 0.0f);
    const uint64_t before = gpu_debug_uniform_uploads();
    figure(0.6f, 0.3f);
    EXPECT_EQ(gpu_debug_uniform_uploads() - before, 4u);
    EXPECT_NE(pixel_at({-0.6f, 0, 0}), kClear);
    EXPECT_NE(pixel_at({0.6f, 0.3f, 0}), kClear);
    EXPECT_EQ(pixel_at({0.6f, 0, 0}), kClear);
}

} // namespace
