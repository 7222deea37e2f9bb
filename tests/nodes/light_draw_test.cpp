// Point lights on drawn nodes through the shader sets: the light's term where a node asks for
// nearby lights, none where it does not, and none on a piece drawn after a lit one.
#include <gtest/gtest.h>

#include <cmath>

#include "nodes_test_env.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "resource/res_matrix.h"
#include "scene/model_instance.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "scene/piece_node.h"
#include "scene/point_light.h"

namespace {

class LitByPointLights : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
        nodes_test_load_shaders();
        res_pieces_reset();
    }
    void TearDown() override { shader_release_all(); }
    // A red light of colour 0.2 and radius 4 at (0, 0, 1) for one frame, or none.
    static uint32_t frame_with_light(bool light, const Vec3 &where) {
        const Vec3 at = {0, 0, 1};
        if (light) plight_create_one_frame(0, &at, 4.0f, 0xFF330000u);
        gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);
        nodes_test_frame();
        return nodes_test_pixel_at(where);
    }
};

// Set 1 adds colour x (1 - distance / radius) per vertex; every corner of the 1 x 1 quad is
// sqrt 1.5 from the light.
TEST_F(LitByPointLights, ANodeNearARedLightShowsItsTerm) {
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, {0, 0, 1});
    for (bool nearby : {false, true}) {
        SceneObject *plain = mdlnode_create(0, nullptr, quad, NODE_DEFAULT_LAYER);
        mdlnode_set_shader(plain, 1, nullptr, 0);
        mdlnode_set_nearby_lights(plain, 0);
        const uint32_t base = frame_with_light(true, {0, 0, 0});
        SceneObject *node = mdlnode_create(0, nullptr, quad, NODE_DEFAULT_LAYER);
        mdlnode_set_shader(node, 1, nullptr, 0);
        mdlnode_set_nearby_lights(node, nearby ? 1 : 0);
        const uint32_t got = frame_with_light(true, {0, 0, 0});
        const double term = nearby ? 0.2 * (1.0 - sqrt(1.5) / 4.0) * 255.0 : 0.0;
        EXPECT_NEAR(ch_r(got) - ch_r(base), term, 2) << nearby;
        EXPECT_NEAR(ch_g(got), ch_g(base), 1) << nearby;
    }
}

TEST_F(LitByPointLights, APieceWithoutLightsAfterOneWithLightsShowsNone) {
    nodes_test_quad_model("a", 0.5f, {0, 0, 1});
    nodes_test_quad_model("b", 0.5f, {0, 0, 1}, 0, {1.5f, 0, 0});
    uint32_t lit, unlit;
    meshnode_init_piece_flags(&lit);
    unlit = lit & ~(1u << 3); // no nearby lights
    auto piece_node = [&]() {
        res_pieces_reset();
        res_pieces_begin();
        EXPECT_TRUE(res_pieces_add("m", "a", &lit));
        EXPECT_TRUE(res_pieces_add("m", "b", &unlit));
        PieceEntry *chain = nullptr;
        EXPECT_TRUE(res_pieces_end(&chain));
        SceneObject *o = obj_create(0);
        obj_set_kind(o, meshnode_kind_id());
        meshnode_set_pieces(o, chain);
        meshnode_set_shader(o, 1, nullptr, 0);
        obj_kill(o);
    };
    piece_node();
    const uint32_t dark = frame_with_light(false, {1.5f, 0, 0});
    piece_node();
    const uint32_t after_lit = frame_with_light(true, {1.5f, 0, 0});
    EXPECT_TRUE(rgb_near(after_lit, dark, 1)) << std::hex << after_lit << " " << dark;
    // The lit piece itself does show the light.
    piece_node();
    const uint32_t lit_dark = frame_with_light(false, {0, 0, 0});
    piece_node();
    EXPECT_GT(ch_r(frame_with_light(true, {0, 0, 0})), ch_r(lit_dark) + 10);
}

// The animated kind draws its model as the model kind does, through the shader sets, with or
// without an instance (a mesh without bones takes no bone palette).
TEST_F(LitByPointLights, AnimatedNodeWithoutBonesDrawsLikeAModelNode) {
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, {0, 0, 1});
    SceneObject *model = mdlnode_create(0, nullptr, quad, NODE_DEFAULT_LAYER);
    mdlnode_set_shader(model, 1, nullptr, 0);
    const uint32_t want = frame_with_light(false, {0, 0, 0});
    ASSERT_NE(want & 0xFFFFFF, 0u);
    static ModelInstance instance = {};
    for (bool with_instance : {false, true}) {
        SceneObject *anim = obj_create(0);
        obj_set_kind(anim, scenedraw_settings()->anim_kind);
        obj_kill(anim);
        mdlnode_set_model(anim, quad);
        mdlnode_set_shader(anim, 1, nullptr, 0);
        mdlnode_head(anim)->instance = with_instance ? &instance : nullptr;
        EXPECT_EQ(frame_with_light(false, {0, 0, 0}), want) << with_instance;
    }
}

} // namespace
