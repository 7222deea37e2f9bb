// Drawing read back as pixels: screen-space mapping and orientation, render targets, blending,
// alpha test, texture stages, depth, culling, fill modes, light and fog, and a shader pair.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx_test_env.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "resource/res_texture.h"

namespace {

class GfxPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        gfx_test_reset_states();
        gfx_test_clear(0xFF000000u);
    }
    void TearDown() override { gfx_test_reset_states(); }
};

bool make_texture(TextureHandle *t, uint32_t format, int w, int h, const uint32_t *texels) {
    if (!tex_create(t, format, w, h)) return false;
    return tex_write_rows(t, 0, 0, w, h, texels);
}

void stage(uint32_t s, uint32_t cop, uint32_t ca1, uint32_t ca2, uint32_t aop, uint32_t aa1,
           uint32_t aa2) {
    gpu_set_texture_stage_state(s, GPU_TSS_COLOROP, cop);
    gpu_set_texture_stage_state(s, GPU_TSS_COLORARG1, ca1);
    gpu_set_texture_stage_state(s, GPU_TSS_COLORARG2, ca2);
    gpu_set_texture_stage_state(s, GPU_TSS_ALPHAOP, aop);
    gpu_set_texture_stage_state(s, GPU_TSS_ALPHAARG1, aa1);
    gpu_set_texture_stage_state(s, GPU_TSS_ALPHAARG2, aa2);
}
enum { OP_DISABLE = 1, OP_ARG1 = 2, OP_ARG2 = 3, OP_MODULATE = 4 };
enum { ARG_DIFFUSE = 0, ARG_CURRENT = 1, ARG_TEXTURE = 2 };

uint32_t float_bits(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

// One screen-space triangle, corners in the given order (pixel coordinates).
void screen_triangle(const float xy[6], uint32_t argb) {
    ScreenVertex v[3] = {};
    for (int i = 0; i < 3; ++i) {
        v[i].x = xy[i * 2];
        v[i].y = xy[i * 2 + 1];
        v[i].rhw = 1.0f;
        v[i].diffuse = argb;
    }
    gpu_set_fvf(GFX_SCREEN_VERTEX_FVF);
    gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, v, sizeof(ScreenVertex));
}

} // namespace

TEST_F(GfxPixels, PixelCentresMapTexelsExactly) {
    uint32_t texels[16];
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            texels[j * 4 + i] = 0xFF000000u | (i * 80u) << 16 | (j * 80u) << 8 | 0x40;
    TextureHandle t;
    ASSERT_TRUE(make_texture(&t, GPU_FMT_A8R8G8B8, 4, 4, texels));
    // Linear filtering: any half-pixel error would blend neighbouring texels.
    tex_bind(gfx_get_device(), 0, &t, 1);
    gfx_test_quad(10, 20, 14, 24, 0xFFFFFFFFu);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_LE(test_color_distance(test_pixel(10 + i, 20 + j), texels[j * 4 + i]), 1)
                << i << "," << j;
    EXPECT_EQ(test_pixel(9, 20), 0xFF000000u);
    EXPECT_EQ(test_pixel(14, 20), 0xFF000000u);
    EXPECT_EQ(test_pixel(10, 19), 0xFF000000u);
    EXPECT_EQ(test_pixel(10, 24), 0xFF000000u);
    tex_bind(gfx_get_device(), 0, nullptr, 1);
    tex_release(&t);
}

TEST_F(GfxPixels, RenderTargetsAreTopRowFirstAndResetViewportAndScissor) {
    const ResourceHandle h = res_create_render_texture("gfxtest", "rt", 32, 16, 0);
    ASSERT_NE(h, 0u);
    TextureHandle *t = res_get_texture(h);
    ASSERT_NE(t, nullptr);
    gfx_set_viewport(1, 1, 2, 2);
    gfx_set_scissor(1, 1, 2, 2);
    tex_set_render_targets(h, 0, nullptr);
    GpuViewport vp = {};
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.x, 0u);
    EXPECT_EQ(vp.width, 32u);
    EXPECT_EQ(vp.height, 16u);
    int32_t x, y, w, hh;
    gfx_get_scissor(&x, &y, &w, &hh);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(hh, 16);
    EXPECT_EQ(gfx_target_width(), 32);
    EXPECT_EQ(gfx_target_height(), 16);
    EXPECT_EQ(gfx_current_target()->surface, t->surface);

    gfx_clear(GFX_CLEAR_TARGET, 0xFF000000u);
    gfx_test_quad(0, 0, 32, 4, 0xFFFF0000u);
    EXPECT_EQ(test_surface_pixel(t->surface, 5, 1), 0xFFFF0000u);
    EXPECT_EQ(test_surface_pixel(t->surface, 5, 10), 0xFF000000u);

    // Back to the back buffer; the target's top row is v = 0 when drawn as a texture.
    tex_set_render_targets(0, 0, nullptr);
    EXPECT_EQ(gfx_current_target()->surface, gfx_saved_back_buffer()->surface);
    EXPECT_EQ(gfx_target_width(), TEST_WIDTH);
    tex_bind(gfx_get_device(), 0, t, 0);
    gfx_test_quad(40, 40, 72, 56, 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(45, 41), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(45, 50), 0xFF000000u);
    tex_bind(gfx_get_device(), 0, nullptr, 1);
    // Target 1 beyond the device's count is left alone; an unknown handle means the back buffer.
    tex_set_render_targets(12345, 0, nullptr);
    EXPECT_EQ(gfx_current_target()->surface, gfx_saved_back_buffer()->surface);
    // A plain texture cannot be a target: the back buffer stays bound and described.
    const ResourceHandle plain = res_create_texture("gfxtest", "plain", 16, 16, 0);
    ASSERT_NE(plain, 0u);
    tex_set_render_targets(plain, 0, nullptr);
    EXPECT_EQ(gfx_current_target()->surface, gfx_saved_back_buffer()->surface);
    EXPECT_EQ(gfx_target_width(), TEST_WIDTH);
    res_release_texture(plain);
    res_release_texture(h);
}

// Each blend pair's result per channel, written out from its source and destination factors:
// s, d the source and destination channel, sa, da their alphas (the back buffer stores none,
// so da = 1).
TEST_F(GfxPixels, EveryBlendPair) {
    typedef double (*Rule)(double s, double d, double sa, double da);
    const Rule rules[GFX_BLEND_PAIR_COUNT] = {
        [](double s, double, double, double) { return s; }, // one, zero
        [](double s, double d, double sa, double) { return s * sa + d * (1 - sa); },
        [](double s, double d, double sa, double) { return s * sa + d; },   // src alpha, one
        [](double s, double d, double, double) { return s + d; },           // one, one
        [](double s, double d, double, double) { return s * (1 - d) + d; }, // inv dest, one
        [](double s, double d, double, double) { return s * s + d; },       // src colour, one
        [](double s, double d, double, double) { return s * s + d * (1 - s); },
        [](double s, double d, double sa, double) { return s + d * (1 - sa); },
        [](double s, double d, double, double) { return d * s; },     // zero, src colour
        [](double s, double d, double, double) { return s * d + d; }, // dest colour, one
        [](double s, double d, double sa, double) { return s * d + d * sa; },
        [](double s, double d, double, double) { return s * (1 - d); }, // inv dest, zero
        [](double s, double d, double, double da) { return s * (1 - da) + d * da; },
    };
    const uint32_t dst = 0xFF4080C0u, src = 0x80C06020u;
    auto f = [](uint32_t c) { return (double)(c & 0xFF) / 255.0; };
    for (int pair = 0; pair < GFX_BLEND_PAIR_COUNT; ++pair) {
        SCOPED_TRACE(pair);
        gfx_test_clear(dst);
        gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
        gfx_set_draw_states(0, 1, 7, 0, pair, 2, 0, 5, 0);
        gfx_test_quad(0, 0, 8, 8, src);
        gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 0);
        uint32_t expect = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            double r = rules[pair](f(src >> shift), f(dst >> shift), f(src >> 24), 1.0);
            r = r > 1.0 ? 1.0 : r;
            expect |= (uint32_t)std::lround(r * 255.0) << shift;
        }
        EXPECT_LE(test_color_distance(test_pixel(4, 4), expect), 2)
            << std::hex << test_pixel(4, 4) << " vs " << expect;
    }
}

TEST_F(GfxPixels, AlphaTestAgainstTheReferenceTable) {
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 1);
    gpu_set_render_state(GPU_RS_ALPHAFUNC, 7);      // greater-equal
    gfx_set_draw_states(0, 1, 7, 0, 0, 2, 0, 2, 0); // reference 129
    gfx_test_quad(0, 0, 8, 8, 0x80FFFFFFu);
    gfx_test_quad(8, 0, 16, 8, 0x81FFFFFFu);
    EXPECT_EQ(test_pixel(4, 4), 0xFF000000u);
    EXPECT_EQ(test_pixel(12, 4), 0xFFFFFFFFu);
    gfx_set_draw_states(0, 1, 7, 0, 0, 2, 0, 5, 0); // reference 0
    gfx_test_quad(0, 0, 8, 8, 0x00FFFFFFu);
    EXPECT_EQ(test_pixel(4, 4), 0xFFFFFFFFu);
}

TEST_F(GfxPixels, TextureStageOperations) {
    const uint32_t grey = 0xFF808080u, red = 0xFFFF0000u;
    TextureHandle g, r;
    ASSERT_TRUE(make_texture(&g, GPU_FMT_A8R8G8B8, 1, 1, &grey));
    ASSERT_TRUE(make_texture(&r, GPU_FMT_A8R8G8B8, 1, 1, &red));
    GfxDevice *dev = gfx_get_device();

    tex_bind(dev, 0, &g, 0);
    stage(0, OP_MODULATE, ARG_TEXTURE, ARG_CURRENT, OP_ARG1, ARG_TEXTURE, ARG_CURRENT);
    gfx_test_quad(0, 0, 4, 4, 0xFF00FF00u);
    EXPECT_LE(test_color_distance(test_pixel(1, 1), 0xFF008000u), 1);

    stage(0, OP_ARG2, ARG_TEXTURE, ARG_DIFFUSE, OP_ARG1, ARG_TEXTURE, ARG_CURRENT);
    gfx_test_quad(4, 0, 8, 4, 0xFF0000FFu);
    EXPECT_EQ(test_pixel(5, 1), 0xFF0000FFu);

    stage(0, OP_DISABLE, ARG_TEXTURE, ARG_CURRENT, OP_DISABLE, ARG_TEXTURE, ARG_CURRENT);
    gfx_test_quad(8, 0, 12, 4, 0xFF00FFFFu);
    EXPECT_EQ(test_pixel(9, 1), 0xFF00FFFFu);

    // Stage 1 modulates current with a texture it does not have: current passes on.
    tex_bind(dev, 0, &r, 0);
    stage(0, OP_ARG1, ARG_TEXTURE, ARG_CURRENT, OP_ARG1, ARG_TEXTURE, ARG_CURRENT);
    stage(1, OP_MODULATE, ARG_CURRENT, ARG_TEXTURE, OP_MODULATE, ARG_CURRENT, ARG_TEXTURE);
    gfx_test_quad(12, 0, 16, 4, 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(13, 1), 0xFFFF0000u);
    // With a texture there, it modulates.
    tex_bind(dev, 1, &g, 0);
    gfx_test_quad(16, 0, 20, 4, 0xFFFFFFFFu);
    EXPECT_LE(test_color_distance(test_pixel(17, 1), 0xFF800000u), 1);
    tex_bind(dev, 1, nullptr, 1);
    tex_bind(dev, 0, nullptr, 1);
    tex_release(&g);
    tex_release(&r);
}

TEST_F(GfxPixels, X8TexturesSampleAlphaOne) {
    const uint32_t texel = 0x00FF0000u; // alpha byte 0
    TextureHandle t;
    ASSERT_TRUE(make_texture(&t, GPU_FMT_X8R8G8B8, 1, 1, &texel));
    gfx_test_clear(0xFF0000FFu);
    tex_bind(gfx_get_device(), 0, &t, 0);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gfx_set_draw_states(0, 1, 7, 0, 1, 2, 0, 5, 0); // src alpha, inverse src alpha
    gfx_test_quad(0, 0, 4, 4, 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(1, 1), 0xFFFF0000u);
    tex_bind(gfx_get_device(), 0, nullptr, 1);
    tex_release(&t);
}

TEST_F(GfxPixels, DepthTestAndDepthWrite) {
    SurfaceHandle depth;
    ASSERT_TRUE(gfx_create_surface(&depth, GPU_FMT_D24S8, TEST_WIDTH, TEST_HEIGHT));
    tex_set_render_targets(0, 0, &depth);
    EXPECT_EQ(gfx_current_depth(), &depth);
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);          // depth bound: z goes to 1 as well
    gfx_set_draw_states(0, 1, 3, 0, 0, 2, 0, 5, 0); // z-write on, less-equal
    gfx_test_quad(0, 0, 8, 8, 0xFFFF0000u, 0.5f);
    gfx_test_quad(0, 0, 8, 8, 0xFF00FF00u, 0.7f);
    EXPECT_EQ(test_pixel(4, 4), 0xFFFF0000u);
    gfx_test_quad(0, 0, 8, 8, 0xFF0000FFu, 0.3f);
    EXPECT_EQ(test_pixel(4, 4), 0xFF0000FFu);
    gfx_set_draw_states(0, 0, 3, 0, 0, 2, 0, 5, 0); // z-write off
    gfx_test_quad(0, 0, 8, 8, 0xFFFFFF00u, 0.2f);
    EXPECT_EQ(test_pixel(4, 4), 0xFFFFFF00u);
    gfx_test_quad(0, 0, 8, 8, 0xFFFFFFFFu, 0.25f); // depth is still 0.3
    EXPECT_EQ(test_pixel(4, 4), 0xFFFFFFFFu);
    gfx_set_draw_states(0, 1, 1, 0, 0, 2, 0, 5, 0); // less
    gfx_test_quad(0, 0, 8, 8, 0xFF00FF00u, 0.3f);
    EXPECT_EQ(test_pixel(4, 4), 0xFFFFFFFFu);
    gpu_set_render_state(GPU_RS_ZENABLE, 0);
    tex_set_render_targets(0, 0, nullptr);
    gfx_release_surface(&depth);
}

TEST_F(GfxPixels, CullModes) {
    // Clockwise on screen (y down): top-left, top-right, bottom-left.
    const float cw[6] = {0, 0, 16, 0, 0, 16};
    const float ccw[6] = {32, 0, 32, 16, 48, 0};
    const uint32_t expect[3][2] = {{1, 0}, {0, 1}, {1, 1}}; // index 0 culls CCW, 1 CW, 2 none
    for (int cull = 0; cull < 3; ++cull) {
        SCOPED_TRACE(cull);
        gfx_test_clear(0xFF000000u);
        gfx_set_draw_states(0, 1, 7, 0, 0, cull, 0, 5, 0);
        screen_triangle(cw, 0xFFFFFFFFu);
        screen_triangle(ccw, 0xFFFFFFFFu);
        EXPECT_EQ(test_pixel(3, 3) == 0xFFFFFFFFu, expect[cull][0] == 1);
        EXPECT_EQ(test_pixel(35, 3) == 0xFFFFFFFFu, expect[cull][1] == 1);
    }
}

TEST_F(GfxPixels, WireframeDrawsOnlyEdges) {
    gfx_set_draw_states(0, 1, 7, 0, 0, 2, 1, 5, 0);
    gfx_test_quad(20, 20, 60, 60, 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(40, 30), 0xFF000000u);
    bool edge = false;
    for (int x = 18; x <= 22; ++x) edge |= test_pixel(x, 40) == 0xFFFFFFFFu;
    EXPECT_TRUE(edge);
    gfx_set_draw_states(0, 1, 7, 0, 0, 2, 0, 5, 0);
    gfx_test_quad(20, 20, 60, 60, 0xFFFFFFFFu);
    EXPECT_EQ(test_pixel(40, 30), 0xFFFFFFFFu);
}

TEST_F(GfxPixels, DirectionalLightAndLinearFogOnTransformedQuads) {
    struct LitVertex {
        float x, y, z, nx, ny, nz;
        uint32_t diffuse;
        float u, v;
    };
    static_assert(sizeof(LitVertex) == 36, "0x152 vertex");
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    gpu_set_transform(GPU_TS_WORLD, identity);
    gpu_set_transform(GPU_TS_VIEW, identity);
    gpu_set_transform(GPU_TS_PROJECTION, identity);
    GpuLight light = {};
    light.type = 3;
    light.diffuse = {1, 1, 1, 1};
    light.direction[2] = 1.0f; // shining into the screen
    gpu_set_light(0, &light);
    gpu_light_enable(0, true);
    GpuMaterial mat = {};
    mat.diffuse = {1, 1, 1, 1};
    gpu_set_material(&mat);
    gpu_set_render_state(GPU_RS_AMBIENT, 0);
    auto quad = [](float x0, float y0, float x1, float y1, float nx, float nz, uint32_t c) {
        LitVertex v[4] = {{x0, y0, 0.5f, nx, 0, nz, c, 0, 0},
                          {x1, y0, 0.5f, nx, 0, nz, c, 0, 0},
                          {x0, y1, 0.5f, nx, 0, nz, c, 0, 0},
                          {x1, y1, 0.5f, nx, 0, nz, c, 0, 0}};
        gpu_set_fvf(0x152);
        gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(LitVertex));
    };
    gfx_set_draw_states(1, 1, 7, 0, 0, 2, 0, 5, 0);           // lighting on
    quad(-1.0f, 1.0f, -0.5f, 0.5f, 0.0f, -1.0f, 0xFF00FF00u); // facing the light
    quad(0.5f, 1.0f, 1.0f, 0.5f, 1.0f, 0.0f, 0xFF00FF00u);    // edge-on: no diffuse
    EXPECT_LE(test_color_distance(test_pixel(8, 8), 0xFF00FF00u), 2);
    EXPECT_LE(test_color_distance(test_pixel(TEST_WIDTH - 8, 8), 0xFF000000u), 2);

    // Linear table fog from 0 to 1: at depth 0.5 half the fog colour.
    gpu_set_render_state(GPU_RS_FOGCOLOR, 0xFFFF0000u);
    gpu_set_render_state(GPU_RS_FOGTABLEMODE, 3);
    gpu_set_render_state(GPU_RS_FOGSTART, float_bits(0.0f));
    gpu_set_render_state(GPU_RS_FOGEND, float_bits(1.0f));
    gfx_set_draw_states(0, 1, 7, 1, 0, 2, 0, 5, 0); // lighting off, fog on
    quad(-1.0f, -0.5f, -0.5f, -1.0f, 0.0f, -1.0f, 0xFFFFFFFFu);
    EXPECT_LE(test_color_distance(test_pixel(8, TEST_HEIGHT - 8), 0xFFFF8080u), 4);
    gfx_set_draw_states(0, 1, 7, 0, 0, 2, 0, 5, 0);
    gpu_set_render_state(GPU_RS_FOGTABLEMODE, 0);
    gpu_light_enable(0, false);
}

TEST_F(GfxPixels, ShaderPairWithConstantsSetByName) {
    const char *vs_src = "layout(location = 0) in vec3 in_pos;\n"
                         "uniform vec4 v4;\n"
                         "void VsMain() { gl_Position = vec4(in_pos.xy * v4.x, 0.5, 1.0); }\n";
    const char *ps_src = "uniform vec4 v1;\n"
                         "layout(location = 0) out vec4 out_color;\n"
                         "void PsMain() { out_color = v1; }\n";
    char err[1024] = {};
    GpuShader *vs =
        gpu_shader_compile_source(vs_src, "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs, nullptr) << err;
    GpuShader *ps = gpu_shader_compile_source(ps_src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps, nullptr) << err;
    const uint32_t hv4 = gpu_constant_find(vs, "v4"), hv1 = gpu_constant_find(ps, "v1");
    ASSERT_NE(hv4, 0u);
    ASSERT_NE(hv1, 0u);
    EXPECT_EQ(gpu_constant_find(ps, "nothing"), 0u);
    const float scale[4] = {0.5f, 0, 0, 0}, green[4] = {0, 1, 0, 1};
    gpu_constant_set_vector(vs, hv4, scale);
    gpu_constant_set_vector(ps, hv1, green);

    const GpuVertexElement elements[] = {{0, 0, GPU_DECL_FLOAT3, 0, GPU_USAGE_POSITION, 0},
                                         GPU_DECL_END};
    GpuVertexDecl *decl = gpu_vertex_decl_create(elements);
    ASSERT_NE(decl, nullptr);
    const float strip[12] = {-1, 1, 0, 1, 1, 0, -1, -1, 0, 1, -1, 0};
    gpu_set_vertex_decl(decl);
    gpu_set_vertex_shader(vs);
    gpu_set_pixel_shader(ps);
    gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, strip, 12);
    gpu_set_vertex_shader(nullptr);
    gpu_set_pixel_shader(nullptr);
    EXPECT_EQ(test_pixel(TEST_WIDTH / 2, TEST_HEIGHT / 2), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(4, 4), 0xFF000000u); // the scale constant halved the quad
    gpu_vertex_decl_release(decl);
    gpu_shader_release(vs);
    gpu_shader_release(ps);
}
