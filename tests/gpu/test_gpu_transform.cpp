// The transformed paths: fixed-function lighting and fog computed by hand, and GLSL shader
// pairs with constants set by name.
#include "gpu_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Format 0x152: position, normal, diffuse, one coordinate set.
struct LitVertex {
    float x, y, z, nx, ny, nz;
    uint32_t diffuse;
    float u, v;
};

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A quad over the whole target at depth z, facing the viewer (normal -z).
void lit_quad(float z, uint32_t diffuse) {
    LitVertex v[4] = {{-1, 1, z, 0, 0, -1, diffuse, 0, 0},
                      {1, 1, z, 0, 0, -1, diffuse, 1, 0},
                      {-1, -1, z, 0, 0, -1, diffuse, 0, 1},
                      {1, -1, z, 0, 0, -1, diffuse, 1, 1}};
    gpu_set_fvf(0x152);
    EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(LitVertex)), GPU_OK);
}

// Linear table fog toward `color` from start to end.
void set_linear_fog(uint32_t color, float start, float end) {
    uint32_t sb, eb;
    std::memcpy(&sb, &start, 4);
    std::memcpy(&eb, &end, 4);
    gpu_set_render_state(GPU_RS_FOGENABLE, 1);
    gpu_set_render_state(GPU_RS_FOGTABLEMODE, 3);
    gpu_set_render_state(GPU_RS_FOGCOLOR, color);
    gpu_set_render_state(GPU_RS_FOGSTART, sb);
    gpu_set_render_state(GPU_RS_FOGEND, eb);
}

uint32_t rgb(float r, float g, float b) {
    auto c = [](float f) { return (uint32_t)(f * 255.0f + 0.5f); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}

} // namespace

TEST_F(GpuTest, DirectionalLightOnLitQuad) {
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    gpu_set_render_state(GPU_RS_LIGHTING, 1);
    gpu_set_render_state(GPU_RS_AMBIENT, 0xFF202020u); // 32 / 255
    GpuLight light = {};
    light.type = 3;
    light.diffuse = {0.5f, 0.5f, 0.5f, 1};
    light.ambient = {0.1f, 0.2f, 0.3f, 0};
    light.direction[2] = 1; // shining away from the viewer, onto the quad
    gpu_set_light(0, &light);
    gpu_light_enable(0, true);
    GpuMaterial m = {};
    m.diffuse = {1, 0.5f, 0.25f, 1};
    m.ambient = {1, 1, 1, 1};
    m.emissive = {0.05f, 0, 0, 0};
    gpu_set_material(&m);
    const float amb = 32 / 255.0f;

    // Diffuse from the material: emissive + ambient x material + light ambient + N.L diffuse.
    gpu_set_render_state(GPU_RS_COLORVERTEX, 0);
    lit_quad(0.5f, 0xFF00FF00u);
    EXPECT_TRUE(near_argb(pixel(32, 32),
                          rgb(0.05f + amb + 0.1f + 0.5f, amb + 0.2f + 0.25f, amb + 0.3f + 0.125f)));
    // Colour vertex on: the vertex colour is the diffuse material.
    gpu_set_render_state(GPU_RS_COLORVERTEX, 1);
    lit_quad(0.5f, 0xFF00FF00u);
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.05f + amb + 0.1f, amb + 0.2f + 0.5f, amb + 0.3f)));
    // Light off: emissive and global ambient only.
    gpu_light_enable(0, false);
    lit_quad(0.5f, 0xFF00FF00u);
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.05f + amb, amb, amb)));
    // Lighting off: the vertex colour as it is.
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    lit_quad(0.5f, 0xFF336699u);
    EXPECT_EQ(pixel(32, 32), 0xFF336699u);
}

// Lit normals: carried by the inverse transpose of the world's 3x3 and renormalised only while
// state 143 is on; a singular world leaves them as they are. White light along +z, no ambient;
// each expected red level is N.L written out for the case.
TEST_F(GpuTest, LitNormalsFollowTheInverseTransposeOfTheWorld) {
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    gpu_set_render_state(GPU_RS_LIGHTING, 1);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_NORMALIZENORMALS), 0u); // off by default
    GpuLight light = {};
    light.type = 3;
    light.diffuse = {1, 1, 1, 1};
    light.direction[2] = 1;
    gpu_set_light(0, &light);
    gpu_light_enable(0, true);
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    struct Case {
        const char *what;
        float world[16];
        float n[3];
        bool normalize;
        double n_dot_l;
    } cases[] = {
        {"scale 2", {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, -0.5f, 1}, {0, 0, -1}, false, 0.5},
        {"scale 2, normalised",
         {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, -0.5f, 1},
         {0, 0, -1},
         true,
         1.0},
        {"scale 4", {4, 0, 0, 0, 0, 4, 0, 0, 0, 0, 4, 0, 0, 0, -1.5f, 1}, {0, 0, -1}, false, 0.25},
        // (0, 0.6, -0.8) x diag(1, 1/4, 1) = (0, 0.15, -0.8)
        {"stretch y 4",
         {1, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {0, 0.6f, -0.8f},
         false,
         0.8},
        {"stretch y 4, normalised",
         {1, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {0, 0.6f, -0.8f},
         true,
         0.8 / std::sqrt(0.15 * 0.15 + 0.8 * 0.8)},
        // 30 degrees about x: (0, 0, -1) turns to (0, sin, -cos)
        {"rotation",
         {1, 0, 0, 0, 0, (float)c30, (float)s30, 0, 0, (float)-s30, (float)c30, 0, 0, 0, 0, 1},
         {0, 0, -1},
         false,
         c30},
        {"rotation, normalised",
         {1, 0, 0, 0, 0, (float)c30, (float)s30, 0, 0, (float)-s30, (float)c30, 0, 0, 0, 0, 1},
         {0, 0, -1},
         true,
         c30},
        {"singular (z flattened)",
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0.5f, 1},
         {0, 0, -1},
         false,
         1.0},
    };
    for (const Case &c : cases) {
        gpu_set_transform(GPU_TS_WORLD, c.world);
        gpu_set_render_state(GPU_RS_NORMALIZENORMALS, c.normalize ? 1 : 0);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        LitVertex v[4];
        const float corner[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
        for (int i = 0; i < 4; i++)
            v[i] = {corner[i][0], corner[i][1], 0.5f, c.n[0], c.n[1], c.n[2], 0xFFFFFFFFu, 0, 0};
        gpu_set_fvf(0x152);
        EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(LitVertex)), GPU_OK);
        int want = (int)std::lround(std::min(1.0, std::max(0.0, c.n_dot_l)) * 255.0);
        EXPECT_NEAR(ch(pixel(32, 32), 16), want, 1) << c.what;
    }
}

// Linear fog from view-space depth: f = (end - z) / (end - start), colour = f x c + (1 - f) fog.
TEST_F(GpuTest, LinearTableFog) {
    float view[16];
    std::memcpy(view, IDENTITY, sizeof(view));
    view[14] = 0.25f; // view z = object z + 0.25
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, view);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    set_linear_fog(0xFF0000FFu, 0.25f, 1.25f);
    lit_quad(0.5f, 0xFFFFFFFFu); // view z 0.75: f = 0.5
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.5f, 0.5f, 1.0f)));
    lit_quad(0.0f, 0xFFFFFF00u); // view z 0.25: no fog
    EXPECT_EQ(pixel(32, 32), 0xFFFFFF00u);
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    lit_quad(0.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(32, 32), 0xFFFFFFFFu);
}

// Table fog reads z under an orthographic projection (last column 0, 0, 0, 1): the vertex z of
// screen-space vertices whatever their rhw, the projected z of transformed ones; under a
// perspective projection it reads w. Linear fog from 0 to 1 toward black over white: the red
// level is 255 x (1 - depth), clamped.
TEST_F(GpuTest, TableFogReadsZUnderOrthographicAndWUnderPerspective) {
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    set_linear_fog(0xFF000000u, 0.0f, 1.0f);
    auto level = [](double depth) {
        return (int)std::lround(std::min(1.0, std::max(0.0, 1.0 - depth)) * 255.0);
    };
    auto screen_quad = [&](float z, float rhw) {
        ScreenVertex v[4] = {{-0.5f, -0.5f, z, rhw, 0xFFFFFFFFu, 0, 0, 0, 0},
                             {W - 0.5f, -0.5f, z, rhw, 0xFFFFFFFFu, 0, 0, 0, 0},
                             {-0.5f, H - 0.5f, z, rhw, 0xFFFFFFFFu, 0, 0, 0, 0},
                             {W - 0.5f, H - 0.5f, z, rhw, 0xFFFFFFFFu, 0, 0, 0, 0}};
        gpu_set_fvf(0x244);
        EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), GPU_OK);
        return ch(pixel(32, 32), 16);
    };
    // Orthographic (the identity): z 0.7 whatever the rhw, 0 included.
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    for (float rhw : {0.3f, 3.0f, 0.0f}) EXPECT_NEAR(screen_quad(0.7f, rhw), level(0.7), 1) << rhw;
    // Perspective: w = 1 / rhw.
    const float persp[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, -0.5f, 0};
    gpu_set_transform(GPU_TS_PROJECTION, persp);
    EXPECT_NEAR(screen_quad(0.7f, 4.0f), level(0.25), 1);
    EXPECT_NEAR(screen_quad(0.7f, 0.5f), level(2.0), 1);

    // Transformed, view z 1.1: an orthographic projection taking it to z 0.1 fogs by 0.1; the
    // perspective one (w = view z) by 1.1, so fully.
    float view[16];
    std::memcpy(view, IDENTITY, sizeof(view));
    view[14] = 1.1f;
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, view);
    const float ortho[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -1.0f, 1};
    gpu_set_transform(GPU_TS_PROJECTION, ortho);
    lit_quad(0.0f, 0xFFFFFFFFu);
    EXPECT_NEAR(ch(pixel(32, 32), 16), level(0.1), 1);
    // Perspective: view z 0.75 (w), projected z (0.75 - 0.5) / 0.75.
    view[14] = 0.75f;
    gpu_set_transform(GPU_TS_VIEW, view);
    gpu_set_transform(GPU_TS_PROJECTION, persp);
    lit_quad(0.0f, 0xFFFFFFFFu);
    EXPECT_NEAR(ch(pixel(32, 32), 16), level(0.75), 1);
}

static const char *VS = R"(
layout(location = 0) in vec4 a_pos;
layout(location = 4) in vec4 a_color;
layout(location = 0) out vec4 v_color;
uniform mat4 m1;
uniform mat4 m3[4];
uniform vec4 v4;
void VsMain() {
    gl_Position = vec4(a_pos.xyz, 1.0) * m1 * m3[2];
    v_color = a_color * v4;
}
)";

static const char *PS = R"(
layout(location = 0) in vec4 v_color;
layout(location = 0) out vec4 o_col;
uniform vec4 v1;
uniform int iv;
void PsMain() { o_col = v_color * v1 + vec4(float(iv) / 255.0, 0.0, 0.0, 0.0); }
)";

// Format 0x42: position and diffuse.
struct PosColor {
    float x, y, z;
    uint32_t c;
};

static void small_quad() {
    PosColor v[4] = {{-0.2f, 0.2f, 0.5f, 0xFFFFFFFFu},
                     {0.2f, 0.2f, 0.5f, 0xFFFFFFFFu},
                     {-0.2f, -0.2f, 0.5f, 0xFFFFFFFFu},
                     {0.2f, -0.2f, 0.5f, 0xFFFFFFFFu}};
    gpu_set_fvf(0x42);
    EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(PosColor)), GPU_OK);
}

TEST_F(GpuTest, GlslPairWithConstantsByName) {
    char err[512];
    GpuShader *vs = gpu_shader_compile_source(VS, "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs, nullptr) << err;
    GpuShader *ps = gpu_shader_compile_source(PS, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps, nullptr) << err;
    uint32_t m1 = gpu_constant_find(vs, "m1"), m3 = gpu_constant_find(vs, "m3"),
             v4 = gpu_constant_find(vs, "v4"), v1 = gpu_constant_find(ps, "v1"),
             iv = gpu_constant_find(ps, "iv");
    ASSERT_TRUE(m1 && m3 && v4 && v1 && iv);
    EXPECT_EQ(gpu_constant_find(vs, "v1"), 0u);
    EXPECT_EQ(gpu_constant_find(vs, "gpu_pixel_offset"), 0u); // the layer's own stay hidden

    // Row-vector matrices: the translation row moves the quad right by a quarter target.
    float move[16];
    std::memcpy(move, IDENTITY, sizeof(move));
    move[12] = 0.5f;
    gpu_constant_set_matrix(vs, m1, move);
    float palette[64] = {};
    std::memcpy(&palette[32], IDENTITY, sizeof(IDENTITY)); // only entry 2 keeps the quad
    gpu_constant_set_matrix_array(vs, m3, palette, 4);
    const float tint[4] = {1, 0.5f, 0.25f, 1}, scale[4] = {0.5f, 1, 1, 1};
    gpu_constant_set_vector(vs, v4, tint);
    gpu_constant_set_vector(ps, v1, scale);
    gpu_constant_set_int(ps, iv, 64);
    gpu_set_vertex_shader(vs);
    gpu_set_pixel_shader(ps);
    small_quad();
    // NDC x 0.3..0.7 spans pixel coordinates 41.6..54.4 (centres 42..54), y 0.2..-0.2 rows
    // 25.6..38.4 (26..38), pixel centres at integer coordinates.
    EXPECT_TRUE(near_argb(pixel(42, 26), rgb(0.5f + 64 / 255.0f, 0.5f, 0.25f)));
    EXPECT_TRUE(near_argb(pixel(54, 38), rgb(0.5f + 64 / 255.0f, 0.5f, 0.25f)));
    EXPECT_EQ(pixel(41, 32), 0xFF000000u);
    EXPECT_EQ(pixel(55, 32), 0xFF000000u);
    EXPECT_EQ(pixel(48, 25), 0xFF000000u);
    EXPECT_EQ(pixel(48, 39), 0xFF000000u);

    // A scalar sets the first component only.
    gpu_constant_set_float(vs, v4, 0.0f);
    small_quad();
    EXPECT_TRUE(near_argb(pixel(48, 32), rgb(64 / 255.0f, 0.5f, 0.25f)));

    // The alpha test applies to a pixel shader's output too.
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 1);
    gpu_set_render_state(GPU_RS_ALPHAFUNC, 1); // never
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    small_quad();
    EXPECT_EQ(pixel(48, 32), 0xFF000000u);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);

    // A vertex shader feeding the fixed-function pixel stage: location 0 is the diffuse.
    gpu_set_pixel_shader(nullptr);
    gpu_constant_set_vector(vs, v4, tint);
    small_quad();
    EXPECT_TRUE(near_argb(pixel(48, 32), rgb(1, 0.5f, 0.25f)));

    // Released shaders unbind; drawing falls back to fixed function.
    gpu_shader_release(vs);
    gpu_shader_release(ps);
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    small_quad();
    EXPECT_EQ(pixel(32, 32), 0xFFFFFFFFu);
}

TEST_F(GpuTest, ShaderCompileFailuresAndFiles) {
    char err[512] = "";
    EXPECT_EQ(gpu_shader_compile_source("void VsMain() { undefined_call(); }", "VsMain",
                                        GPU_SHADER_VERTEX, err, sizeof(err)),
              nullptr);
    EXPECT_NE(err[0], 0);
    EXPECT_EQ(gpu_shader_compile_source(VS, "NoSuchEntry", GPU_SHADER_VERTEX, err, sizeof(err)),
              nullptr);
    EXPECT_EQ(gpu_shader_compile_source(VS, "bad name", GPU_SHADER_VERTEX, err, sizeof(err)),
              nullptr);
    EXPECT_EQ(
        gpu_shader_compile_file("no\\such\\vxx", "VsMain", GPU_SHADER_VERTEX, err, sizeof(err)),
        nullptr);
    // A file path with backslashes, as the data gives it.
    std::FILE *f = std::fopen("gpu_test_pxx", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(PS, f);
    std::fclose(f);
    GpuShader *ps =
        gpu_shader_compile_file(".\\gpu_test_pxx", "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    EXPECT_NE(ps, nullptr) << err;
    gpu_shader_release(ps);
    std::remove("gpu_test_pxx");
}

// Clip-space y = +1 is the top row of the target, as the renderer's projections expect, and
// x = -1 the left column.
TEST_F(GpuTest, TransformedUpIsTopLeftIsLeft) {
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    gpu_set_render_state(GPU_RS_CULLMODE, 1);
    PosColor v[4] = {{-1, 1, 0.5f, 0xFFFF0000u},
                     {0, 1, 0.5f, 0xFFFF0000u},
                     {-1, 0.5f, 0.5f, 0xFFFF0000u},
                     {0, 0.5f, 0.5f, 0xFFFF0000u}};
    gpu_set_fvf(0x42);
    ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(PosColor)), GPU_OK);
    EXPECT_EQ(pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(pixel(5, 58), 0xFF000000u);
    EXPECT_EQ(pixel(58, 5), 0xFF000000u);
}

// A clip plane only clips while its bit of the enable mask is set; setting its values alone
// changes nothing, for fixed function and for a vertex shader alike.
TEST_F(GpuTest, ClipPlaneClipsOnlyWhenEnabled) {
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    const float keep_left[4] = {-1, 0, 0, 0}; // keeps x <= 0
    gpu_set_clip_plane(3, keep_left);
    auto full_quad = [] {
        PosColor v[4] = {{-1, 1, 0.5f, 0xFF00FF00u},
                         {1, 1, 0.5f, 0xFF00FF00u},
                         {-1, -1, 0.5f, 0xFF00FF00u},
                         {1, -1, 0.5f, 0xFF00FF00u}};
        gpu_set_fvf(0x42);
        EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(PosColor)), GPU_OK);
    };
    auto check = [&](const char *what, bool clipped) {
        SCOPED_TRACE(what);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        full_quad();
        EXPECT_EQ(pixel(8, 32), 0xFF00FF00u);
        EXPECT_EQ(pixel(56, 32), clipped ? 0xFF000000u : 0xFF00FF00u);
        // Screen-space vertices are never clipped by the planes.
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        gpu_set_fvf(0x244);
        quad(0, 0, W, H, 0xFFFF0000u);
        EXPECT_EQ(pixel(56, 32), 0xFFFF0000u);
    };
    check("fixed function, mask 0", false);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 1u << 3);
    check("fixed function, plane 3 on", true);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 1u << 2); // another plane, its values zero
    check("fixed function, plane 2 on", false);

    char err[512];
    GpuShader *vs = gpu_shader_compile_source(VS, "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs, nullptr) << err;
    const float white[4] = {1, 1, 1, 1};
    float palette[64] = {};
    for (int i = 0; i < 4; i++) std::memcpy(&palette[16 * i], IDENTITY, sizeof(IDENTITY));
    gpu_constant_set_matrix(vs, gpu_constant_find(vs, "m1"), IDENTITY);
    gpu_constant_set_matrix_array(vs, gpu_constant_find(vs, "m3"), palette, 4);
    gpu_constant_set_vector(vs, gpu_constant_find(vs, "v4"), white);
    gpu_set_vertex_shader(vs);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 0);
    check("vertex shader, mask 0", false);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 1u << 3);
    check("vertex shader, plane 3 on", true);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 0);
    check("vertex shader, mask 0 again", false);
    gpu_shader_release(vs);
}

namespace {

// A pair that passes the view depth at location 10 under its own names, as the data's
// shaders do: depth = object z + dz.
const char *FOG_VS = R"(
layout(location = 0) in vec4 a_pos;
layout(location = 4) in vec4 a_color;
layout(location = 0) out vec4 v_color;
layout(location = 10) out float v_depth;
uniform float dz;
void VsMain() {
    gl_Position = vec4(a_pos.xyz, 1.0);
    v_color = a_color;
    v_depth = a_pos.z + dz;
}
)";
const char *FOG_PS = R"(
layout(location = 0) in vec4 v_color;
layout(location = 10) in float v_depth;
layout(location = 0) out vec4 o_col;
void PsMain() { o_col = v_color.bgra; }
)";

} // namespace

// Linear fog follows a pixel shader's output: blended toward the fog colour by the depth the
// vertex stage writes at location 10, and only while fog is on.
TEST_F(GpuTest, FogAfterPixelShader) {
    char err[512];
    GpuShader *vs =
        gpu_shader_compile_source(FOG_VS, "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs, nullptr) << err;
    GpuShader *ps = gpu_shader_compile_source(FOG_PS, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps, nullptr) << err;
    gpu_constant_set_float(vs, gpu_constant_find(vs, "dz"), 0.25f);
    gpu_set_vertex_shader(vs);
    gpu_set_pixel_shader(ps);
    small_quad(); // z 0.5: depth 0.75; the shader swaps red and blue of white: still white
    EXPECT_EQ(pixel(32, 32), 0xFFFFFFFFu);

    set_linear_fog(0xFF0000FFu, 0.25f, 1.25f); // depth 0.75: half fog
    small_quad();
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.5f, 0.5f, 1.0f)));
    gpu_constant_set_float(vs, gpu_constant_find(vs, "dz"), 1.0f); // depth 1.5: all fog
    small_quad();
    EXPECT_EQ(pixel(32, 32), 0xFF0000FFu);
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    small_quad();
    EXPECT_EQ(pixel(32, 32), 0xFFFFFFFFu);

    // A pair with nothing at location 10: the depth is the position's w (1 here).
    GpuShader *vs2 = gpu_shader_compile_source(VS, "VsMain", GPU_SHADER_VERTEX, err, sizeof(err));
    ASSERT_NE(vs2, nullptr) << err;
    GpuShader *ps2 = gpu_shader_compile_source(PS, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps2, nullptr) << err;
    float palette[64] = {};
    for (int i = 0; i < 4; i++) std::memcpy(&palette[16 * i], IDENTITY, sizeof(IDENTITY));
    const float one[4] = {1, 1, 1, 1};
    gpu_constant_set_matrix(vs2, gpu_constant_find(vs2, "m1"), IDENTITY);
    gpu_constant_set_matrix_array(vs2, gpu_constant_find(vs2, "m3"), palette, 4);
    gpu_constant_set_vector(vs2, gpu_constant_find(vs2, "v4"), one);
    gpu_constant_set_vector(ps2, gpu_constant_find(ps2, "v1"), one);
    gpu_set_vertex_shader(vs2);
    gpu_set_pixel_shader(ps2);
    set_linear_fog(0xFF000000u, 0.0f, 4.0f); // w 1: three quarters of the colour
    small_quad();
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.75f, 0.75f, 0.75f)));

    // Behind pre-transformed vertices the depth is what the fixed-function stage fogs by: z
    // under the orthographic (identity) projection.
    gpu_set_fvf(0x244);
    quad(0, 0, W, H, 0xFFFFFFFFu, 0.5f);
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.875f, 0.875f, 0.875f)));
    gpu_set_pixel_shader(nullptr);
    quad(0, 0, W, H, 0xFFFFFFFFu, 0.5f);
    EXPECT_TRUE(near_argb(pixel(32, 32), rgb(0.875f, 0.875f, 0.875f)));

    gpu_shader_release(vs);
    gpu_shader_release(ps);
    gpu_shader_release(vs2);
    gpu_shader_release(ps2);
}

// A source whose own inputs cover location 10 still compiles and draws, without fog.
TEST_F(GpuTest, PixelShaderOverFogLocationCompilesWithoutFog) {
    const char *src = R"(
layout(location = 4) in vec4 v_sets[8];
layout(location = 0) out vec4 o_col;
void PsMain() { o_col = vec4(0.0, 1.0, 0.0, 1.0) + v_sets[0] * 0.0; }
)";
    char err[512];
    GpuShader *ps = gpu_shader_compile_source(src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(ps, nullptr) << err;
    gpu_set_pixel_shader(ps);
    set_linear_fog(0xFFFF0000u, 0.0f, 0.5f); // depth 1: all fog, were it applied
    quad(0, 0, W, H, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(32, 32), 0xFF00FF00u);
    gpu_shader_release(ps);
}

// Constant values reach the program they were set on: after a switch between two programs
// whose constant shares a location, in a program made again in a released one's place, and
// across a device loss and reset. A draw that changes nothing a program reads sends nothing.
TEST_F(GpuTest, ConstantValuesFollowTheirProgram) {
    const char *src = R"(
layout(location = 0) out vec4 o_col;
uniform vec4 tint;
void PsMain() { o_col = tint; }
)";
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
    char err[512];
    GpuShader *a = gpu_shader_compile_source(src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    GpuShader *b = gpu_shader_compile_source(src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_TRUE(a && b) << err;
    // Sets `tint` on `sh` when a colour is given, then draws with `sh` and reads the centre.
    auto draw = [&](GpuShader *sh, const float *tint) {
        if (tint) gpu_constant_set_vector(sh, gpu_constant_find(sh, "tint"), tint);
        gpu_set_pixel_shader(sh);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        quad(0, 0, W, H, 0xFFFFFFFFu);
        return pixel(32, 32);
    };
    EXPECT_EQ(draw(a, red), 0xFFFF0000u);
    EXPECT_EQ(draw(b, green), 0xFF00FF00u);
    EXPECT_EQ(draw(a, green), 0xFF00FF00u); // the value b holds is new to a
    EXPECT_EQ(draw(b, nullptr), 0xFF00FF00u);
    EXPECT_EQ(draw(b, red), 0xFFFF0000u);
    EXPECT_EQ(draw(a, nullptr), 0xFF00FF00u);

    // Setting what a program holds, drawing again, or changing a state the bound programs do
    // not read (the ambient colour of lit vertices; fog colour while the fixed-function pixel
    // stage draws without fog) uploads nothing.
    uint64_t before = gpu_debug_uniform_uploads();
    EXPECT_EQ(draw(a, green), 0xFF00FF00u);
    gpu_set_render_state(GPU_RS_AMBIENT, 0xFF123456u);
    EXPECT_EQ(draw(a, green), 0xFF00FF00u);
    EXPECT_EQ(gpu_debug_uniform_uploads() - before, 0u);
    EXPECT_EQ(draw(a, blue), 0xFF0000FFu);
    EXPECT_EQ(gpu_debug_uniform_uploads() - before, 1u);
    EXPECT_EQ(draw(nullptr, nullptr), 0xFFFFFFFFu);
    before = gpu_debug_uniform_uploads();
    gpu_set_render_state(GPU_RS_FOGCOLOR, 0xFF123456u);
    EXPECT_EQ(draw(nullptr, nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(gpu_debug_uniform_uploads() - before, 0u);

    // A program made where a released one was starts from its own values.
    gpu_shader_release(a);
    GpuShader *a2 = gpu_shader_compile_source(src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(a2, nullptr) << err;
    EXPECT_EQ(draw(a2, blue), 0xFF0000FFu);

    // Programs keep their values through a loss and a reset.
    gpu_debug_lose_device();
    EXPECT_EQ(gpu_present(), GPU_ERR_DEVICE_LOST);
    EXPECT_EQ(gpu_test_cooperative_level(), GPU_ERR_DEVICE_NOT_RESET);
    ASSERT_EQ(gpu_reset(W, H), GPU_OK);
    EXPECT_EQ(draw(a2, nullptr), 0xFF0000FFu);
    EXPECT_EQ(draw(a2, blue), 0xFF0000FFu);
    EXPECT_EQ(draw(a2, red), 0xFFFF0000u);
    EXPECT_EQ(draw(b, nullptr), 0xFFFF0000u);
    gpu_set_pixel_shader(nullptr);
    gpu_shader_release(a2);
    gpu_shader_release(b);
}

// An array whose locations run past the cached ones is sent whole, uncached; the cached part
// it covered then holds a value the cache no longer knows, so setting the earlier value again
// must reach the program.
TEST_F(GpuTest, ValueSetAgainAfterAnUncachedArraySendReachesTheProgram) {
    const char *src = R"(
layout(location = 0) out vec4 o_col;
layout(location = 1000) uniform vec4 tints[100];
void PsMain() { o_col = tints[0] + tints[99]; }
)";
    char err[512];
    GpuShader *sh = gpu_shader_compile_source(src, "PsMain", GPU_SHADER_PIXEL, err, sizeof(err));
    ASSERT_NE(sh, nullptr) << err;
    const uint32_t tints = gpu_constant_find(sh, "tints");
    gpu_set_pixel_shader(sh);
    auto centre = [&]() {
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        quad(0, 0, W, H, 0xFFFFFFFFu);
        return pixel(32, 32);
    };
    const float red[4] = {1, 0, 0, 1};
    std::vector<float> greens(100 * 4, 0.0f);
    greens[1] = greens[3] = 1.0f; // element 0 green, the rest zero
    gpu_constant_set_vector(sh, tints, red);
    EXPECT_EQ(centre(), 0xFFFF0000u);
    gpu_constant_set_vector_array(sh, tints, greens.data(), 100);
    EXPECT_EQ(centre(), 0xFF00FF00u);
    gpu_constant_set_vector(sh, tints, red);
    EXPECT_EQ(centre(), 0xFFFF0000u);
    gpu_set_pixel_shader(nullptr);
    gpu_shader_release(sh);
}

// Fixed-function programs: moving the world between two draws sends the matrices that depend
// on it (world x view x projection, world x view, world) and nothing else, and the moved quad
// lands where the new world puts it.
TEST_F(GpuTest, MovedWorldSendsOnlyItsMatrices) {
    gpu_set_transform(GPU_TS_VIEW, IDENTITY);
    gpu_set_transform(GPU_TS_PROJECTION, IDENTITY);
    gpu_set_transform(GPU_TS_WORLD, IDENTITY);
    small_quad();
    small_quad();
    const uint64_t before = gpu_debug_uniform_uploads();
    float move[16];
    std::memcpy(move, IDENTITY, sizeof(move));
    move[12] = 0.5f;
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    gpu_set_transform(GPU_TS_WORLD, move);
    small_quad();
    EXPECT_EQ(gpu_debug_uniform_uploads() - before, 3u);
    // NDC x 0.3..0.7: pixel centres 42..54.
    EXPECT_EQ(pixel(48, 32), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(32, 32), 0xFF000000u);
}
