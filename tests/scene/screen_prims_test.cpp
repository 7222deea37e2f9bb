// Screen lines and triangles: batching by blend mode and batch size, and exact placement.
#include <gtest/gtest.h>

#include <vector>

#include "scene/screen_prims.h"
#include "scene_test_env.h"

namespace {

class ScreenPrims : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_test_device());
        scene_test_begin(0xFF000000u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    std::vector<uint32_t> traced(void (*draw)(SceneObject **, int32_t), SceneObject **run,
                                 int32_t count) {
        gpu_trace_enable(true);
        gpu_trace_clear();
        gpu_begin_scene();
        draw(run, count);
        gpu_end_scene();
        gpu_trace_enable(false);
        return scene_test_draw_counts();
    }
};

TEST_F(ScreenPrims, KindIdsAndBlendField) {
    EXPECT_EQ(line2d_kind_id(), 1);
    EXPECT_EQ(tri2d_kind_id(), 2);
    SceneObject *l = line2d_put(0, 1, 2, 0xFF010203u, 3, 4, 0xFF040506u, 22);
    ASSERT_NE(l, nullptr);
    const Line2D *p = obj_payload<Line2D>(l);
    EXPECT_EQ(p->state, 1u);
    line2d_set_blend(l, 0x23); // five bits kept
    EXPECT_EQ(p->state, 3u);
    line2d_set_points(nullptr, 0, 0, 1, 1); // a failed creator's null is harmless
}

TEST_F(ScreenPrims, LinesBatchBy4096AndSplitOnBlendChanges) {
    static SceneObject lines[5000];
    std::vector<SceneObject *> run;
    for (SceneObject &o : lines) {
        o = SceneObject{};
        line2d_kind_init(&o);
        line2d_set_points(&o, 0, 0, 5, 5);
        run.push_back(&o);
    }
    EXPECT_EQ(traced(line2d_kind_draw, run.data(), 5000), (std::vector<uint32_t>{4096, 904}));
    for (int i = 0; i < 4; ++i) line2d_set_blend(run[i], i % 2 ? 3 : 1);
    EXPECT_EQ(traced(line2d_kind_draw, run.data(), 4), (std::vector<uint32_t>{1, 1, 1, 1}));

    static SceneObject tris[4100];
    run.clear();
    for (SceneObject &o : tris) {
        o = SceneObject{};
        tri2d_kind_init(&o);
        run.push_back(&o);
    }
    tri2d_set_blend(run[4099], 2);
    EXPECT_EQ(traced(tri2d_kind_draw, run.data(), 4100), (std::vector<uint32_t>{4096, 3, 1}));
}

TEST_F(ScreenPrims, LineLandsOnItsPixelsWithoutHalfPixelShift) {
    line2d_put(0, 10, 10, 0xFFFFFFFFu, 100, 10, 0xFFFFFFFFu, 20);
    scene_test_frame();
    for (int x : {10, 50, 99}) {
        EXPECT_EQ(test_pixel(x, 10), 0xFFFFFFFFu) << x;
        EXPECT_EQ(test_pixel(x, 9), 0xFF000000u) << x;
        EXPECT_EQ(test_pixel(x, 11), 0xFF000000u) << x;
    }
    EXPECT_EQ(test_pixel(9, 10), 0xFF000000u);
}

TEST_F(ScreenPrims, TrianglesCarryVertexColoursAndBlend) {
    // Newest first within the run: the additive triangle is made first so it draws last.
    SceneObject *t =
        tri2d_put(0, 10, 10, 0x80404040u, 40, 10, 0x80404040u, 10, 40, 0x80404040u, 20);
    tri2d_set_blend(t, 3); // one, one: alpha plays no part
    tri2d_put(0, 10, 10, 0xFFFF0000u, 60, 10, 0xFFFF0000u, 10, 60, 0xFFFF0000u, 20);
    scene_test_frame();
    EXPECT_LE(test_color_distance(test_pixel(15, 15), 0xFFFF4040u), 1);
    EXPECT_EQ(test_pixel(45, 12), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(50, 50), 0xFF000000u); // beyond the hypotenuse
}

TEST_F(ScreenPrims, HalfTransparentTriangleBlendsByItsVertexAlpha) {
    // Stage 0 as the device starts (alpha from the texture alone), not as an earlier draw left it.
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, GPU_TOP_SELECTARG1);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG1, GPU_TA_TEXTURE);
    tri2d_put(0, 10, 10, 0x80FF0000u, 60, 10, 0x80FF0000u, 10, 60, 0x80FF0000u, 20);
    scene_test_frame();
    // Source alpha 128/255 over black: red 255 x 128/255 = 128.
    EXPECT_LE(test_color_distance(test_pixel(15, 15), 0xFF800000u), 1)
        << std::hex << test_pixel(15, 15);
}

} // namespace
