// Model nodes drawn through a view's 3D pass: lighting, fog, queue order, levels of detail,
// culling with scaled radii, the world transform of every draw, billboards and texture slots.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "nodes_test_env.h"
#include "render/gfx_state.h"
#include "render/view.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"

namespace {

class ModelNodes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    SceneObject *node_at(ResourceHandle model, float x, float y, float z, float scale = 1.0f) {
        Mat4 m;
        mat4_identity(&m);
        for (int i = 0; i < 3; ++i) m.m[i][i] = scale;
        m.m[3][0] = x, m.m[3][1] = y, m.m[3][2] = z;
        return mdlnode_create(0, &m, model, NODE_DEFAULT_LAYER);
    }
};

// The view's default light: direction (1, -1, 1) / sqrt 3, ambient 0xFF646478, diffuse white;
// the default material is white. A vertex colour is ambient + diffuse x max(0, n . -dir).
TEST_F(ModelNodes, LitFromTheViewLight) {
    const Vec3 n = {0.6f, 0.8f, 0.0f};
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, n);
    ASSERT_NE(quad, 0u);
    ASSERT_NE(node_at(quad, 0, 0, 0), nullptr);
    nodes_test_frame();
    const double cosine = (-0.6 + 0.8) / sqrt(3.0);
    const uint32_t want = rgb_of(100 / 255.0 + cosine, 100 / 255.0 + cosine, 120 / 255.0 + cosine);
    const uint32_t got = nodes_test_pixel_at({0, 0, 0});
    EXPECT_TRUE(rgb_near(got, want, 1)) << std::hex << got << " want " << want;
}

// Under a world scale of 2 the normals are transformed by the inverse transpose of the world
// matrix and not renormalised: the diffuse term halves.
TEST_F(ModelNodes, LitUnderAWorldScaleOfTwo) {
    const Vec3 n = {0.6f, 0.8f, 0.0f};
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, n);
    ASSERT_NE(node_at(quad, 0, 0, 0, 2.0f), nullptr);
    nodes_test_frame();
    const double cosine = (-0.6 + 0.8) / sqrt(3.0) * 0.5;
    const uint32_t want = rgb_of(100 / 255.0 + cosine, 100 / 255.0 + cosine, 120 / 255.0 + cosine);
    const uint32_t got = nodes_test_pixel_at({0, 0, 0});
    EXPECT_TRUE(rgb_near(got, want, 1)) << std::hex << got << " want " << want;
}

TEST_F(ModelNodes, LinearFogOnlyWhileTheViewFogs) {
    const ResourceHandle quad = nodes_test_quad_model("q", 1.0f, {0, 0, 1});
    SceneObject *node = node_at(quad, 0, 0, 0);
    mdlnode_set_lighting(node, 0); // unlit and uncoloured: white
    view_set_fog_start(0, 0.0f);
    view_set_fog_end(0, 10.0f);
    view_set_fog_color(0, 0xFFFF0000u);
    nodes_test_frame(); // fog mode 0: the node's fog bit alone fogs nothing
    EXPECT_EQ(nodes_test_pixel_at({0, 0, 0}) & 0xFFFFFF, 0xFFFFFFu);

    view_set_fog_mode(0, 1);
    node = node_at(quad, 0, 0, 0);
    mdlnode_set_lighting(node, 0);
    nodes_test_frame();
    // Depth 5 of 0..10: half the node's white, half the fog's red.
    const uint32_t got = nodes_test_pixel_at({0, 0, 0});
    EXPECT_TRUE(rgb_near(got, rgb_of(1.0, 0.5, 0.5), 1)) << std::hex << got;
}

TEST_F(ModelNodes, BlendedFarFirstThenNoDepthWriteNodes) {
    const ResourceHandle red = nodes_test_quad_model("r", 1.0f, {0, 0, 1}, 0x80FF0000u);
    const ResourceHandle green = nodes_test_quad_model("g", 1.0f, {0, 0, 1}, 0x8000FF00u);
    const ResourceHandle blue = nodes_test_quad_model("b", 1.0f, {0, 0, 1}, 0x800000FFu);
    const ResourceHandle yellow = nodes_test_quad_model("y", 2.0f, {0, 0, 1}, 0xFFFFFF00u);
    // The no-depth-write node is farthest and opaque: drawn last, the nearer blended nodes'
    // depth hides it; drawn first, it would tint the composite.
    mdlnode_set_zwrite(node_at(yellow, 0, 0, -4), 0);
    mdlnode_set_blended(node_at(green, 0, 0, 0), 1);
    mdlnode_set_blended(node_at(blue, 0, 0, -2), 1);
    mdlnode_set_blended(node_at(red, 0, 0, 2), 1);
    nodes_test_frame();
    const double a = 128.0 / 255.0;
    const uint32_t want = rgb_of(a, (1 - a) * a, (1 - a) * (1 - a) * a);
    const uint32_t got = nodes_test_pixel_at({0, 0, 0});
    EXPECT_TRUE(rgb_near(got, want, 2)) << std::hex << got << " want " << want;
}

TEST_F(ModelNodes, NearOpaqueNodeHidesAFarOneInEitherOrder) {
    const ResourceHandle red = nodes_test_quad_model("r", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    const ResourceHandle green = nodes_test_quad_model("g", 1.0f, {0, 0, 1}, 0xFF00FF00u);
    for (int order = 0; order < 2; ++order) {
        if (order == 0)
            node_at(red, 0, 0, 1), node_at(green, 0, 0, -1);
        else
            node_at(green, 0, 0, -1), node_at(red, 0, 0, 1);
        gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);
        nodes_test_frame();
        EXPECT_EQ(nodes_test_pixel_at({0, 0, 0}) & 0xFFFFFF, 0xFF0000u) << order;
    }
}

TEST_F(ModelNodes, LevelsOfDetailBySquaredDistance) {
    const ResourceHandle a = nodes_test_quad_model("a", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    const ResourceHandle b = nodes_test_quad_model("b", 1.0f, {0, 0, 1}, 0xFF00FF00u);
    const NodeLod lods[2] = {{b, 100.0f}, {a, 4.0f}}; // given out of order
    auto frame_from = [&](float z) {
        const Vec3 eye = {0, 0, z}, target = {0, 0, 0};
        view_set_look_at(0, &eye, &target, nullptr);
        SceneObject *node = mdlnode_create(0, nullptr, a, NODE_DEFAULT_LAYER);
        mdlnode_set_lods(node, lods);
        gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);
        nodes_test_frame();
        return nodes_test_pixel_at({0, 0, 0}) & 0xFFFFFF;
    };
    EXPECT_EQ(frame_from(5.0f), 0xFF0000u);  // 25: past 4, short of 100
    EXPECT_EQ(frame_from(12.0f), 0x00FF00u); // 144
    EXPECT_EQ(frame_from(1.5f), 0x000000u);  // 2.25: nothing qualifies
}

TEST_F(ModelNodes, SphereCullingUsesTheScaledRadius) {
    const ResourceHandle quad = nodes_test_quad_model("q", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    // At depth 5 the view reaches x = 5 tan(pi / 8) x 4 / 3 = 2.76.
    node_at(quad, 10, 0, 0);
    EXPECT_EQ(nodes_test_traced_draws(), 0u);
    // Radius sqrt 2 x 3 = 4.24 reaches past the edge from x = 5; unscaled (1.41) it would not.
    node_at(quad, 5, 0, 0, 3.0f);
    EXPECT_EQ(nodes_test_traced_draws(), 1u);
    EXPECT_EQ(nodes_test_pixel_at({2.6f, 0, 0}) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(ModelNodes, MirrorPassDrawsOnlyMirrorNodesUntilTheReset) {
    const ResourceHandle quad = nodes_test_quad_model("q", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    SceneObject *plain = mdlnode_create_persistent(0, nullptr, quad, NODE_DEFAULT_LAYER);
    scenedraw_set_mirror_pass(1);
    EXPECT_EQ(nodes_test_traced_draws(), 0u);
    // The pass's reset put the overrides back: the next pass is an ordinary one.
    EXPECT_EQ(scenedraw_get_camera_select(), -1);
    EXPECT_EQ(nodes_test_traced_draws(), 1u);
    mdlnode_set_alt_pass2(plain, 1);
    scenedraw_set_mirror_pass(1);
    EXPECT_EQ(nodes_test_traced_draws(), 1u);
}

TEST_F(ModelNodes, EveryDrawSetsItsWorldMatrix) {
    const ResourceHandle red = nodes_test_quad_model("r", 0.5f, {0, 0, 1}, 0xFFFF0000u);
    const ResourceHandle green = nodes_test_quad_model("g", 0.5f, {0, 0, 1}, 0xFF00FF00u);
    node_at(red, -1.2f, 0, 0);
    // Set 1 has no compiled shader here: it draws fixed-function, with its own matrix.
    mdlnode_set_shader(node_at(green, 1.2f, 0, 0), 1, nullptr, 0);
    nodes_test_frame();
    EXPECT_EQ(nodes_test_pixel_at({-1.2f, 0, 0}) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(nodes_test_pixel_at({1.2f, 0, 0}) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(ModelNodes, BillboardKeepsTheNodeScale) {
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, {0, 0, 1}, 0xFFFF0000u);
    SceneObject *node = mdlnode_create_persistent(0, nullptr, quad, NODE_DEFAULT_LAYER);
    Mat4 *w = mdlnode_world_matrix(node);
    mat4_rotation_euler(w, &(const EulerAngles &)EulerAngles{0.3f, 0.7f, 0.0f});
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) w->m[i][j] *= 2.0f;
    mdlnode_set_billboard(node, 1);
    for (int frame = 0; frame < 2; ++frame) nodes_test_frame();
    const Mat4 *cam = view_get_camera_matrix(0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(w->m[i][j], cam->m[i][j] * 2.0f, 1e-5f);
}

TEST_F(ModelNodes, TextureSlotsAreBoundedByTheMaterialCount) {
    const ResourceHandle tex = nodes_test_texture("red", 0xFFFF0000u);
    const ResourceHandle good = nodes_test_quad_model("good", 0.5f, {0, 0, 1});
    const ResourceHandle bad = nodes_test_quad_model("bad", 0.5f, {0, 0, 1});
    nodes_test_model_texture(good, 0, tex);
    nodes_test_model_texture(bad, 5, tex); // one material: index 5 names none
    mdlnode_set_lighting(node_at(good, -1.2f, 0, 0), 0);
    mdlnode_set_lighting(node_at(bad, 1.2f, 0, 0), 0);
    nodes_test_frame();
    EXPECT_EQ(nodes_test_pixel_at({-1.2f, 0, 0}) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(nodes_test_pixel_at({1.2f, 0, 0}) & 0xFFFFFF, 0xFFFFFFu); // stage unbound: white
}

TEST_F(ModelNodes, LodEntriesAndShaderParameters) {
    SceneObject *node = mdlnode_create_persistent(0, nullptr, 0, NODE_DEFAULT_LAYER);
    const NodeLod pairs[2] = {{7, 400.0f}, {5, 100.0f}};
    mdlnode_set_lods(node, pairs);
    const ModelNodeHead *h = mdlnode_head(node);
    EXPECT_EQ(h->lods[0].model, 5u);
    EXPECT_EQ(h->lods[1].model, 7u);
    const NodeLod dropped[2] = {{0, 1.0f}, {(uint32_t)-3, 2.0f}};
    mdlnode_set_lods(node, dropped);
    EXPECT_EQ(h->lods[0].model, 0u);

    uint8_t block[64];
    memset(block, 0xAB, sizeof(block));
    mdlnode_set_shader(node, 1, block, -5); // a negative size copies nothing
    EXPECT_EQ(h->params[0], 0);
    mdlnode_set_shader(node, 1, block, 64);
    EXPECT_EQ(h->params[39], 0xAB);
    EXPECT_EQ(sizeof(h->params), 40u);
}

} // namespace
