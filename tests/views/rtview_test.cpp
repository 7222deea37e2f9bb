// Render views: what a view draws lands in its own texture and nowhere else, depth inside its
// target, the pool's limits and names, owners, the scene chains and a device reset.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/rtview.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/owner_id.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"
#include "views_test_env.h"

namespace {

constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, WHITE = 0xFFFFFFFFu;
constexpr uint32_t BLACK = 0xFF000000u;

class RenderViews : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(views_test_start());
        views_test_fresh();
    }
    void TearDown() override { views_test_fresh(); }
};

uint32_t texel(const RenderView *v, int x, int y) {
    const TextureHandle *t = res_get_texture(v->texture);
    return t ? test_surface_pixel(t->surface, x, y) : 0;
}

// The name hash written out: six low bits of each byte shifted in, the polynomial folded in
// whenever a set bit leaves the top.
uint32_t hash_by_rule(const char *s) {
    uint32_t h = 0;
    for (; *s; ++s) {
        for (int i = 0; i < 6; ++i) {
            const bool top = (h & 0x80000000u) != 0;
            h = h << 1 | ((uint32_t)(uint8_t)*s >> i & 1u);
            if (top) h ^= 0x04C11DB7u;
        }
    }
    return h;
}

} // namespace

TEST_F(RenderViews, ViewDrawsItsRangesIntoItsTextureOnly) {
    int32_t vx, vy, vw, vh;
    view_get_viewport(0, &vx, &vy, &vw, &vh);
    const float aspect = view_get_aspect(0);

    RenderView *v = rtview_create(0, 32, 32, "mirror");
    ASSERT_NE(v, nullptr);
    v->clear_color = 0xFF102030u;
    v->first_range[0] = v->first_range[1] = VIEWS_TEST_LAYER;
    v->range_3d[0] = v->range_3d[1] = VIEWS_TEST_LAYER + 1; // empty, but the camera is swapped
    RenderView *bare = rtview_create(0, 8, 8, "bare");
    ASSERT_NE(bare, nullptr);
    bare->clear_color = 0xFF405060u;

    sprite2d_put_rect(0, RED, 8, 8, 8, 8, 0, 0, 1, 1, VIEWS_TEST_LAYER);
    // A sprite of the view's own layers showing the view's texture samples white instead.
    sprite2d_put_texture(0, v->texture, WHITE, 26, 26, 0.5f, 0.5f, 0.125f, 0.125f,
                         VIEWS_TEST_LAYER);
    // The main pass shows the view's picture centred on the screen.
    sprite2d_put_texture(0, v->texture, WHITE, 80, 60, 0.5f, 0.5f, 1, 1, 20);
    gfx_render_frame(0);

    EXPECT_EQ(texel(v, 10, 10), RED);
    EXPECT_EQ(texel(v, 2, 2), 0xFF102030u);
    EXPECT_EQ(texel(v, 20, 12), 0xFF102030u);
    EXPECT_EQ(texel(v, 26, 26), WHITE);
    EXPECT_EQ(texel(bare, 4, 4), 0xFF405060u); // no range at all: still cleared

    // Back buffer: layer 45 is not drawn there; the shown picture is.
    EXPECT_EQ(test_pixel(10, 10), BLACK);
    EXPECT_EQ(test_pixel(64 + 10, 44 + 10), RED);
    EXPECT_EQ(test_pixel(64 + 2, 44 + 2), 0xFF102030u);
    EXPECT_EQ(test_pixel(30, 30), BLACK);

    int32_t x, y, w, h;
    view_get_viewport(0, &x, &y, &w, &h);
    EXPECT_EQ(x, vx);
    EXPECT_EQ(y, vy);
    EXPECT_EQ(w, vw);
    EXPECT_EQ(h, vh);
    EXPECT_EQ(view_get_aspect(0), aspect);

    // Disabled: the texture keeps its last picture.
    v->enabled = 0;
    v->clear_color = 0xFF000080u;
    gfx_render_frame(0);
    EXPECT_EQ(texel(v, 2, 2), 0xFF102030u);
}

TEST_F(RenderViews, AWideViewDrawsOverItsWholeTarget) {
    // 64 x 32: the clear, a 2D range and a 3D range each reach every pixel of the target, the
    // right half and the bottom rows included.
    constexpr int W = 64, H = 32;
    RenderView *v = rtview_create(0, W, H, "wide");
    ASSERT_NE(v, nullptr);
    auto every_inner_texel_is = [&](uint32_t colour) {
        int wrong = 0;
        for (int y = 1; y < H - 1; y += 2)
            for (int x = 1; x < W - 1; x += 2)
                if (texel(v, x, y) != colour) ++wrong;
        return wrong;
    };
    v->clear_color = 0xFF203040u;
    gfx_render_frame(0);
    EXPECT_EQ(every_inner_texel_is(0xFF203040u), 0);

    v->first_range[0] = v->first_range[1] = VIEWS_TEST_LAYER;
    sprite2d_put_rect(0, RED, 0, 0, W, H, 0, 0, 1, 1, VIEWS_TEST_LAYER);
    gfx_render_frame(0);
    EXPECT_EQ(every_inner_texel_is(RED), 0);

    // A billboard 40 units wide at the origin, seen from 5 units away, fills the view.
    v->first_range[0] = -1;
    v->range_3d[0] = v->range_3d[1] = SPRITE3D_LAYER;
    const Vec3 origin = {0, 0, 0};
    ASSERT_NE(sprite3d_create(0, &origin, 0.0f, 40.0f, 0, GREEN, 1), nullptr);
    gfx_render_frame(0);
    EXPECT_EQ(every_inner_texel_is(GREEN), 0);
}

TEST_F(RenderViews, DepthTestsAgainstTheViewsOwnDepthSurface) {
    RenderView *v = rtview_create(0, 16, 16, "depth");
    ASSERT_NE(v, nullptr);
    const SurfaceHandle *depth = res_get_depth_surface(v->depth_surface);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->format, (uint32_t)GPU_FMT_D24S8);
    EXPECT_EQ(depth->width, 16);

    // Depth write on, compare LESS: the first quad keeps its pixels against a second at the
    // same depth. The clear of the next frame resets the depth, so the first wins again.
    QuadStates first = {RED, 1, 1, 0, 5, 0, 0, 0, nullptr};
    QuadStates second = {GREEN, 1, 1, 0, 5, 0, 0, 0, nullptr};
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(gpu_begin_scene(), GPU_OK);
        rtview_draw(v);
        gpu_set_render_state(GPU_RS_ZENABLE, 1);
        quad_draw_rect(0, 0, 8, 16, 0, 0, &first);
        quad_draw_rect(4, 0, 8, 16, 0, 0, &second);
        gpu_end_scene();
        EXPECT_EQ(texel(v, 2, 8), RED);
        EXPECT_EQ(texel(v, 6, 8), RED); // both drawn here: the nearer-or-equal test kept red
        EXPECT_EQ(texel(v, 10, 8), GREEN);
        EXPECT_EQ(texel(v, 14, 8), 0u); // clear colour 0
    }
    tex_set_render_targets(0, 0, nullptr);
}

TEST_F(RenderViews, PoolLimitsSizesAndFreeing) {
    RenderView *views[RTVIEW_COUNT];
    for (int i = 0; i < RTVIEW_COUNT; ++i) {
        views[i] = rtview_create(0, 4 + i, 4, ("v" + std::to_string(i)).c_str());
        ASSERT_NE(views[i], nullptr);
    }
    EXPECT_EQ(rtview_create(0, 4, 4, "ninth"), nullptr);
    EXPECT_EQ(rtview_count(), (uint32_t)RTVIEW_COUNT);
    EXPECT_EQ(rtview_pool()->active_head, views[RTVIEW_COUNT - 1]); // newest first
    EXPECT_EQ(rtview_find("v3"), views[3]);
    EXPECT_EQ(rtview_find("v"), nullptr);
    EXPECT_EQ(rtview_find(nullptr), nullptr);

    // Sized at creation, nothing left after freeing.
    const TextureHandle *t = res_get_texture(views[3]->texture);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->width, 7);
    EXPECT_EQ(t->height, 4);
    const CropRecord *crop = res_get_crop(views[3]->crop);
    EXPECT_EQ(crop->texture, views[3]->texture);
    EXPECT_EQ(crop->u_size, 1.0f);
    rtview_free(views[3]);
    EXPECT_EQ(t->texture, nullptr);
    EXPECT_EQ(res_get_depth_surface(views[3]->depth_surface)->surface, nullptr);
    EXPECT_EQ(crop->texture, 0u);
    EXPECT_EQ(rtview_count(), (uint32_t)RTVIEW_COUNT - 1);
    rtview_free(views[3]); // not in use: ignored
    rtview_free(nullptr);
    EXPECT_EQ(rtview_count(), (uint32_t)RTVIEW_COUNT - 1);
    EXPECT_EQ(rtview_find("v3"), nullptr);
    EXPECT_EQ(rtview_pool()->free_head, views[3]);

    // The freed slot is the next one taken.
    EXPECT_EQ(rtview_create(0, 4, 4, "again"), views[3]);
    rtview_reset();
    EXPECT_EQ(rtview_count(), 0u);

    // Refused sizes and names take no slot.
    const uint32_t largest = gfx_device_state()->caps.max_texture_size;
    ASSERT_GT(largest, 0u);
    EXPECT_EQ(rtview_create(0, 0, 4, "zero"), nullptr);
    EXPECT_EQ(rtview_create(0, 4, -1, "negative"), nullptr);
    EXPECT_EQ(rtview_create(0, (int32_t)largest + 1, 4, "wide"), nullptr);
    EXPECT_EQ(rtview_create(0, 4, 4, nullptr), nullptr);
    EXPECT_EQ(rtview_count(), 0u);
    EXPECT_EQ(rtview_pool()->free_head, &rtview_pool()->views[0]);
}

TEST_F(RenderViews, LongNamesAreCutAndLeaveTheNeighboursNamesAlone) {
    const RenderView *slots = rtview_pool()->views;
    const std::string next_texture = res_texture_name(slots[1].texture);
    const std::string next_crop = res_crop_name(slots[1].crop);
    const std::string forty(40, 'q');

    RenderView *v = rtview_create(0, 4, 4, forty.c_str());
    ASSERT_EQ(v, &slots[0]);
    EXPECT_EQ(std::strlen(v->name), 32u);
    EXPECT_EQ(std::string(v->name), forty.substr(0, 32));
    EXPECT_EQ(rtview_find(forty.substr(0, 32).c_str()), v);
    EXPECT_EQ(std::string(res_texture_name(v->texture)), forty.substr(0, 32));
    EXPECT_EQ(std::string(res_crop_name(v->crop)), forty.substr(0, 32));
    EXPECT_EQ(res_find_texture(nullptr, v->name), v->texture);
    EXPECT_EQ(std::string(res_texture_name(slots[1].texture)), next_texture);
    EXPECT_EQ(std::string(res_crop_name(slots[1].crop)), next_crop);

    EXPECT_EQ(rtview_name_hash(""), 0u);
    EXPECT_EQ(rtview_name_hash(nullptr), 0u);
    EXPECT_EQ(rtview_name_hash("mirror view 7"), hash_by_rule("mirror view 7"));
}

TEST_F(RenderViews, OwnersAndSceneChainsFreeTheirViews) {
    const OwnerId a = owner_alloc(), b = owner_alloc();
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    RenderView *va = rtview_create(a, 4, 4, "a");
    RenderView *vb = rtview_create(b, 4, 4, "b");
    RenderView *v0 = rtview_create(0, 4, 4, "zero");
    ASSERT_TRUE(va && vb && v0);
    rtview_release_owner(0);
    EXPECT_EQ(rtview_count(), 3u);
    obj_release_owner(a); // the object manager frees the owner's views too
    EXPECT_EQ(va->in_use, 0);
    EXPECT_EQ(vb->in_use, 1);
    EXPECT_EQ(v0->in_use, 1);
    EXPECT_EQ(rtview_count(), 2u);

    gfx_clear_scene();
    EXPECT_EQ(rtview_count(), 0u);
    ASSERT_NE(rtview_create(0, 4, 4, "c"), nullptr);
    gfx_reset_scene();
    EXPECT_EQ(rtview_count(), 0u);
    for (int i = 0; i < RTVIEW_COUNT; ++i)
        EXPECT_EQ(res_get_texture(rtview_pool()->views[i].texture)->texture, nullptr);
}

TEST_F(RenderViews, ViewDrawsAgainAfterADeviceReset) {
    RenderView *v = rtview_create(0, 16, 16, "lost");
    ASSERT_NE(v, nullptr);
    v->first_range[0] = v->first_range[1] = VIEWS_TEST_LAYER;
    gpu_debug_lose_device();
    gfx_render_frame(0); // the present reports the loss; the device is reset at once
    ASSERT_EQ(gfx_is_device_lost(), 0u);
    const TextureHandle *t = res_get_texture(v->texture);
    ASSERT_NE(t->surface, nullptr);
    EXPECT_EQ(t->width, 16);

    sprite2d_put_rect(0, GREEN, 0, 0, 8, 8, 0, 0, 1, 1, VIEWS_TEST_LAYER);
    v->clear_color = 0xFF0000FFu;
    gfx_render_frame(0);
    EXPECT_EQ(texel(v, 4, 4), GREEN);
    EXPECT_EQ(texel(v, 12, 12), 0xFF0000FFu);
}
