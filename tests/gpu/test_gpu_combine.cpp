// Pixel combining: blend factors, alpha test, texture-stage operations and format swizzles.
#include "gpu_test_util.h"

#include <cmath>
#include <cstring>

namespace {

// An A8R8G8B8 target, so destination alpha and output alpha can be read back.
struct ArgbTarget {
    GpuTexture *tex;
    GpuSurface *surf;
    explicit ArgbTarget(uint32_t clear) {
        tex = gpu_texture_create(16, 16, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_A8R8G8B8,
                                 GPU_POOL_DEFAULT);
        surf = gpu_texture_get_surface(tex);
        gpu_set_render_target(0, surf);
        gpu_clear(GPU_CLEAR_TARGET, clear, 1.0f, 0);
    }
    ~ArgbTarget() {
        gpu_set_render_target(0, gpu_get_back_buffer());
        gpu_texture_release(tex);
    }
};

float factor(uint32_t code, int c, const float s[4], const float d[4]) {
    switch (code) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 3:
            return s[c];
        case 4:
            return 1 - s[c];
        case 5:
            return s[3];
        case 6:
            return 1 - s[3];
        case 7:
            return d[3];
        case 8:
            return 1 - d[3];
        case 9:
            return d[c];
        case 10:
            return 1 - d[c];
    }
    return -1;
}

void unpack(uint32_t argb, float out[4]) {
    out[0] = ch(argb, 16) / 255.0f, out[1] = ch(argb, 8) / 255.0f, out[2] = ch(argb, 0) / 255.0f;
    out[3] = ch(argb, 24) / 255.0f;
}

} // namespace

// Every pair of the renderer's blend table against a hand computation, alpha included.
TEST_F(GpuTest, BlendFactorPairs) {
    const uint32_t pairs[13][2] = {{2, 1}, {5, 6}, {5, 2}, {2, 2}, {10, 2}, {3, 2}, {3, 4},
                                   {2, 6}, {1, 3}, {9, 2}, {9, 5}, {10, 1}, {8, 7}};
    const uint32_t dst = 0x80402010u, src = 0x40FF8000u;
    float s[4], d[4];
    unpack(src, s);
    unpack(dst, d);
    ArgbTarget t(dst);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    for (const auto &p : pairs) {
        gpu_set_render_state(GPU_RS_SRCBLEND, p[0]);
        gpu_set_render_state(GPU_RS_DESTBLEND, p[1]);
        gpu_clear(GPU_CLEAR_TARGET, dst, 1.0f, 0);
        quad(-0.5f, -0.5f, 3.5f, 3.5f, src);
        uint32_t want = 0;
        const int shift[4] = {16, 8, 0, 24};
        for (int c = 0; c < 4; c++) {
            float v = s[c] * factor(p[0], c, s, d) + d[c] * factor(p[1], c, s, d);
            v = std::fmin(std::fmax(v, 0.0f), 1.0f);
            want |= (uint32_t)std::lround(v * 255.0f) << shift[c];
        }
        EXPECT_TRUE(near_argb(pixel(1, 1, t.surf), want)) << "pair " << p[0] << "," << p[1];
    }
}

// Alpha test: 8-bit alpha compared with the reference; a failing pixel is not written.
TEST_F(GpuTest, AlphaTestFunctions) {
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 1);
    gpu_set_render_state(GPU_RS_ALPHAREF, 0x80);
    const uint32_t alphas[3] = {0x7F, 0x80, 0x81};
    // Expected survivors per function 1..8 for alpha below, equal, above.
    const bool pass[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                             {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    for (uint32_t f = 1; f <= 8; f++) {
        gpu_set_render_state(GPU_RS_ALPHAFUNC, f);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        for (int i = 0; i < 3; i++)
            quad(i * 4 - 0.5f, -0.5f, i * 4 + 3.5f, 3.5f, alphas[i] << 24 | 0xFFFFFFu);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(pixel(i * 4 + 1, 1) == 0xFFFFFFFFu, pass[f - 1][i])
                << "func " << f << " alpha " << alphas[i];
    }
    // Disabled: everything is written.
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    gpu_set_render_state(GPU_RS_ALPHAFUNC, 1);
    quad(-0.5f, -0.5f, 3.5f, 3.5f, 0x00FF0000u);
    EXPECT_EQ(pixel(1, 1), 0xFFFF0000u);
}

TEST_F(GpuTest, StageOperations) {
    ArgbTarget t(0x00000000u);
    GpuTexture *tex = texture(1, 1, {0x40808080u});
    const uint32_t diffuse = 0xC000FF80u;
    auto draw = [&]() {
        gpu_clear(GPU_CLEAR_TARGET, 0, 1.0f, 0);
        quad(-0.5f, -0.5f, 3.5f, 3.5f, diffuse);
        return pixel(1, 1, t.surf);
    };
    // No texture: the default stage 0 reads one, so current (diffuse) passes on.
    EXPECT_EQ(draw(), diffuse);
    // Default stage 0: colour = texture * diffuse, alpha = texture.
    gpu_set_texture(0, tex);
    EXPECT_TRUE(near_argb(draw(), 0x40008040u));
    // Stage 1 modulating current with a texture it does not have changes nothing.
    gpu_set_texture_stage_state(1, GPU_TSS_COLOROP, 4);
    gpu_set_texture_stage_state(1, GPU_TSS_COLORARG1, 1);
    gpu_set_texture_stage_state(1, GPU_TSS_COLORARG2, 2);
    gpu_set_texture_stage_state(1, GPU_TSS_ALPHAOP, 4);
    gpu_set_texture_stage_state(1, GPU_TSS_ALPHAARG1, 1);
    gpu_set_texture_stage_state(1, GPU_TSS_ALPHAARG2, 2);
    EXPECT_TRUE(near_argb(draw(), 0x40008040u));
    // ... and with the texture bound there too, it modulates again.
    gpu_set_texture(1, tex);
    EXPECT_TRUE(near_argb(draw(), 0x10004020u));
    gpu_set_texture(1, nullptr);
    gpu_set_texture_stage_state(1, GPU_TSS_COLOROP, 1);
    // Select arg2 = diffuse for colour, modulate for alpha.
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, 3);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG2, 0);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, 4);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG2, 0);
    EXPECT_TRUE(near_argb(draw(), 0x3000FF80u));
    // Stage 0 disabled: the diffuse colour, texture or not.
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, 1);
    EXPECT_EQ(draw(), diffuse);
    gpu_texture_release(tex);
}

// X8 samples alpha 1; A8 is (0, 0, 0, a); L8 (l, l, l, 1); A8L8 (l, l, l, a); 16-bit formats
// expand their fields.
TEST_F(GpuTest, FormatsSampleWithTheirSwizzles) {
    ArgbTarget t(0);
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, 2); // texture only
    struct Case {
        uint32_t format;
        uint32_t texel; // raw bits, little-endian
        uint32_t want;
    } cases[] = {
        {GPU_FMT_X8R8G8B8, 0x00112233u, 0xFF112233u},
        {GPU_FMT_A8R8G8B8, 0x44112233u, 0x44112233u},
        {GPU_FMT_A8, 0x7Fu, 0x7F000000u},
        {GPU_FMT_L8, 0x5Au, 0xFF5A5A5Au},
        {GPU_FMT_A8L8, 0x305Au, 0x305A5A5Au},
        {GPU_FMT_R5G6B5, 0xF800u, 0xFFFF0000u},
        {GPU_FMT_R5G6B5, 0x07E0u, 0xFF00FF00u},
        {GPU_FMT_A1R5G5B5, 0x801Fu, 0xFF0000FFu},
        {GPU_FMT_A1R5G5B5, 0x03E0u, 0x0000FF00u},
        {GPU_FMT_X1R5G5B5, 0x7C00u, 0xFFFF0000u},
        {GPU_FMT_A4R4G4B4, 0x8F00u, 0x88FF0000u},
        {GPU_FMT_R8G8B8, 0x112233u, 0xFF112233u},
    };
    for (const Case &c : cases) {
        GpuTexture *tex = gpu_texture_create(1, 1, 1, 0, c.format, GPU_POOL_MANAGED);
        ASSERT_NE(tex, nullptr) << c.format;
        GpuLockedRect lr;
        ASSERT_TRUE(gpu_texture_lock(tex, 0, nullptr, &lr));
        std::memcpy(lr.bits, &c.texel, 4 > lr.pitch ? (size_t)lr.pitch : 4);
        gpu_texture_unlock(tex, 0);
        gpu_set_texture(0, tex);
        gpu_clear(GPU_CLEAR_TARGET, 0, 1.0f, 0);
        quad(-0.5f, -0.5f, 1.5f, 1.5f, 0xFFFFFFFFu);
        EXPECT_TRUE(near_argb(pixel(0, 0, t.surf), c.want))
            << "format " << c.format << " texel " << std::hex << c.texel;
        gpu_set_texture(0, nullptr);
        gpu_texture_release(tex);
    }
}

// Each texture coordinate set travels between the stages on its own location, whichever side
// is fixed function: a stage samples the set it names, behind the fixed-function vertex stage
// and behind a vertex shader, and a pixel shader reads the set it declares.
TEST_F(GpuTest, StagesReadTheCoordinateSetTheyName) {
    GpuTexture *tex = texture(2, 1, {0xFFFF0000u, 0xFF00FF00u}); // red left, green right
    gpu_set_texture(0, tex);
    // Set 0 addresses the red texel, set 1 the green one, at every corner.
    auto sets_quad = [&]() {
        ScreenVertex v[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0.5f, 0.75f, 0.5f},
                             {W - 0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0.5f, 0.75f, 0.5f},
                             {-0.5f, H - 0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0.5f, 0.75f, 0.5f},
                             {W - 0.5f, H - 0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0.5f, 0.75f, 0.5f}};
        gpu_set_fvf(0x244);
        EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), GPU_OK);
        return pixel(W / 2, H / 2);
    };
    EXPECT_EQ(sets_quad(), 0xFFFF0000u);
    gpu_set_texture_stage_state(0, GPU_TSS_TEXCOORDINDEX, 1);
    EXPECT_EQ(sets_quad(), 0xFF00FF00u);

    char err[512];
    GpuShader *ps = gpu_shader_compile_source(R"(
layout(location = 3) in vec4 v_tex1;
layout(location = 0) out vec4 o_col;
void PsMain() { o_col = vec4(v_tex1.x, v_tex1.y, 0.0, 1.0); }
)",
                                              "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps, nullptr) << err;
    gpu_set_pixel_shader(ps);
    EXPECT_TRUE(near_argb(sets_quad(), 0xFFBF8000u)); // (0.75, 0.5)
    gpu_set_pixel_shader(nullptr);
    gpu_shader_release(ps);

    GpuShader *vs = gpu_shader_compile_source(R"(
layout(location = 0) in vec4 a_pos;
layout(location = 0) out vec4 v_diffuse;
layout(location = 2) out vec4 v_tex0;
layout(location = 3) out vec4 v_tex1;
void VsMain() {
    gl_Position = vec4(a_pos.xyz, 1.0);
    v_diffuse = vec4(1.0);
    v_tex0 = vec4(0.25, 0.5, 0.0, 1.0);
    v_tex1 = vec4(0.75, 0.5, 0.0, 1.0);
}
)",
                                              "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs, nullptr) << err;
    gpu_set_vertex_shader(vs);
    const float strip[12] = {-1, 1, 0.5f, 1, 1, 0.5f, -1, -1, 0.5f, 1, -1, 0.5f};
    auto shader_quad = [&]() {
        gpu_set_fvf(0x2); // position only
        EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, strip, 12), GPU_OK);
        return pixel(W / 2, H / 2);
    };
    EXPECT_EQ(shader_quad(), 0xFF00FF00u);
    gpu_set_texture_stage_state(0, GPU_TSS_TEXCOORDINDEX, 0);
    EXPECT_EQ(shader_quad(), 0xFFFF0000u);
    gpu_set_vertex_shader(nullptr);
    gpu_shader_release(vs);
    gpu_texture_release(tex);
}
