// Rasterisation rules: pixel centres, texel mapping, orientation, clear, viewport and scissor,
// culling and fill modes.
#include "gpu_test_util.h"

// Corners at integer - 0.5 cover exactly the pixels between them.
TEST_F(GpuTest, ScreenSpaceQuadCoversPixelCentres) {
    gpu_clear(GPU_CLEAR_TARGET, 0xFF102030u, 1.0f, 0);
    quad(9.5f, 9.5f, 19.5f, 19.5f, 0xFFFF0000u);
    EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(pixel(19, 19), 0xFFFF0000u);
    EXPECT_EQ(pixel(20, 19), 0xFF102030u);
    EXPECT_EQ(pixel(19, 20), 0xFF102030u);
    EXPECT_EQ(pixel(9, 10), 0xFF102030u);
    EXPECT_EQ(pixel(10, 9), 0xFF102030u);
}

// A 4x4 texture drawn 1:1 with the -0.5 corners reproduces its texels, with point and with
// linear filtering (every sample falls on a texel centre).
TEST_F(GpuTest, TextureDrawnOneToOneReproducesTexels) {
    std::vector<uint32_t> tex(16);
    for (int i = 0; i < 16; i++)
        tex[i] = 0xFF000000u | (uint32_t)(i * 16) << 16 | (uint32_t)(255 - i * 13) << 8 |
                 (uint32_t)(i * 7);
    GpuTexture *t = texture(4, 4, tex);
    gpu_set_texture(0, t);
    for (uint32_t filter : {1u, 2u}) {
        gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, filter);
        gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, filter);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        quad(20 - 0.5f, 30 - 0.5f, 24 - 0.5f, 34 - 0.5f, 0xFFFFFFFFu);
        EXPECT_EQ(pixels(20, 30, 4, 4), tex) << "filter " << filter;
        EXPECT_EQ(pixel(24, 30), 0xFF000000u);
        EXPECT_EQ(pixel(19, 30), 0xFF000000u);
    }
    gpu_texture_release(t);
}

// Row 0 of every target is its top: a quad at the top of a render target lands in its first
// rows, and that target drawn as a texture shows it at the top again (v = 0 is the top).
TEST_F(GpuTest, TargetsAreStoredTopRowFirst) {
    GpuTexture *rt =
        gpu_texture_create(16, 16, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_A8R8G8B8, GPU_POOL_DEFAULT);
    ASSERT_NE(rt, nullptr);
    GpuSurface *rs = gpu_texture_get_surface(rt);
    ASSERT_NE(rs, nullptr);
    ASSERT_EQ(gpu_set_render_target(0, rs), GPU_OK);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    quad(-0.5f, -0.5f, 15.5f, 3.5f, 0xFFFF0000u); // rows 0-3 red
    EXPECT_EQ(pixel(5, 0, rs), 0xFFFF0000u);
    EXPECT_EQ(pixel(5, 3, rs), 0xFFFF0000u);
    EXPECT_EQ(pixel(5, 4, rs), 0xFF0000FFu);

    ASSERT_EQ(gpu_set_render_target(0, gpu_get_back_buffer()), GPU_OK);
    gpu_set_texture(0, rt);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(5, 1), 0xFFFF0000u);
    EXPECT_EQ(pixel(5, 12), 0xFF0000FFu);
    gpu_set_texture(0, nullptr);
    gpu_texture_release(rt);
}

// The back buffer has no stored alpha: it reads back as 0xFF and blends as 1.
TEST_F(GpuTest, BackBufferAlphaReadsOne) {
    gpu_clear(GPU_CLEAR_TARGET, 0x00336699u, 1.0f, 0);
    EXPECT_EQ(pixel(3, 3), 0xFF336699u);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, 8);  // inverse destination alpha: 0
    gpu_set_render_state(GPU_RS_DESTBLEND, 7); // destination alpha: 1
    quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(3, 3), 0xFF336699u);
}

TEST_F(GpuTest, ClearCoversViewportCutByScissor) {
    GpuViewport vp = {10, 20, 8, 6, 0.0f, 1.0f};
    gpu_set_viewport(&vp);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    EXPECT_EQ(pixel(10, 20), 0xFF00FF00u);
    EXPECT_EQ(pixel(17, 25), 0xFF00FF00u);
    EXPECT_EQ(pixel(18, 25), 0xFF000000u);
    EXPECT_EQ(pixel(17, 26), 0xFF000000u);
    EXPECT_EQ(pixel(9, 20), 0xFF000000u);
    EXPECT_EQ(pixel(10, 19), 0xFF000000u);

    // The scissor rectangle limits a clear only while the scissor test is on.
    GpuRect sc = {12, 22, 14, 24};
    gpu_set_scissor_rect(&sc);
    gpu_clear(GPU_CLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
    EXPECT_EQ(pixel(10, 20), 0xFFFF0000u);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    EXPECT_EQ(pixel(12, 22), 0xFF0000FFu);
    EXPECT_EQ(pixel(13, 23), 0xFF0000FFu);
    EXPECT_EQ(pixel(14, 23), 0xFFFF0000u);
    EXPECT_EQ(pixel(11, 22), 0xFFFF0000u);

    // Draws are cut by the scissor rectangle too.
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0); // still cut: only 12..13 x 22..23
    vp = {0, 0, W, H, 0.0f, 1.0f};
    gpu_set_viewport(&vp);
    quad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(12, 22), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(14, 22), 0xFFFF0000u);
    EXPECT_EQ(pixel(0, 0), 0xFF000000u);
}

TEST_F(GpuTest, SettingTargetZeroResetsViewportAndScissor) {
    GpuViewport vp = {4, 4, 8, 8, 0.0f, 1.0f};
    gpu_set_viewport(&vp);
    GpuRect sc = {1, 2, 3, 4};
    gpu_set_scissor_rect(&sc);
    GpuTexture *rt =
        gpu_texture_create(32, 16, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_X8R8G8B8, GPU_POOL_DEFAULT);
    ASSERT_NE(rt, nullptr);
    ASSERT_EQ(gpu_set_render_target(0, gpu_texture_get_surface(rt)), GPU_OK);
    gpu_get_viewport(&vp);
    gpu_get_scissor_rect(&sc);
    EXPECT_EQ(vp.x, 0u);
    EXPECT_EQ(vp.y, 0u);
    EXPECT_EQ(vp.width, 32u);
    EXPECT_EQ(vp.height, 16u);
    EXPECT_EQ(sc.left, 0);
    EXPECT_EQ(sc.top, 0);
    EXPECT_EQ(sc.right, 32);
    EXPECT_EQ(sc.bottom, 16);
    // A full clear now reaches the far corner of the new target.
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF123456u, 1.0f, 0);
    EXPECT_EQ(pixel(31, 15, gpu_texture_get_surface(rt)), 0xFF123456u);
    // Target 0 cannot be none; target 1 can.
    EXPECT_NE(gpu_set_render_target(0, nullptr), GPU_OK);
    EXPECT_EQ(gpu_set_render_target(1, nullptr), GPU_OK);
    gpu_texture_release(rt);
    EXPECT_EQ(gpu_get_render_target(0), gpu_get_back_buffer()); // released target falls back
}

// Cull CCW (the default) keeps triangles that are clockwise on the target, CW removes them.
TEST_F(GpuTest, CullModesFollowOnScreenWinding) {
    ScreenVertex cw[3] = {{9.5f, 9.5f, 0, 1, 0xFFFFFFFFu, 0, 0, 0, 0},
                          {29.5f, 9.5f, 0, 1, 0xFFFFFFFFu, 0, 0, 0, 0},
                          {9.5f, 29.5f, 0, 1, 0xFFFFFFFFu, 0, 0, 0, 0}};
    ScreenVertex ccw[3] = {cw[0], cw[2], cw[1]};
    struct Case {
        uint32_t mode;
        bool cw_drawn, ccw_drawn;
    } cases[] = {{3, true, false}, {2, false, true}, {1, true, true}};
    for (const Case &c : cases) {
        gpu_set_render_state(GPU_RS_CULLMODE, c.mode);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, cw, sizeof(ScreenVertex));
        EXPECT_EQ(pixel(12, 12) == 0xFFFFFFFFu, c.cw_drawn) << "mode " << c.mode;
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, ccw, sizeof(ScreenVertex));
        EXPECT_EQ(pixel(12, 12) == 0xFFFFFFFFu, c.ccw_drawn) << "mode " << c.mode;
    }
}

TEST_F(GpuTest, WireframeDrawsEdgesOnly) {
    gpu_set_render_state(GPU_RS_FILLMODE, 2);
    quad(9.5f, 9.5f, 29.5f, 29.5f, 0xFFFFFFFFu);
    int edge = 0;
    for (uint32_t p : pixels(8, 20, 4, 1)) edge += p == 0xFFFFFFFFu;
    EXPECT_GE(edge, 1);
    EXPECT_EQ(pixel(16, 24), 0xFF000000u); // inside, off the diagonal
    gpu_set_render_state(GPU_RS_FILLMODE, 3);
    quad(9.5f, 9.5f, 29.5f, 29.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(16, 24), 0xFFFFFFFFu);
}

TEST_F(GpuTest, DepthTestAndDepthWrite) {
    GpuSurface *d = gpu_depth_surface_create(W, H, GPU_FMT_D16);
    ASSERT_NE(d, nullptr);
    gpu_set_depth_surface(d);
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    gpu_clear(GPU_CLEAR_TARGET | GPU_CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFF0000u, 0.5f);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF00FF00u, 0.7f); // behind: rejected (less-equal)
    EXPECT_EQ(pixel(5, 5), 0xFFFF0000u);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF0000FFu, 0.3f); // in front
    EXPECT_EQ(pixel(5, 5), 0xFF0000FFu);

    gpu_set_render_state(GPU_RS_ZWRITEENABLE, 0);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFFu, 0.2f); // passes but leaves depth at 0.3
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFF00FFu, 0.25f);
    EXPECT_EQ(pixel(5, 5), 0xFFFF00FFu);

    gpu_set_render_state(GPU_RS_ZFUNC, 5); // greater
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF00FFFFu, 0.28f);
    EXPECT_EQ(pixel(5, 5), 0xFFFF00FFu);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF00FFFFu, 0.31f);
    EXPECT_EQ(pixel(5, 5), 0xFF00FFFFu);

    // z enable off: every draw lands.
    gpu_set_render_state(GPU_RS_ZENABLE, 0);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF808080u, 0.9f);
    EXPECT_EQ(pixel(5, 5), 0xFF808080u);
    gpu_set_depth_surface(nullptr);
    gpu_surface_release(d);
}

// Screen-space x and y are pixels of the target, not of the viewport; the viewport still
// limits what is drawn.
TEST_F(GpuTest, ScreenSpaceUsesTargetPixelsClippedByViewport) {
    GpuViewport vp = {10, 10, 20, 20, 0.0f, 1.0f};
    gpu_set_viewport(&vp);
    quad(11.5f, 11.5f, 14.5f, 14.5f, 0xFFFF0000u);
    EXPECT_EQ(pixel(12, 12), 0xFFFF0000u);
    EXPECT_EQ(pixel(14, 14), 0xFFFF0000u);
    EXPECT_EQ(pixel(22, 22), 0xFF000000u);
    quad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFF00FF00u);
    EXPECT_EQ(pixel(10, 10), 0xFF00FF00u);
    EXPECT_EQ(pixel(29, 29), 0xFF00FF00u);
    EXPECT_EQ(pixel(9, 10), 0xFF000000u);
    EXPECT_EQ(pixel(30, 29), 0xFF000000u);
}

TEST_F(GpuTest, StencilMasksLaterDraws) {
    GpuSurface *d = gpu_depth_surface_create(W, H, GPU_FMT_D24S8);
    ASSERT_NE(d, nullptr);
    gpu_set_depth_surface(d);
    gpu_clear(GPU_CLEAR_TARGET | GPU_CLEAR_ZBUFFER | GPU_CLEAR_STENCIL, 0xFF000000u, 1.0f, 0);
    gpu_set_render_state(GPU_RS_STENCILENABLE, 1);
    gpu_set_render_state(GPU_RS_STENCILFUNC, 8); // always
    gpu_set_render_state(GPU_RS_STENCILREF, 1);
    gpu_set_render_state(GPU_RS_STENCILPASS, 3);      // replace
    gpu_set_render_state(GPU_RS_COLORWRITEENABLE, 0); // stencil only
    quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(3, 3), 0xFF000000u);
    gpu_set_render_state(GPU_RS_COLORWRITEENABLE, 0xF);
    gpu_set_render_state(GPU_RS_STENCILFUNC, 3); // equal
    gpu_set_render_state(GPU_RS_STENCILPASS, 1); // keep
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF00FF00u);
    EXPECT_EQ(pixel(3, 3), 0xFF00FF00u);
    EXPECT_EQ(pixel(12, 12), 0xFF000000u);
    // A stencil-less depth surface turns the stencil test off.
    GpuSurface *d16 = gpu_depth_surface_create(W, H, GPU_FMT_D16);
    gpu_set_depth_surface(d16);
    quad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFF0000FFu);
    EXPECT_EQ(pixel(12, 12), 0xFF0000FFu);
    gpu_surface_release(d16);
    gpu_surface_release(d);
    EXPECT_EQ(gpu_get_depth_surface(), nullptr);
}

namespace {
struct PosColor {
    float x, y, z;
    uint32_t diffuse;
};
const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
} // namespace

// Edges that pass exactly through pixel centres: a top or left edge draws its row or column, a
// bottom or right edge does not (the top-left rule), for screen-space and transformed
// triangles alike.
TEST_F(GpuTest, EdgesThroughPixelCentresFollowTheTopLeftRule) {
    const uint32_t red = 0xFFFF0000u, black = 0xFF000000u;
    auto expect_block = [&](const char *what) {
        EXPECT_EQ(pixel(10, 10), red) << what;
        EXPECT_EQ(pixel(19, 19), red) << what;
        EXPECT_EQ(pixel(15, 9), black) << what;
        EXPECT_EQ(pixel(9, 15), black) << what;
        EXPECT_EQ(pixel(15, 20), black) << what;
        EXPECT_EQ(pixel(20, 15), black) << what;
    };
    // Corners on the centres of pixels 10 and 20: rows and columns 10 to 19.
    quad(10, 10, 20, 20, red);
    expect_block("screen space");

    // A quad over the whole target from 0 to its size draws row 0 and column 0, and every
    // other pixel.
    gpu_clear(GPU_CLEAR_TARGET, black, 1.0f, 0);
    quad(0, 0, W, H, red);
    EXPECT_EQ(pixels(0, 0, W, H), std::vector<uint32_t>((size_t)W * H, red));

    // One triangle with a bottom edge on row 30's centres and one with a top edge on row 40's.
    gpu_clear(GPU_CLEAR_TARGET, black, 1.0f, 0);
    gpu_set_render_state(GPU_RS_CULLMODE, 1);
    ScreenVertex down[3] = {{30, 20, 0, 1, red, 0, 0, 0, 0},
                            {40, 30, 0, 1, red, 0, 0, 0, 0},
                            {20, 30, 0, 1, red, 0, 0, 0, 0}};
    ScreenVertex up[3] = {{20, 40, 0, 1, red, 0, 0, 0, 0},
                          {40, 40, 0, 1, red, 0, 0, 0, 0},
                          {30, 50, 0, 1, red, 0, 0, 0, 0}};
    gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, down, sizeof(ScreenVertex));
    gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, up, sizeof(ScreenVertex));
    EXPECT_EQ(pixel(30, 29), red);
    EXPECT_EQ(pixel(30, 30), black);
    EXPECT_EQ(pixel(30, 40), red);
    EXPECT_EQ(pixel(30, 39), black);

    // Transformed: clip-space edges on the centres of pixels 10 and 20 (centre k of a 64-pixel
    // axis at 2k / 64 - 1, y downwards from +1).
    gpu_clear(GPU_CLEAR_TARGET, black, 1.0f, 0);
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    auto cx = [](int k) { return 2.0f * (float)k / W - 1.0f; };
    auto cy = [](int k) { return 1.0f - 2.0f * (float)k / H; };
    PosColor v[4] = {{cx(10), cy(10), 0.5f, red},
                     {cx(20), cy(10), 0.5f, red},
                     {cx(10), cy(20), 0.5f, red},
                     {cx(20), cy(20), 0.5f, red}};
    gpu_set_fvf(0x42);
    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(PosColor)), GPU_OK);
    expect_block("transformed");
}

// Flat shading (state 9 = 1) takes each triangle's colour from its first vertex; Gouraud
// blends the three.
TEST_F(GpuTest, FlatShadingTakesTheFirstVertexColour) {
    const uint32_t c[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    ScreenVertex v[4] = {{9.5f, 9.5f, 0, 1, c[0], 0, 0, 0, 0},
                         {49.5f, 9.5f, 0, 1, c[1], 0, 0, 0, 0},
                         {9.5f, 49.5f, 0, 1, c[2], 0, 0, 0, 0},
                         {49.5f, 49.5f, 0, 1, c[3], 0, 0, 0, 0}};
    gpu_set_render_state(GPU_RS_SHADEMODE, 1);
    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), GPU_OK);
    EXPECT_EQ(pixel(15, 15), c[0]); // triangle 0: vertices 0, 1, 2
    EXPECT_EQ(pixel(44, 44), c[1]); // triangle 1: vertices 1, 2, 3
    gpu_set_render_state(GPU_RS_SHADEMODE, 2);
    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), GPU_OK);
    EXPECT_NE(pixel(15, 15), c[0]);
    EXPECT_NE(pixel(44, 44), c[1]);
}

namespace {

// Reference coverage with the top-left rule, in double precision, y downwards: a pixel centre
// is inside when it is strictly inside every edge, or on an edge that is a left edge (the
// triangle lies to its +x side) or a top edge (horizontal, the triangle below it).
bool reference_covers(const double t[3][2], double px, double py) {
    const double area =
        (t[1][0] - t[0][0]) * (t[2][1] - t[0][1]) - (t[1][1] - t[0][1]) * (t[2][0] - t[0][0]);
    if (area == 0) return false;
    const double s = area > 0 ? 1.0 : -1.0;
    for (int i = 0; i < 3; i++) {
        const double *a = t[i], *b = t[(i + 1) % 3];
        double e = s * ((b[0] - a[0]) * (py - a[1]) - (b[1] - a[1]) * (px - a[0]));
        if (e > 0) continue;
        if (e < 0) return false;
        const double inward_x = -s * (b[1] - a[1]), inward_y = s * (b[0] - a[0]);
        const bool left = inward_x > 0, top = b[1] == a[1] && inward_y > 0;
        if (!left && !top) return false;
    }
    return true;
}

} // namespace

// Four triangles meeting at one point near the centre of pixel (3, 3) of an 8 x 8 area, in
// every kind of target (the back buffer at the window's size and at another, a
// render-target texture), through the screen-space and the transformed paths: each pixel takes
// the colour of the triangle the top-left rule gives it, whether the meeting point lies exactly
// on the pixel centre or a sixteenth of a pixel beside it.
TEST_F(GpuTest, MeetingTrianglesFollowTheTopLeftRuleInEveryTarget) {
    const uint32_t black = 0xFF000000u;
    const uint32_t colour[4] = {0xFF00FF00u, 0xFFFF0000u, 0xFF0000FFu, 0xFFFFFFFFu};
    enum { LEFT, TOP, RIGHT, BOTTOM };
    // Corners (x, y) in pixels; -1 marks the meeting point.
    const double corner[4][3][2] = {{{2, 1}, {-1, -1}, {2, 5}},
                                    {{2, 1}, {4, 1}, {-1, -1}},
                                    {{4, 1}, {4, 5}, {-1, -1}},
                                    {{-1, -1}, {4, 5}, {2, 5}}};
    const double moves[5][2] = {
        {0, 0}, {0, -1.0 / 16}, {0, 1.0 / 16}, {-1.0 / 16, 0}, {1.0 / 16, 0}};

    GpuTexture *rt =
        gpu_texture_create(8, 8, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_X8R8G8B8, GPU_POOL_DEFAULT);
    ASSERT_NE(rt, nullptr);
    gpu_set_render_state(GPU_RS_CULLMODE, 1);
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    for (int target = 0; target < 3; target++) {
        if (target == 1) {
            ASSERT_EQ(gpu_reset(W - 16, H - 8), GPU_OK);
        } else if (target == 2) {
            ASSERT_EQ(gpu_set_render_target(0, gpu_texture_get_surface(rt)), GPU_OK);
        }
        GpuSurface *surface = target == 2 ? gpu_texture_get_surface(rt) : nullptr;
        gpu_set_render_state(GPU_RS_CULLMODE, 1);
        gpu_set_render_state(GPU_RS_LIGHTING, 0);
        const GpuViewport vp = {0, 0, 8, 8, 0.0f, 1.0f};
        gpu_set_viewport(&vp);
        for (const auto &move : moves)
            for (int path = 0; path < 2; path++) {
                SCOPED_TRACE(testing::Message() << "target " << target << ", path " << path
                                                << ", move " << move[0] << ", " << move[1]);
                double tri[4][3][2];
                for (int t = 0; t < 4; t++)
                    for (int k = 0; k < 3; k++)
                        for (int c = 0; c < 2; c++)
                            tri[t][k][c] = corner[t][k][c] < 0 ? 3 + move[c] : corner[t][k][c];
                gpu_clear(GPU_CLEAR_TARGET, black, 1.0f, 0);
                if (path == 0) {
                    ScreenVertex v[12];
                    for (int i = 0; i < 12; i++)
                        v[i] = {(float)tri[i / 3][i % 3][0],
                                (float)tri[i / 3][i % 3][1],
                                0,
                                1,
                                colour[i / 3],
                                0,
                                0,
                                0,
                                0};
                    gpu_set_fvf(0x244);
                    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 4, v, sizeof(v[0])),
                              GPU_OK);
                } else {
                    // Centre k of the 8-pixel viewport is at 2k / 8 - 1, y downwards from +1.
                    PosColor v[12];
                    for (int i = 0; i < 12; i++)
                        v[i] = {(float)(tri[i / 3][i % 3][0] / 4 - 1),
                                (float)(1 - tri[i / 3][i % 3][1] / 4), 0.5f, colour[i / 3]};
                    gpu_set_fvf(0x42);
                    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 4, v, sizeof(v[0])),
                              GPU_OK);
                }
                std::vector<uint32_t> got = pixels(0, 0, 8, 8, surface);
                for (int y = 0; y < 8; y++)
                    for (int x = 0; x < 8; x++) {
                        uint32_t want = black;
                        for (int t = 0; t < 4; t++)
                            if (reference_covers(tri[t], x, y)) want = colour[t];
                        EXPECT_EQ(got[(size_t)y * 8 + x], want) << "pixel " << x << ", " << y;
                    }
                if (move[0] == 0 && move[1] == 0) {
                    // The exact meeting point, pixel by pixel as the rule gives it.
                    const struct {
                        int x, y, tri;
                    } exact[] = {{2, 1, TOP},  {3, 1, TOP},   {2, 2, LEFT}, {3, 2, TOP},
                                 {2, 3, LEFT}, {3, 3, RIGHT}, {2, 4, LEFT}, {3, 4, BOTTOM}};
                    for (const auto &e : exact)
                        EXPECT_EQ(got[(size_t)e.y * 8 + e.x], colour[e.tri])
                            << "pixel " << e.x << ", " << e.y;
                }
            }
    }
    gpu_texture_release(rt);
}
