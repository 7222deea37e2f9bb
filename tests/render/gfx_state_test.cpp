// Render-state cache and tables; viewport, scissor and clear wrappers read back as pixels.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "gfx_test_env.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/view.h"
#include "resource/res_texture.h"

namespace {

// Render states sent while `fn` runs, as state -> last value, plus the count of calls.
template <class F> std::map<uint32_t, uint32_t> traced_states(F fn, size_t *calls = nullptr) {
    gpu_trace_clear();
    gpu_trace_enable(true);
    fn();
    gpu_trace_enable(false);
    const std::vector<GpuTraceEntry> states = test_trace(GPU_TRACE_RENDER_STATE);
    std::map<uint32_t, uint32_t> out;
    for (const GpuTraceEntry &e : states) out[e.b] = e.c; // render states: (0, state, value)
    if (calls) *calls = states.size();
    gpu_trace_clear();
    return out;
}

class GfxState : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        gfx_test_reset_states();
    }
};

} // namespace

TEST(GfxTables, BadIndexesFallBackInsideTheTables) {
    uint32_t src = 0, dst = 0;
    gfx_blend_factors(13, &src, &dst);
    EXPECT_EQ(src, 2u); // ONE
    EXPECT_EQ(dst, 1u); // ZERO
    gfx_blend_factors(-1, &src, &dst);
    EXPECT_EQ(src, 2u);
    EXPECT_EQ(dst, 1u);

    EXPECT_EQ(gfx_texture_format_code(24), (uint32_t)GPU_FMT_L8);
    EXPECT_EQ(gfx_texture_format_code(-3), (uint32_t)GPU_FMT_L8);
    EXPECT_EQ(gfx_compare_func_code(8), 2u); // LESS
    EXPECT_EQ(gfx_stencil_op_code(9), 1u);   // KEEP
    EXPECT_EQ(gfx_filter_code(2), 2u);       // linear
    EXPECT_EQ(gfx_filter_code(-1), 2u);
    EXPECT_EQ(gfx_alpha_ref_value(6), 1u);
    EXPECT_EQ(gfx_cull_mode_code(3), 3u);  // CCW
    EXPECT_EQ(gfx_fill_mode_code(-1), 3u); // solid
    EXPECT_EQ(gfx_depth_format_code(2), (uint32_t)GPU_FMT_D16);
    EXPECT_EQ(gfx_clear_flags(6), 0u);
    // Address indexes 2-7 (a filter code can store them) read as wrap.
    for (int i = 2; i < 8; ++i) EXPECT_EQ(gfx_address_mode_code(i), 1u) << i;
}

TEST_F(GfxState, FirstDrawStatesAfterResetSendEveryState) {
    gfx_reset_state_cache();
    EXPECT_EQ(gfx_get_blend_pair(), GFX_STATE_UNKNOWN);
    bool changed = false;
    size_t calls = 0;
    auto st =
        traced_states([&] { changed = gfx_set_draw_states(1, 1, 3, 0, 1, 2, 0, 1, 0); }, &calls);
    EXPECT_TRUE(changed);
    EXPECT_EQ(calls, 9u); // lighting, z-write, z-func, fog, src, dst, cull, fill, alpha ref
    EXPECT_EQ(st[GPU_RS_LIGHTING], 1u);
    EXPECT_EQ(st[GPU_RS_ZFUNC], 4u); // LESSEQUAL
    EXPECT_EQ(st[GPU_RS_SRCBLEND], 5u);
    EXPECT_EQ(st[GPU_RS_DESTBLEND], 6u);
    EXPECT_EQ(st[GPU_RS_CULLMODE], 1u); // none
    EXPECT_EQ(st[GPU_RS_FILLMODE], 3u);
    EXPECT_EQ(st[GPU_RS_ALPHAREF], 48u);

    // The same call again sends nothing and reports no change.
    st = traced_states([&] { changed = gfx_set_draw_states(1, 1, 3, 0, 1, 2, 0, 1, 0); }, &calls);
    EXPECT_FALSE(changed);
    EXPECT_EQ(calls, 0u);

    // A change of z-write or blend alone is sent but is not a lighting/fog/shader change.
    st = traced_states([&] { changed = gfx_set_draw_states(1, 0, 3, 0, 3, 2, 0, 1, 0); });
    EXPECT_FALSE(changed);
    EXPECT_EQ(st.size(), 3u);
    EXPECT_EQ(st[GPU_RS_ZWRITEENABLE], 0u);
    EXPECT_EQ(st[GPU_RS_SRCBLEND], 2u);
    EXPECT_EQ(st[GPU_RS_DESTBLEND], 2u);

    // Indexes are compared, not codes: bad blend index 13 maps to pair 0 but still changes.
    gfx_set_draw_states(1, 0, 3, 0, 0, 2, 0, 1, 0);
    st = traced_states([&] { gfx_set_draw_states(1, 0, 3, 0, 13, 2, 0, 1, 0); });
    EXPECT_EQ(st[GPU_RS_SRCBLEND], 2u);
    EXPECT_EQ(st[GPU_RS_DESTBLEND], 1u);
    EXPECT_EQ(gfx_get_blend_pair(), 13u);
}

TEST_F(GfxState, ShaderFlagTurnsLightingOffButKeepsTheRequest) {
    gfx_reset_state_cache();
    gfx_set_draw_states(1, 1, 3, 1, 0, 0, 0, 0, 0);
    std::map<uint32_t, uint32_t> st;
    bool changed = false;
    st = traced_states([&] { changed = gfx_set_draw_states(1, 1, 3, 1, 0, 0, 0, 0, 1); });
    EXPECT_TRUE(changed);
    EXPECT_EQ(st[GPU_RS_LIGHTING], 0u);
    EXPECT_EQ(gfx_get_req_lighting(), 1u);
    EXPECT_EQ(gfx_get_applied_lighting(), 0u);
    EXPECT_EQ(gfx_get_req_fog(), 1u);
    // Fog alone changing reports a change too.
    EXPECT_TRUE(gfx_set_draw_states(1, 1, 3, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(gfx_get_fog(), 0u);
}

TEST_F(GfxState, ClipPlaneColorWriteAndStencilWrappers) {
    const float plane[4] = {0, 1, 0, -2};
    auto st = traced_states([&] { gfx_set_clip_plane(3, plane, true); });
    EXPECT_EQ(st[GPU_RS_CLIPPLANEENABLE], 8u);
    st = traced_states([&] { gfx_set_clip_plane(3, nullptr, false); });
    EXPECT_EQ(st[GPU_RS_CLIPPLANEENABLE], 0u);
    st = traced_states([&] { gfx_set_clip_plane(40, plane, true); }); // no such plane
    EXPECT_TRUE(st.empty());

    st = traced_states([&] { gfx_set_color_write(true, false, true, false); });
    EXPECT_EQ(st[GPU_RS_COLORWRITEENABLE], 5u);
    st = traced_states([&] {
        gfx_set_stencil_func(7, 0xF0, 0x0F, 3);
        gfx_set_stencil_ops(2, 9, 7);
    });
    EXPECT_EQ(st[GPU_RS_STENCILREF], 7u);
    EXPECT_EQ(st[GPU_RS_STENCILMASK], 0xF0u);
    EXPECT_EQ(st[GPU_RS_STENCILWRITEMASK], 0x0Fu);
    EXPECT_EQ(st[GPU_RS_STENCILFUNC], 3u);
    EXPECT_EQ(st[GPU_RS_STENCILFAIL], 3u);  // REPLACE
    EXPECT_EQ(st[GPU_RS_STENCILZFAIL], 1u); // bad index: KEEP
    EXPECT_EQ(st[GPU_RS_STENCILPASS], 8u);  // DECR
    gfx_set_color_write(true, true, true, true);
}

TEST_F(GfxState, TexturePartScissorAndViewportDiffer) {
    const ResourceHandle t = res_create_render_texture("gfxtest", "part", 64, 32, 0);
    ASSERT_NE(t, 0u);
    gfx_set_viewport_texture_part(t, 0.25f, 0.5f, 0.5f, 0.25f);
    GpuViewport vp = {};
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.x, 16u);
    EXPECT_EQ(vp.y, 16u);
    EXPECT_EQ(vp.width, 32u);
    EXPECT_EQ(vp.height, 8u);
    EXPECT_EQ(gfx_device_state()->viewport.width, 32u);

    gfx_set_scissor_texture_part(t, 0.25f, 0.5f, 0.5f, 0.25f);
    int32_t x, y, w, h;
    gfx_get_scissor(&x, &y, &w, &h);
    EXPECT_EQ(x, 16);
    EXPECT_EQ(y, 16);
    EXPECT_EQ(w, 32); // right edge W x (fx + fw) = 48
    EXPECT_EQ(h, 8);
    GpuRect r = {};
    gpu_get_scissor_rect(&r);
    EXPECT_EQ(r.right, 48);
    EXPECT_EQ(r.bottom, 24);

    gfx_set_viewport_texture(t);
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.width, 64u);
    EXPECT_EQ(vp.height, 32u);
    // An invalid handle changes nothing.
    gfx_set_viewport_texture(9999);
    gfx_set_scissor_texture(9999);
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.width, 64u);
    gfx_get_scissor(nullptr, nullptr, &w, nullptr);
    EXPECT_EQ(w, 32);
    res_release_texture(t);
}

TEST_F(GfxState, ClearCoversTheViewportCutByTheScissor) {
    gfx_test_clear(0xFF000000);
    gfx_set_viewport(8, 8, 16, 16);
    gfx_clear(GFX_CLEAR_TARGET, 0xFFFF0000);
    EXPECT_EQ(test_pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(23, 23), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(7, 8), 0xFF000000u);
    EXPECT_EQ(test_pixel(24, 23), 0xFF000000u);
    EXPECT_EQ(test_pixel(8, 24), 0xFF000000u);

    // Scissor on: only the overlap of viewport and scissor.
    gfx_set_scissor(20, 4, 40, 40);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gfx_clear(GFX_CLEAR_ALL, 0xFF00FF00); // no depth surface bound: colour only
    EXPECT_EQ(test_pixel(20, 8), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(23, 23), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(19, 8), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(24, 8), 0xFF000000u);

    // A mode outside 0-5 clears nothing.
    gfx_set_viewport(0, 0, TEST_WIDTH, TEST_HEIGHT);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 0);
    gfx_clear(6, 0xFFFFFFFF);
    gfx_clear(-1, 0xFFFFFFFF);
    EXPECT_EQ(test_pixel(0, 0), 0xFF000000u);
}

TEST_F(GfxState, ViewAndClientSizedViewportAndScissor) {
    gfx_set_viewport(3, 3, 5, 5);
    gfx_set_viewport_view(-1);
    GpuViewport vp = {};
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.width, (uint32_t)TEST_WIDTH);
    EXPECT_EQ(vp.height, (uint32_t)TEST_HEIGHT);
    EXPECT_EQ(vp.min_z, 0.0f);
    EXPECT_EQ(vp.max_z, 1.0f);
    gfx_set_scissor(1, 1, 2, 2);
    gfx_set_scissor_view(-1);
    int32_t x = 0, y = 0, w = 0, h = 0;
    gfx_get_scissor(nullptr, nullptr, &w, &h);
    EXPECT_EQ(w, TEST_WIDTH);
    EXPECT_EQ(h, TEST_HEIGHT);

    // A view's own rectangle.
    int32_t keep[4];
    view_get_viewport(1, &keep[0], &keep[1], &keep[2], &keep[3]);
    view_set_viewport(1, 5, 6, 30, 20);
    gfx_set_viewport_view(1);
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.x, 5u);
    EXPECT_EQ(vp.y, 6u);
    EXPECT_EQ(vp.width, 30u);
    EXPECT_EQ(vp.height, 20u);
    gfx_set_scissor_view(1);
    gfx_get_scissor(&x, &y, &w, &h);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);
    gfx_set_viewport_view(2); // no such view: nothing changes
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.width, 30u);
    view_set_viewport(1, keep[0], keep[1], keep[2], keep[3]);
}
