// World wire lines and triangles: blending over the background, depth compare per object,
// batching by 4096 and the far-first triangle keys.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "nodes_test_env.h"
#include "render/view.h"
#include "scene/wire_prims.h"

namespace {

class Wires : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF0000FFu);
    }
    void TearDown() override { gpu_trace_enable(false); }
};

TEST_F(Wires, HalfRedTriangleBlendsOverBlueForOneFrame) {
    const Vec3 a = {-2, -2, 0}, b = {2, -2, 0}, c = {0, 2, 0};
    SceneObject *t = wire_put_triangle(0, &a, 0x80FF0000u, &b, 0x80FF0000u, &c, 0x80FF0000u);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->layer, 48);
    // Stage 0 as the device starts (alpha from the texture alone), not as an earlier draw left it.
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, GPU_TOP_SELECTARG1);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG1, GPU_TA_TEXTURE);
    nodes_test_frame();
    // src x 128/255 + dst x (1 - 128/255)
    const double alpha = 128.0 / 255.0;
    EXPECT_TRUE(rgb_near(nodes_test_pixel_at({0, 0, 0}), rgb_of(alpha, 0, 1 - alpha), 1))
        << std::hex << nodes_test_pixel_at({0, 0, 0});
    EXPECT_EQ(obj_get_live_count(), 0); // one-frame: gone after the draw
}

TEST_F(Wires, AlwaysLineShowsThroughWhatHidesALessTriangle) {
    // The node kinds leave depth testing on in a 3D pass; nothing else here draws one.
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    const Vec3 n0 = {-3, -3, 1}, n1 = {3, -3, 1}, n2 = {0, 3, 1};
    SceneObject *cover = wire_put_triangle(0, &n0, 0xFF00FF00u, &n1, 0xFF00FF00u, &n2, 0xFF00FF00u);
    wire_triangle_set_blend(cover, 0);
    obj_set_layer(cover, 50); // drawn before layer 48
    const Vec3 f0 = {-2, -2, 0}, f1 = {2, -2, 0}, f2 = {0, 2, 0};
    wire_put_triangle(0, &f0, 0xFFFF0000u, &f1, 0xFFFF0000u, &f2, 0xFFFF0000u);
    const Vec3 l0 = {0.3f, -1.5f, 0}, l1 = {0.3f, 1.5f, 0};
    wire_put_line(0, &l0, 0xFFFFFFFFu, &l1, 0xFFFFFFFFu);
    nodes_test_frame();

    EXPECT_EQ(nodes_test_pixel_at({-0.5f, 0, 0}) & 0xFFFFFF, 0x00FF00u); // the LESS triangle hides
    int x, y;
    nodes_test_screen_of({0.3f, 0, 0}, &x, &y);
    bool white = false;
    for (int dx = -1; dx <= 1; ++dx) white |= (test_pixel(x + dx, y) & 0xFFFFFF) == 0xFFFFFFu;
    EXPECT_TRUE(white) << "the ALWAYS line is drawn over the nearer cover";
}

TEST_F(Wires, RunsSplitAt4096AndAtStateChanges) {
    static SceneObject tris[4097];
    std::vector<SceneObject *> run;
    for (SceneObject &o : tris) {
        o = SceneObject{};
        wire_triangle_kind_init(&o);
        run.push_back(&o);
    }
    gpu_trace_enable(true);
    gpu_trace_clear();
    gpu_begin_scene();
    wire_triangle_kind_draw(run.data(), 4097);
    gpu_end_scene();
    std::vector<uint32_t> counts;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_DRAW)) counts.push_back(e.b);
    EXPECT_EQ(counts, (std::vector<uint32_t>{4096, 1}));

    // Two lines with different compare indexes: two calls, each with its own ZFUNC.
    static SceneObject lines[2];
    SceneObject *pair[2];
    for (int i = 0; i < 2; ++i) {
        lines[i] = SceneObject{};
        wire_line_kind_init(&lines[i]);
        pair[i] = &lines[i];
    }
    lines[1].kind = (uint8_t)wire_line_kind_id(); // the setters act on line objects only
    wire_set_depth_func(&lines[1], 3);
    gpu_trace_clear();
    gpu_begin_scene();
    wire_line_kind_draw(pair, 2);
    gpu_end_scene();
    std::vector<uint32_t> zfuncs;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_RENDER_STATE))
        if (e.b == GPU_RS_ZFUNC) zfuncs.push_back(e.c);
    EXPECT_EQ(test_trace(GPU_TRACE_DRAW).size(), 2u);
    ASSERT_GE(zfuncs.size(), 2u);
    EXPECT_EQ(zfuncs[zfuncs.size() - 2], 8u); // ALWAYS for the first line
    EXPECT_EQ(zfuncs.back(), 4u);             // LESSEQUAL for the second
}

TEST_F(Wires, TriangleKeysFarFirstAndSafeForNaN) {
    auto key = [](Vec3 a, Vec3 b, Vec3 c) {
        SceneObject *t = wire_put_triangle(0, &a, 0, &b, 0, &c, 0);
        return wire_triangle_kind_key(t);
    };
    // Camera at (0, 0, 5), far 100. Centroids use the factor 0.3334.
    EXPECT_EQ(key({0, 0, -95}, {0, 0, -95}, {0, 0, -95}), 65535u); // 100.02 away: past far
    EXPECT_EQ(key({0, 0, -500}, {0, 0, -500}, {0, 0, -500}), 65535u);
    // Centroid z = -150 x 0.3334 = -50.01: 55.01 away -> 0.5501 x 65535 = 36050.8
    EXPECT_EQ(key({0, 0, -30}, {0, 0, -30}, {0, 0, -90}), 36051u);
    const float nan = std::nanf("");
    EXPECT_EQ(key({nan, 0, 0}, {0, 0, 0}, {0, 0, 0}), 65535u);
    const Vec3 eye = {0, 0, 0}, target = {0, 0, -1};
    view_set_look_at(0, &eye, &target, nullptr);
    view_update(0);
    EXPECT_EQ(key({0, 0, 0}, {0, 0, 0}, {0, 0, 0}), 0u); // at the camera
    view_set_far(0, 0.0f);
    EXPECT_EQ(key({0, 0, -1}, {0, 0, -1}, {0, 0, -1}), 65535u);

    // Null objects and points are taken quietly.
    wire_triangle_set_points(nullptr, &eye, &eye, &eye);
    wire_set_blend(nullptr, 3);
    EXPECT_EQ(wire_put_line(0, nullptr, 0, &eye, 0), nullptr);
}

} // namespace
