// The back buffer at the window's size and at others, beside a depth surface, and what present
// puts in the window: the whole picture over the whole client area, upright, at any size.
#include "gpu_test_util.h"

#include <random>

namespace {

struct PosColor {
    float x, y, z;
    uint32_t diffuse;
};

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Window pixel (x, y from the top) as the last present left it.
uint32_t window_pixel(int x, int y) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_TRUE(gpu_debug_window_pixel(x, y, &v)) << x << ", " << y;
    return v;
}

} // namespace

// Orientation, viewport and scissor rows, culling, the transformed path and block readback, once
// with the back buffer at the window's size and once smaller.
TEST_F(GpuTest, BackBufferSizesDrawAlike) {
    const int sizes[2][2] = {{W - 16, H - 8}, {W, H}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        ASSERT_EQ(gpu_reset(size[0], size[1]), GPU_OK);
        const int bw = size[0], bh = size[1];
        gpu_set_fvf(0x244);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);

        // The top two rows, then a block whose rows read back top first.
        quad(-0.5f, -0.5f, bw - 0.5f, 1.5f, 0xFFFF0000u);
        quad(3.5f, 9.5f, 5.5f, 10.5f, 0xFF00FF00u);  // row 10
        quad(3.5f, 10.5f, 5.5f, 11.5f, 0xFF0000FFu); // row 11
        EXPECT_EQ(pixel(bw / 2, 0), 0xFFFF0000u);
        EXPECT_EQ(pixel(bw / 2, 1), 0xFFFF0000u);
        EXPECT_EQ(pixel(bw / 2, 2), 0xFF000000u);
        EXPECT_EQ(pixel(bw / 2, bh - 1), 0xFF000000u);
        std::vector<uint32_t> block = pixels(4, 9, 2, 4);
        const uint32_t want[8] = {0xFF000000u, 0xFF000000u, 0xFF00FF00u, 0xFF00FF00u,
                                  0xFF0000FFu, 0xFF0000FFu, 0xFF000000u, 0xFF000000u};
        for (int i = 0; i < 8; i++) EXPECT_EQ(block[i], want[i]) << "block texel " << i;

        // A viewport and a scissor rectangle near the bottom count their rows from the top.
        GpuViewport vp = {2, (uint32_t)bh - 6, 4, 3, 0.0f, 1.0f};
        gpu_set_viewport(&vp);
        gpu_clear(GPU_CLEAR_TARGET, 0xFFFFFF00u, 1.0f, 0);
        EXPECT_EQ(pixel(2, bh - 6), 0xFFFFFF00u);
        EXPECT_EQ(pixel(5, bh - 4), 0xFFFFFF00u);
        EXPECT_EQ(pixel(5, bh - 3), 0xFF000000u);
        EXPECT_EQ(pixel(2, bh - 7), 0xFF000000u);
        vp = {0, 0, (uint32_t)bw, (uint32_t)bh, 0.0f, 1.0f};
        gpu_set_viewport(&vp);
        GpuRect sc = {20, bh - 4, 24, bh - 2};
        gpu_set_scissor_rect(&sc);
        gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
        quad(-0.5f, -0.5f, bw - 0.5f, bh - 0.5f, 0xFFFFFFFFu);
        gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 0);
        EXPECT_EQ(pixel(20, bh - 4), 0xFFFFFFFFu);
        EXPECT_EQ(pixel(23, bh - 3), 0xFFFFFFFFu);
        EXPECT_EQ(pixel(23, bh - 2), 0xFF000000u);
        EXPECT_EQ(pixel(20, bh - 5), 0xFF000000u);

        // The default cull mode keeps triangles clockwise on screen and drops the others.
        ScreenVertex cw[3] = {{29.5f, 19.5f, 0, 1, 0xFF808080u, 0, 0, 0, 0},
                              {39.5f, 19.5f, 0, 1, 0xFF808080u, 0, 0, 0, 0},
                              {29.5f, 29.5f, 0, 1, 0xFF808080u, 0, 0, 0, 0}};
        ScreenVertex ccw[3] = {cw[0], cw[2], cw[1]};
        for (ScreenVertex &v : ccw) v.x += 10.0f;
        gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, cw, sizeof(ScreenVertex));
        gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, ccw, sizeof(ScreenVertex));
        EXPECT_EQ(pixel(31, 21), 0xFF808080u);
        EXPECT_EQ(pixel(41, 21), 0xFF000000u);

        // Transformed vertices: clip-space y = +1 is the top row.
        gpu_set_transform(GPU_TS_WORLD, IDENTITY);
        gpu_set_transform(GPU_TS_VIEW, IDENTITY);
        gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
        gpu_set_render_state(GPU_RS_CULLMODE, 1);
        PosColor v[4] = {{0.5f, 1, 0.5f, 0xFF00FFFFu},
                         {1, 1, 0.5f, 0xFF00FFFFu},
                         {0.5f, 0.5f, 0.5f, 0xFF00FFFFu},
                         {1, 0.5f, 0.5f, 0xFF00FFFFu}};
        gpu_set_fvf(0x42);
        ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(PosColor)), GPU_OK);
        EXPECT_EQ(pixel(bw - 2, bh / 4 - 1), 0xFF00FFFFu);
        EXPECT_EQ(pixel(bw - 2, bh / 4), 0xFF000000u); // the bottom edge on its row's centres
        EXPECT_EQ(pixel(bw - 2, bh - 2), 0xFF000000u);
        gpu_set_render_state(GPU_RS_CULLMODE, 3);

        // Present shows it upright over the whole window.
        gpu_debug_capture_window(true);
        ASSERT_EQ(gpu_present(), GPU_OK);
        EXPECT_EQ(window_pixel(W / 2, 0), 0xFFFF0000u);
        EXPECT_EQ(window_pixel(W / 2, H - 1), 0xFF000000u);
        gpu_debug_capture_window(false);
    }
}

// A depth surface beside the back buffer: what was drawn before stays, the depth test works, and
// present shows the top at the top.
TEST_F(GpuTest, DepthSurfaceBesideBackBufferKeepsItsContents) {
    gpu_debug_capture_window(true);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    quad(-0.5f, -0.5f, W - 0.5f, 3.5f, 0xFFFF0000u); // top four rows red
    GpuSurface *depth = gpu_depth_surface_create(W, H, GPU_FMT_D24S8);
    ASSERT_NE(depth, nullptr);
    gpu_set_depth_surface(depth);
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    gpu_clear(GPU_CLEAR_ZBUFFER, 0, 0.5f, 0);
    quad(9.5f, 9.5f, 19.5f, 19.5f, 0xFF00FF00u, 0.25f);  // passes: nearer than 0.5
    quad(29.5f, 9.5f, 39.5f, 19.5f, 0xFF00FF00u, 0.75f); // fails
    EXPECT_EQ(pixel(W / 2, 0), 0xFFFF0000u);
    EXPECT_EQ(pixel(W / 2, 3), 0xFFFF0000u);
    EXPECT_EQ(pixel(W / 2, 4), 0xFF0000FFu);
    EXPECT_EQ(pixel(12, 12), 0xFF00FF00u);
    EXPECT_EQ(pixel(32, 12), 0xFF0000FFu);

    ASSERT_EQ(gpu_present(), GPU_OK);
    EXPECT_EQ(window_pixel(W / 2, 1), 0xFFFF0000u);
    EXPECT_EQ(window_pixel(W / 2, H - 2), 0xFF0000FFu);

    // Without the depth surface the back buffer keeps working where it is.
    gpu_set_depth_surface(nullptr);
    gpu_surface_release(depth);
    quad(49.5f, 49.5f, 59.5f, 59.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(52, 52), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(12, 12), 0xFF00FF00u);
    gpu_debug_capture_window(false);
}

// A back buffer smaller than the window is stretched over it, upright.
TEST_F(GpuTest, SmallerBackBufferPresentsStretchedAndUpright) {
    gpu_debug_capture_window(true);
    ASSERT_EQ(gpu_reset(W / 2, H / 4), GPU_OK);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    quad(-0.5f, -0.5f, W / 2 - 0.5f, 3.5f, 0xFFFF0000u); // top quarter red
    ASSERT_EQ(gpu_present(), GPU_OK);
    EXPECT_EQ(window_pixel(W / 2, 2), 0xFFFF0000u);
    EXPECT_EQ(window_pixel(W - 1, H / 4 - 4), 0xFFFF0000u);
    EXPECT_EQ(window_pixel(W / 2, H / 4 + 4), 0xFF0000FFu);
    EXPECT_EQ(window_pixel(0, H - 1), 0xFF0000FFu);
    gpu_debug_capture_window(false);
}

// After the window is resized the whole picture still fills the whole client area: a back
// buffer of quadrants shows each quadrant in the matching quarter of the larger window.
TEST_F(GpuTest, PresentFillsTheWindowAfterAResize) {
    gpu_debug_capture_window(true);
    const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
    auto draw = [&] {
        for (int q = 0; q < 4; q++) {
            const float l = (q % 2) * (W / 2) - 0.5f, t = (q / 2) * (H / 2) - 0.5f;
            quad(l, t, l + W / 2, t + H / 2, colours[q]);
        }
    };
    const int sizes[2][2] = {{100, 70}, {W, H}};
    for (const auto &size : sizes) {
        ASSERT_EQ(gpu_present(), GPU_OK); // the window changes between frames
        SDL_SetWindowSize(window, size[0], size[1]);
        int ww = 0, wh = 0;
        SDL_GL_GetDrawableSize(window, &ww, &wh);
        draw();
        // The first present after a resize may still meet the window's old size in a software
        // driver; from the next one on the window is filled.
        ASSERT_EQ(gpu_present(), GPU_OK);
        ASSERT_EQ(gpu_present(), GPU_OK);
        int cw = 0, chh = 0;
        gpu_debug_window_size(&cw, &chh);
        ASSERT_EQ(cw, ww);
        ASSERT_EQ(chh, wh);
        // Sample a few pixels inside each quarter, away from the seams.
        for (int q = 0; q < 4; q++) {
            const int x0 = (q % 2) * ww / 2, y0 = (q / 2) * wh / 2;
            for (int fy : {2, 8})
                for (int fx : {2, 8}) {
                    const int x = x0 + fx * (ww / 2) / 10, y = y0 + fy * (wh / 2) / 10;
                    EXPECT_EQ(window_pixel(x, y), colours[q])
                        << ww << " x " << wh << " at " << x << ", " << y;
                }
        }
    }
    gpu_debug_capture_window(false);
}

// A frame that draws nothing presents the last picture again (a swap leaves the window's own
// buffer undefined), with the back buffer at the window's size and at another.
TEST_F(GpuTest, PresentWithoutDrawingShowsTheLastPicture) {
    gpu_debug_capture_window(true);
    const int sizes[2][2] = {{W, H}, {W / 2, H / 2}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        ASSERT_EQ(gpu_reset(size[0], size[1]), GPU_OK);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
        quad(-0.5f, -0.5f, size[0] - 0.5f, 3.5f, 0xFFFF0000u); // top rows red
        for (int frame = 0; frame < 3; frame++) {
            ASSERT_EQ(gpu_present(), GPU_OK);
            EXPECT_EQ(window_pixel(W / 2, 1), 0xFFFF0000u) << "frame " << frame;
            EXPECT_EQ(window_pixel(W / 2, H - 2), 0xFF0000FFu) << "frame " << frame;
        }
    }
    gpu_debug_capture_window(false);
}

namespace {

// One seeded scene of screen-space draws whose ties fall on pixel centres and texel edges:
// Gouraud triangles, point-sampled textured triangles, lines and points, all at sixteenths of
// a pixel, some reaching past the target's edges.
void draw_tie_scene(unsigned seed, GpuTexture *texture) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> sixteenths(-64, 64 * 16 + 64);
    std::uniform_int_distribution<uint32_t> rgb(0, 0xFFFFFFu);
    auto vertex = [&](float u_scale) {
        const float x = (float)sixteenths(rng) / 16.0f, y = (float)sixteenths(rng) / 16.0f;
        return ScreenVertex{x, y, 0, 1, 0xFF000000u | rgb(rng), x * u_scale, y * u_scale, 0, 0};
    };
    const uint32_t kinds[3] = {GPU_PT_TRIANGLELIST, GPU_PT_LINELIST, GPU_PT_POINTLIST};
    for (int i = 0; i < 24; i++) {
        const bool textured = i % 2 == 1;
        gpu_set_texture(0, textured ? texture : nullptr);
        const uint32_t kind = kinds[i % 6 == 5 ? 2 : i % 3 == 2 ? 1 : 0];
        // One triangle, two lines or four points from four vertices.
        const uint32_t primitives = kind == GPU_PT_TRIANGLELIST ? 1
                                    : kind == GPU_PT_LINELIST   ? 2
                                                                : 4;
        ScreenVertex v[4];
        for (ScreenVertex &p : v) p = vertex(textured ? 1.0f / 4 : 0.0f);
        ASSERT_EQ(gpu_draw_primitive_up(kind, primitives, v, sizeof(ScreenVertex)), GPU_OK);
    }
    gpu_set_texture(0, nullptr);
}

} // namespace

// The same draws give the same pixels in the back buffer and in a render target of its size,
// exact ties included, and present shows the back buffer unchanged: a frame may be drawn
// through either and look the same.
TEST_F(GpuTest, BackBufferAndRenderTargetRasteriseAlike) {
    std::vector<uint32_t> texels(4 * 4);
    for (size_t i = 0; i < texels.size(); i++)
        texels[i] = 0xFF000000u | (uint32_t)(i * 0x3F1D47u & 0xFFFFFFu);
    GpuTexture *tex = texture(4, 4, texels);
    GpuTexture *rt =
        gpu_texture_create(W, H, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_X8R8G8B8, GPU_POOL_DEFAULT);
    ASSERT_TRUE(tex && rt);
    GpuSurface *rs = gpu_texture_get_surface(rt);
    gpu_set_render_state(GPU_RS_CULLMODE, 1);
    gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, 1);
    gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, 1);
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, 4); // texture x diffuse
    gpu_debug_capture_window(true);
    int differing_scenes = 0;
    for (unsigned seed = 1; seed <= 150; seed++) {
        std::vector<uint32_t> pictures[2];
        for (int target = 0; target < 2; target++) {
            ASSERT_EQ(gpu_set_render_target(0, target ? rs : gpu_get_back_buffer()), GPU_OK);
            gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
            draw_tie_scene(seed, tex);
            pictures[target] = pixels(0, 0, W, H, target ? rs : nullptr);
        }
        int differ = 0;
        for (size_t i = 0; i < pictures[0].size(); i++) differ += pictures[0][i] != pictures[1][i];
        differing_scenes += differ > 0;
        EXPECT_EQ(differ, 0) << "scene " << seed;
        if (seed % 50 == 0) { // the window shows what the back buffer holds
            ASSERT_EQ(gpu_set_render_target(0, gpu_get_back_buffer()), GPU_OK);
            ASSERT_EQ(gpu_present(), GPU_OK);
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++)
                    ASSERT_EQ(window_pixel(x, y), pictures[0][(size_t)y * W + x]) << x << ", " << y;
        }
    }
    EXPECT_EQ(differing_scenes, 0);
    gpu_debug_capture_window(false);
    gpu_texture_release(rt);
    gpu_texture_release(tex);
}
