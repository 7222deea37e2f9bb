// The built stage drawn through a render-to-texture view with view 0 as the stage row leaves it:
// the floor and the lamp where the projection puts them, lit by the row's light and unfogged
// (the row's fog starts at 500, the far plane), and the clear colour above the horizon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "game/game_3d.h"
#include "modelset_test_env.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/rtview.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "tests/support/test_render.h"

namespace {

constexpr int32_t WIDTH = 320, HEIGHT = 240;
constexpr uint32_t CLEAR = 0xFF2050A0u;

class StagePixels : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(modelset_test_begin());
        rtview_init();
    }
    void TearDown() override {
        game_stage_end();
        rtview_shutdown();
        tex_set_render_targets(0, 0, nullptr);
        modelset_test_end();
    }
};

uint32_t texel(const RenderView *v, int x, int y) {
    const TextureHandle *t = res_get_texture(v->texture);
    return t ? test_surface_pixel(t->surface, x, y) : 0xDEADBEEFu;
}

int channel(uint32_t c, int shift) {
    return (int)((c >> shift) & 0xFF);
}

bool rgb_near(uint32_t got, uint32_t want, int tolerance) {
    for (int s : {0, 8, 16})
        if (std::abs(channel(got, s) - channel(want, s)) > tolerance) return false;
    return true;
}

// A grey of the given level (0..1), rounded and clamped.
uint32_t grey(double v) {
    v = v < 0 ? 0 : v > 1 ? 1 : v;
    const uint32_t c = (uint32_t)std::lround(v * 255.0);
    return 0xFF000000u | c << 16 | c << 8 | c;
}

// The pixel of the view's texture under a world point.
uint32_t pixel_at(const RenderView *v, const Vec3 &p) {
    float x = -1, y = -1;
    view_project_point(0, &x, &y, &p);
    EXPECT_GE(x, 1.0f);
    EXPECT_GE(y, 1.0f);
    EXPECT_LT(x, WIDTH - 1.0f);
    EXPECT_LT(y, HEIGHT - 1.0f);
    return texel(v, (int)std::floor(x), (int)std::floor(y));
}

} // namespace

TEST_F(StagePixels, FloorAndLampWhereTheProjectionPutsThem) {
    ASSERT_TRUE(game_stage_start(0, 0));
    bool done = false;
    for (int guard = 0; guard < 1000 && !done; ++guard) done = game_stage_step();
    ASSERT_TRUE(done);

    // The row sets the field of view, the clip planes, the light and the fog; the camera's place
    // is the game's to choose: above the floor, in front of the lamp, looking at the origin.
    const Vec3 eye = {0, 2, 4}, target = {0, 0, 0}, up = {0, 1, 0};
    view_set_look_at(0, &eye, &target, &up);
    view_set_viewport(0, 0, 0, WIDTH, HEIGHT);
    view_update(0);

    RenderView *v = rtview_create(0, WIDTH, HEIGHT, "stage");
    ASSERT_NE(v, nullptr);
    v->clear_color = CLEAR;
    v->range_3d[0] = 40;
    v->range_3d[1] = 63;

    view_step_frame(0); // the light's goal becomes its current value
    obj_update_pass();
    obj_build_draw_list();
    ASSERT_EQ(gpu_begin_scene(), GPU_OK);
    rtview_draw(v);
    tex_set_render_targets(0, 0, nullptr);
    gpu_end_scene();
    obj_destroy_killed();

    // Lighting: ambient 0x14 + white diffuse x max(0, n . -dir), dir = normalise(-1, -1, 0); the
    // models' material is white. Nothing visible lies past the far plane (500), where the fog
    // starts, so nothing is fogged.
    const double ambient = 0x14 / 255.0, r2 = std::sqrt(2.0);
    const double ldir[3] = {-1 / r2, -1 / r2, 0};
    auto lit = [&](double nx, double ny, double nz) {
        const double d = -(nx * ldir[0] + ny * ldir[1] + nz * ldir[2]);
        return grey(ambient + (d > 0 ? d : 0));
    };

    // The floor's top face (normal +y), away from the lamp and the posts.
    const uint32_t floor_px = pixel_at(v, {1.5f, 0.0f, 1.5f});
    EXPECT_TRUE(rgb_near(floor_px, lit(0, 1, 0), 2)) << std::hex << floor_px;
    // The lamp's front face (normal +z, lit by the ambient terms alone), above the floor: the
    // merged pieces are drawn as authored, the lamp's box about the origin.
    const uint32_t lamp_px = pixel_at(v, {0.0f, 0.15f, 0.3f});
    EXPECT_TRUE(rgb_near(lamp_px, lit(0, 0, 1), 2)) << std::hex << lamp_px;
    // Top left, above the horizon and clear of every model.
    EXPECT_EQ(texel(v, 4, 4), CLEAR);
}
