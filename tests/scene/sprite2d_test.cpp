// 2D sprites: corner and UV arithmetic as the draw writes it, crops and textures, batching
// through the device trace, and pixels read back.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "resource/res_texture.h"
#include "scene/sprite2d.h"
#include "scene_test_env.h"

namespace {

class Sprites : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_test_device());
        scene_test_begin(0xFF202020u);
        std::vector<uint32_t> white(16 * 16, 0xFFFFFFFFu);
        tex = scene_test_texture("white", 16, 16, white);
        ASSERT_NE(tex, 0u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    // Draws the frame and returns the vertices of the last batch.
    const ScreenVertex *draw() {
        scene_test_frame();
        return gfx_text_vertices();
    }
    ResourceHandle tex = 0;
};

TEST_F(Sprites, TextureSizeAndHandlesThatNameNothing) {
    EXPECT_EQ(sprite2d_kind_id(), 4);
    SceneObject *p = sprite2d_put_texture(0, tex, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 7);
    EXPECT_EQ(p->layer, 7);
    EXPECT_EQ(p->flags & OBJ_FLAG_KILL_MASK, OBJ_FLAG_KILLED);
    EXPECT_EQ(sprite2d_get_w(p), 16.0f);
    EXPECT_EQ(sprite2d_get_texture(p), tex);
    // A handle that names nothing leaves the sprite as it was.
    sprite2d_set_texture_full(p, 999);
    sprite2d_set_crop(p, 999);
    EXPECT_EQ(sprite2d_get_texture(p), tex);
    // Setters on a failed creator's null are harmless.
    sprite2d_set_position(nullptr, 1, 2);
    EXPECT_EQ(sprite2d_get_x(nullptr), 0.0f);
}

TEST_F(Sprites, CropGivesSizeAndUvs) {
    std::vector<uint32_t> texels(256 * 256, 0xFFFFFFFFu);
    const ResourceHandle big = scene_test_texture("big", 256, 256, texels);
    const ResourceHandle crop = res_make_crop("t", "c", 0.25f, 0.0f, 0.5f, 0.25f, "big");
    ASSERT_NE(crop, 0u);
    SceneObject *o = sprite2d_create_crop(0, crop, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20);
    const Sprite2D *s = sprite2d_of(o);
    EXPECT_EQ(s->w, 128.0f);
    EXPECT_EQ(s->h, 64.0f);
    EXPECT_EQ(s->texture, big);
    const float want[4][2] = {{0.25f, 0}, {0.75f, 0}, {0.25f, 0.25f}, {0.75f, 0.25f}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(s->uv[k][0], want[k][0]) << k;
        EXPECT_FLOAT_EQ(s->uv[k][1], want[k][1]) << k;
    }
}

TEST_F(Sprites, DrawnCornersAndTurnedUvs) {
    SceneObject *o = sprite2d_put_rect(0, 0xFFFFFFFFu, 200, 100, 100, 50, 0.5f, 0.5f, 1, 1, 20);
    const ScreenVertex *v = draw();
    EXPECT_FLOAT_EQ(v[0].x, 149.5f);
    EXPECT_FLOAT_EQ(v[0].y, 74.5f);
    EXPECT_FLOAT_EQ(v[3].x, 249.5f);
    EXPECT_FLOAT_EQ(v[3].y, 124.5f);
    EXPECT_FALSE(o->flags & OBJ_FLAG_IN_USE); // one frame

    o = sprite2d_put_rect(0, 0xFFFFFFFFu, 0, 0, 8, 8, 0, 0, 1, 1, 20);
    sprite2d_set_uv_turn(o, 1, 0);
    v = draw();
    EXPECT_EQ(v[0].u0, 1.0f);
    EXPECT_EQ(v[0].v0, 0.0f);
    EXPECT_EQ(v[1].u0, 1.0f);
    EXPECT_EQ(v[1].v0, 1.0f);

    o = sprite2d_put_rect(0, 0xFFFFFFFFu, 0, 0, 8, 8, 0, 0, 1, 1, 20);
    sprite2d_set_uv_turn(o, 0, SPRITE2D_FLIP_U);
    sprite2d_set_uv2_turn(o, 0, SPRITE2D_FLIP_V);
    v = draw();
    EXPECT_EQ(v[0].u0, 1.0f);
    EXPECT_EQ(v[1].u0, 0.0f);
    EXPECT_EQ(v[0].v0, 0.0f);
    EXPECT_EQ(v[0].v1, 1.0f); // set 2 mirrored top to bottom
    EXPECT_EQ(v[2].v1, 0.0f);
}

TEST_F(Sprites, UvFromScreenMapsPixelsIntoTheTexture) {
    SceneObject *o = sprite2d_create_texture(0, tex, 0xFFFFFFFFu, 4.5f, 8.5f, 0, 0, 1, 1, 20);
    sprite2d_uv_from_screen(o, 0, 0, 1);
    const Sprite2D *s = sprite2d_of(o);
    // 16 x 16 sprite at pixel (4, 8) of a 16 x 16 texture.
    EXPECT_FLOAT_EQ(s->uv[0][0], 4.0f / 16);
    EXPECT_FLOAT_EQ(s->uv[0][1], 1.0f - 8.0f / 16);
    EXPECT_FLOAT_EQ(s->uv[3][0], 20.0f / 16);
    EXPECT_FLOAT_EQ(s->uv[3][1], 1.0f - 24.0f / 16);
    sprite2d_uv_from_screen(o, -4, -8, 0.5f); // zoom about the centre
    EXPECT_FLOAT_EQ(s->uv[0][0], 0.25f);
    EXPECT_FLOAT_EQ(s->uv[3][0], 0.75f);
    EXPECT_FLOAT_EQ(s->uv[0][1], 0.75f);
}

TEST_F(Sprites, QueriesUseTheUnshiftedCorners) {
    SceneObject *o = sprite2d_create_rect(0, 0xFFFFFFFFu, 50, 60, 20, 10, 0, 0, 1, 1, 20);
    Quad2D q;
    EXPECT_EQ(sprite2d_corners(&q, o, 1, 1), 0);
    EXPECT_EQ(q.corner[1].x, 70.0f);
    EXPECT_EQ(sprite2d_hit_point(o, 1, 1, 50, 60), 1);
    EXPECT_EQ(sprite2d_hit_point(o, 1, 1, 70, 60), 0); // right edge open
    EXPECT_EQ(sprite2d_hit_point(o, 2, 1, 70, 60), 1); // size doubled by ex
    sprite2d_set_rotation(o, (float)M_PI / 2);
    EXPECT_EQ(sprite2d_corners(&q, o, 1, 1), 1);
    EXPECT_NEAR(q.corner[1].x, 50.0f, 1e-4); // top-right turns from (x + w, y) to (x, y - w)
    EXPECT_NEAR(q.corner[1].y, 40.0f, 1e-4);
    EXPECT_EQ(sprite2d_hit_point(o, 1, 1, 55, 50), 1);
    EXPECT_EQ(sprite2d_hit_point(o, 1, 1, 65, 65), 0);
    SceneObject *p = sprite2d_create_rect(0, 0xFFFFFFFFu, 52, 45, 4, 4, 0, 0, 1, 1, 20);
    EXPECT_EQ(sprite2d_hit_sprite(o, 1, 1, p, 1, 1), 1);
    sprite2d_set_position(p, 90, 90);
    EXPECT_EQ(sprite2d_hit_sprite(o, 1, 1, p, 1, 1), 0);

    // Missing pointers are refused rather than followed.
    EXPECT_EQ(sprite2d_corners(nullptr, o, 1, 1), 0);
    EXPECT_EQ(sprite2d_hit_circle(o, 1, 1, nullptr, 5), 0);
    const Vec2 a = {0, 0};
    EXPECT_EQ(sprite2d_hit_segment(o, 1, 1, &a, nullptr), 0);
    EXPECT_EQ(sprite2d_hit_segment(o, 1, 1, nullptr, &a), 0);
    sprite2d_set_uvs(o, nullptr);
    sprite2d_set_uv2s(o, nullptr);
    EXPECT_EQ(sprite2d_of(o)->uv[3][0], 1.0f);
    sprite2d_uv_from_screen(nullptr, 0, 0, 2);
}

class SpriteBatches : public Sprites {
  protected:
    std::vector<uint32_t> frame_draws() {
        gpu_trace_enable(true);
        gpu_trace_clear();
        scene_test_frame();
        gpu_trace_enable(false);
        return scene_test_draw_counts();
    }
};

TEST_F(SpriteBatches, OneTextureRunIsOneDrawPer4096Quads) {
    // More sprites than the pool holds: the run is handed to the kind directly.
    static SceneObject objects[5000];
    std::vector<SceneObject *> run;
    for (SceneObject &o : objects) {
        o = SceneObject{};
        sprite2d_kind_init(&o);
        sprite2d_set_texture_full(&o, tex);
        run.push_back(&o);
    }
    gpu_trace_enable(true);
    gpu_trace_clear();
    gpu_begin_scene();
    sprite2d_kind_draw(run.data(), (int32_t)run.size());
    gpu_end_scene();
    gpu_trace_enable(false);
    EXPECT_EQ(scene_test_draw_counts(), (std::vector<uint32_t>{4096 * 2, 904 * 2}));
    // Through the pool: a full pool of like sprites is one draw.
    for (int i = 0; i < OBJ_POOL_SIZE; ++i)
        sprite2d_put_texture(0, tex, 0xFFFFFFFFu, (float)(i % 100), 5, 0, 0, 1, 1, 20);
    EXPECT_EQ(sprite2d_put_texture(0, tex, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20), nullptr);
    EXPECT_EQ(frame_draws(), (std::vector<uint32_t>{4096 * 2}));
}

TEST_F(SpriteBatches, BlendTextureAndFilterChangesSplit) {
    std::vector<uint32_t> texels(16 * 16, 0xFF00FF00u);
    const ResourceHandle tex2 = scene_test_texture("green", 16, 16, texels);
    // Sprites of one layer and sub-order draw newest first; make them in reverse.
    auto put = [&](ResourceHandle t) {
        return sprite2d_put_texture(0, t, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20);
    };
    SceneObject *s[8];
    for (int i = 7; i >= 0; --i) s[i] = put(i == 2 ? tex2 : tex);
    sprite2d_set_blend(s[4], 3);       // blend change
    sprite2d_set_scale(s[6], 1.5f, 1); // automatic filter turns linear
    sprite2d_set_scale(s[7], 1.5f, 1);
    // tex tex | tex2 | tex | blend3 | tex | linear linear
    EXPECT_EQ(frame_draws(), (std::vector<uint32_t>{4, 2, 2, 2, 2, 4}));
    // Forcing the filter merges them again.
    for (int i = 7; i >= 0; --i) {
        s[i] = put(tex);
        sprite2d_set_filter(s[i], SPRITE2D_FILTER_LINEAR);
    }
    sprite2d_set_scale(s[3], 2, 2);
    EXPECT_EQ(frame_draws(), (std::vector<uint32_t>{16}));
}

// The stage-0 magnification filter each draw of the frame ran with.
std::vector<uint32_t> mag_filters_per_draw() {
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    std::vector<uint32_t> out;
    uint32_t current = 0;
    for (size_t i = 0; i < n; ++i) {
        if (e[i].kind == GPU_TRACE_SAMPLER_STATE && e[i].a == 0 && e[i].b == GPU_SAMP_MAGFILTER)
            current = e[i].c;
        if (e[i].kind == GPU_TRACE_DRAW) out.push_back(current);
    }
    return out;
}

TEST_F(SpriteBatches, AutomaticFilterIsPointOnlyForUnscaledUnturnedSprites) {
    SceneObject *s[4];
    for (int i = 3; i >= 0; --i)
        s[i] = sprite2d_put_texture(0, tex, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20);
    sprite2d_set_scale(s[1], 1.01f, 1);
    sprite2d_set_rotation(s[2], 0.1f);
    sprite2d_set_filter(s[3], SPRITE2D_FILTER_POINT);
    sprite2d_set_scale(s[3], 2, 2);
    frame_draws();
    EXPECT_EQ(mag_filters_per_draw(), (std::vector<uint32_t>{1, 2, 1})); // point, linear, point
}

TEST_F(SpriteBatches, ClippedSpriteDrawsAloneAndTheScissorComesBack) {
    gfx_set_scissor(1, 2, 150, 100);
    GpuRect frame;
    gpu_get_scissor_rect(&frame);
    SceneObject *s[5];
    for (int i = 4; i >= 0; --i)
        s[i] = sprite2d_put_texture(0, tex, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20);
    sprite2d_set_clip(s[2], 10, 20, 30, 40);
    gpu_trace_enable(true);
    gpu_trace_clear();
    scene_test_frame();
    gpu_trace_enable(false);
    EXPECT_EQ(scene_test_draw_counts(), (std::vector<uint32_t>{4, 2, 4}));
    // The clipped draw runs under its own rectangle; the frame's is set again after it.
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    int draws = 0;
    bool clip_before_second_draw = false;
    for (size_t i = 0; i < n; ++i) {
        if (e[i].kind == GPU_TRACE_DRAW) ++draws;
        if (e[i].kind == GPU_TRACE_SCISSOR && draws == 1 && e[i].a == 10 && e[i].b == 20 &&
            e[i].c == 40)
            clip_before_second_draw = true;
    }
    EXPECT_TRUE(clip_before_second_draw);
    GpuRect after;
    gpu_get_scissor_rect(&after);
    EXPECT_EQ(after.left, frame.left);
    EXPECT_EQ(after.top, frame.top);
    EXPECT_EQ(after.right, frame.right);
    EXPECT_EQ(after.bottom, frame.bottom);
}

TEST_F(SpriteBatches, ShaderSetSpriteDrawsAlone) {
    SceneObject *s[4];
    for (int i = 3; i >= 0; --i)
        s[i] = sprite2d_put_texture(0, tex, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 20);
    sprite2d_set_shader(s[1], 2, nullptr, 0);
    EXPECT_EQ(frame_draws(), (std::vector<uint32_t>{2, 2, 4}));
}

// Pixels: a 4 x 4 texture with one colour per 2 x 2 quadrant.
class SpritePixels : public Sprites {
  protected:
    static constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu,
                              YELLOW = 0xFFFFFF00u, BG = 0xFF202020u;
    void SetUp() override {
        Sprites::SetUp();
        std::vector<uint32_t> t(16);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                t[y * 4 + x] = y < 2 ? (x < 2 ? RED : GREEN) : (x < 2 ? BLUE : YELLOW);
        quads = scene_test_texture("quads", 4, 4, t);
        ASSERT_NE(quads, 0u);
    }
    // Expected colour at the centre of each quadrant of a square of side `size` at (x0, y0).
    void expect_quadrants(int x0, int y0, int size, uint32_t tl, uint32_t tr, uint32_t bl,
                          uint32_t br) {
        const int a = size / 4, b = size * 3 / 4;
        EXPECT_LE(test_color_distance(test_pixel(x0 + a, y0 + a), tl), 2);
        EXPECT_LE(test_color_distance(test_pixel(x0 + b, y0 + a), tr), 2);
        EXPECT_LE(test_color_distance(test_pixel(x0 + a, y0 + b), bl), 2);
        EXPECT_LE(test_color_distance(test_pixel(x0 + b, y0 + b), br), 2);
    }
    ResourceHandle quads = 0;
};

TEST_F(SpritePixels, UnscaledSpriteMapsTexelsExactly) {
    sprite2d_put_texture(0, quads, 0xFFFFFFFFu, 10, 12, 0, 0, 1, 1, 20);
    scene_test_frame();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint32_t want = y < 2 ? (x < 2 ? RED : GREEN) : (x < 2 ? BLUE : YELLOW);
            EXPECT_EQ(test_pixel(10 + x, 12 + y), want) << x << "," << y;
        }
    EXPECT_EQ(test_pixel(9, 12), BG);
    EXPECT_EQ(test_pixel(14, 12), BG);
    EXPECT_EQ(test_pixel(10, 16), BG);
}

TEST_F(SpritePixels, CropWithColourAnchorScaleRotationAndMirror) {
    const ResourceHandle crop = res_create_crop("t", "all", 0, 0, 4, 4, quads);
    const ResourceHandle mirrored = res_create_crop("t", "mirror", 4, 0, -4, 4, quads);
    ASSERT_NE(crop, 0u);
    ASSERT_NE(mirrored, 0u);
    // Anchor at the centre, scale 8: a 32 x 32 square centred on (40, 40), colour halved.
    sprite2d_put_crop(0, crop, 0xFF808080u, 40, 40, 0.5f, 0.5f, 8, 8, 20);
    // Turned a quarter counter-clockwise about its centre (100, 40).
    SceneObject *r = sprite2d_put_crop(0, crop, 0xFFFFFFFFu, 100, 40, 0.5f, 0.5f, 8, 8, 20);
    sprite2d_set_rotation(r, (float)M_PI / 2);
    // The mirrored crop: left and right swapped; anchor bottom-right at (72, 112).
    sprite2d_put_crop(0, mirrored, 0xFFFFFFFFu, 72, 112, 1, 1, 8, 8, 20);
    scene_test_frame();
    expect_quadrants(24, 24, 32, 0xFF800000u, 0xFF008000u, 0xFF000080u, 0xFF808000u);
    EXPECT_EQ(test_pixel(22, 40), BG);
    EXPECT_EQ(test_pixel(57, 40), BG);
    expect_quadrants(84, 24, 32, GREEN, YELLOW, RED, BLUE);
    expect_quadrants(40, 80, 32, GREEN, RED, YELLOW, BLUE);
    EXPECT_EQ(test_pixel(73, 100), BG);
}

TEST_F(SpritePixels, ClipRectangleCutsTheSprite) {
    SceneObject *o = sprite2d_put_rect(0, 0xFFFFFFFFu, 10, 10, 40, 40, 0, 0, 1, 1, 20);
    sprite2d_set_clip(o, 20, 20, 10, 10);
    sprite2d_put_rect(0, 0xFF0000FFu, 60, 10, 10, 10, 0, 0, 1, 1, 20); // after the clipped one
    scene_test_frame();
    EXPECT_EQ(test_pixel(25, 25), 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(15, 15), BG);
    EXPECT_EQ(test_pixel(35, 35), BG);
    EXPECT_EQ(test_pixel(65, 15), 0xFF0000FFu); // not clipped
}

TEST_F(SpritePixels, BlendModesApply) {
    sprite2d_put_rect(0, 0x80FFFFFFu, 10, 10, 10, 10, 0, 0, 1, 1, 21); // default: src alpha
    SceneObject *add = sprite2d_put_rect(0, 0xFF404040u, 30, 10, 10, 10, 0, 0, 1, 1, 21);
    sprite2d_set_blend(add, 3); // one, one
    SceneObject *opaque = sprite2d_put_rect(0, 0x00FF0000u, 50, 10, 10, 10, 0, 0, 1, 1, 21);
    sprite2d_set_blend(opaque, 0); // one, zero: alpha ignored
    scene_test_frame();
    EXPECT_LE(test_color_distance(test_pixel(15, 15), 0xFF909090u), 2);
    EXPECT_LE(test_color_distance(test_pixel(35, 15), 0xFF606060u), 1);
    EXPECT_EQ(test_pixel(55, 15) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_ALPHABLENDENABLE), 1u); // left on after the run
}

} // namespace
