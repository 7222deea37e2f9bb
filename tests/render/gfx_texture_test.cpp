// Textures and surfaces: creation, row writes, blits and pixel reads in every format the
// readers know, image files, the sampler cache, render targets and depth surfaces.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx_test_env.h"
#include "tests/support/test_files.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"

namespace {

class GfxTexture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        gfx_test_reset_states();
    }
};

// A 100 x 60 RGB image: red top half, blue bottom half.
std::vector<uint8_t> test_rgb_image(void) {
    std::vector<uint8_t> rgb(100 * 60 * 3);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            uint8_t *p = &rgb[(y * 100 + x) * 3];
            p[0] = y < 30 ? 255 : 0;
            p[1] = 0;
            p[2] = y < 30 ? 0 : 255;
        }
    return rgb;
}

} // namespace

TEST_F(GfxTexture, RowWritesAndPixelReadsRoundTripInEveryFormat) {
    struct Case {
        uint32_t format;
        int bytes;
        uint32_t raw;
        uint32_t argb;
    };
    const Case cases[] = {
        {GPU_FMT_A8R8G8B8, 4, 0x80112233u, 0x80112233u},
        {GPU_FMT_X8R8G8B8, 4, 0xFF445566u, 0xFF445566u},
        {GPU_FMT_R5G6B5, 2, 0xF81Fu, 0xFFF800F8u},
        {GPU_FMT_R5G6B5, 2, 0x07E0u, 0xFF00FC00u},
        {GPU_FMT_A1R5G5B5, 2, 0xFC00u, 0x80F80000u},
        {GPU_FMT_X1R5G5B5, 2, 0x7FFFu, 0x00F8F8F8u},
        {GPU_FMT_A4R4G4B4, 2, 0x1234u, 0x10203040u},
        {GPU_FMT_A8L8, 2, 0x80C0u, 0x80C0C0C0u},
        {GPU_FMT_A8, 1, 0x7Fu, 0x7FFFFFFFu},
        {GPU_FMT_L8, 1, 0x40u, 0xFF404040u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        TextureHandle t;
        ASSERT_TRUE(tex_create(&t, c.format, 4, 4));
        EXPECT_EQ(t.width, 4);
        EXPECT_EQ(t.height, 4);
        EXPECT_EQ(t.format, (uint8_t)c.format);
        EXPECT_EQ(t.bits_per_pixel, c.bytes * 8);
        EXPECT_EQ(t.kind, 0);
        uint8_t src[2 * 2 * 4];
        for (int i = 0; i < 4; ++i) memcpy(src + i * c.bytes, &c.raw, (size_t)c.bytes);
        EXPECT_TRUE(tex_write_rows(&t, 1, 2, 2, 2, src));
        EXPECT_EQ(tex_read_pixel(&t, 1, 2), c.argb);
        EXPECT_EQ(tex_read_pixel(&t, 2, 3), c.argb);
        // Outside the texture reads the nearest edge pixel.
        EXPECT_EQ(tex_read_pixel(&t, 2, 99), c.argb);
        EXPECT_EQ(tex_read_pixel(&t, -4, 3), tex_read_pixel(&t, 0, 3));
        tex_release(&t);
        EXPECT_EQ(t.texture, nullptr);
        EXPECT_EQ(tex_read_pixel(&t, 0, 0), 0u);
    }
}

TEST_F(GfxTexture, RowWritesRejectWhatDoesNotFit) {
    TextureHandle t;
    ASSERT_TRUE(tex_create(&t, GPU_FMT_A8R8G8B8, 8, 4));
    const uint32_t px[32] = {};
    EXPECT_FALSE(tex_write_rows(&t, -1, 0, 2, 1, px));
    EXPECT_FALSE(tex_write_rows(&t, 0, -1, 2, 1, px));
    EXPECT_FALSE(tex_write_rows(&t, 7, 0, 2, 1, px)); // past the right edge
    EXPECT_FALSE(tex_write_rows(&t, 0, 3, 1, 2, px)); // past the bottom
    EXPECT_FALSE(tex_write_rows(&t, 0, 0, 1, 1, nullptr));
    EXPECT_TRUE(tex_write_rows(&t, 0, 0, 8, 4, px));
    tex_release(&t);
    EXPECT_FALSE(tex_write_rows(&t, 0, 0, 1, 1, px));
    EXPECT_FALSE(tex_write_rows(nullptr, 0, 0, 1, 1, px));

    // A render target cannot be locked: nothing is written, so the writer says so.
    ASSERT_TRUE(tex_create_target(&t, GPU_FMT_A8R8G8B8, 8, 4));
    EXPECT_FALSE(tex_write_rows(&t, 0, 0, 2, 2, px));
    EXPECT_FALSE(tex_blit_rgb(&t, 0, 0, 2, 2, px, 4));
    EXPECT_EQ(tex_read_pixel(&t, 0, 0), 0u);
    tex_release(&t);
}

TEST_F(GfxTexture, BlitsConvertRgbAndLowerAlphaByOne) {
    TextureHandle t;
    ASSERT_TRUE(tex_create(&t, GPU_FMT_A8R8G8B8, 4, 4));
    const uint32_t argb[4] = {0x00102030u, 0x80405060u, 0xFF000000u, 0x01FFFFFFu};
    EXPECT_TRUE(tex_blit_rgb(&t, 0, 1, 2, 2, argb, 4));
    EXPECT_EQ(tex_read_pixel(&t, 0, 1), 0xFF102030u); // alpha 0 wraps to 0xFF
    EXPECT_EQ(tex_read_pixel(&t, 1, 1), 0x7F405060u);
    EXPECT_EQ(tex_read_pixel(&t, 0, 2), 0xFE000000u);
    EXPECT_EQ(tex_read_pixel(&t, 1, 2), 0x00FFFFFFu);

    const uint8_t bgr[6] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44};
    EXPECT_TRUE(tex_blit_rgb(&t, 2, 3, 2, 1, bgr, 3));
    EXPECT_EQ(tex_read_pixel(&t, 2, 3), 0xFF112233u);
    EXPECT_EQ(tex_read_pixel(&t, 3, 3), 0xFF445566u);

    EXPECT_FALSE(tex_blit_rgb(&t, 0, 0, 1, 1, argb, 2)); // no such source layout
    EXPECT_FALSE(tex_blit_rgb(&t, 3, 0, 2, 1, argb, 4));
    EXPECT_FALSE(tex_blit_rgb(&t, 0, -1, 1, 1, argb, 4));
    EXPECT_FALSE(tex_blit_rgb(&t, 0, 0, 1, 1, nullptr, 4));
    tex_release(&t);

    ASSERT_TRUE(tex_create(&t, GPU_FMT_L8, 4, 4));
    EXPECT_FALSE(tex_blit_rgb(&t, 0, 0, 1, 1, argb, 4)); // only 32-bit textures
    tex_release(&t);
}

TEST_F(GfxTexture, EmptyAndFailedCreations) {
    TextureHandle t;
    memset(&t, 0xAB, sizeof(t));
    EXPECT_TRUE(tex_create(&t, GPU_FMT_A8R8G8B8, 0, 16));
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(t.flags, 0);
    EXPECT_FALSE(tex_create(&t, GPU_FMT_A8R8G8B8, -4, 16));
    EXPECT_EQ(t.texture, nullptr);
    const uint8_t junk[16] = {1, 2, 3};
    EXPECT_FALSE(tex_create_from_memory(&t, junk, sizeof(junk), false));
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_FALSE(tex_create_from_file(&t, "no\\such\\file.png", false));
    EXPECT_EQ(t.texture, nullptr);
}

TEST_F(GfxTexture, PngAndJpegAreRoundedUpToPowersOfTwo) {
    const std::vector<uint8_t> rgb = test_rgb_image();
    const std::vector<uint8_t> png = test_encode_png_pixels(100, 60, 3, rgb);
    const std::vector<uint8_t> jpg = test_encode_jpeg(rgb.data(), 100, 60, 3, 95);
    ASSERT_FALSE(png.empty());
    ASSERT_FALSE(jpg.empty());
    for (const std::vector<uint8_t> *file : {&png, &jpg}) {
        TextureHandle t;
        ASSERT_TRUE(tex_create_from_memory(&t, file->data(), file->size(), false));
        EXPECT_EQ(t.width, 128);
        EXPECT_EQ(t.height, 64);
        EXPECT_EQ(t.image_width, 100);
        EXPECT_EQ(t.image_height, 60);
        EXPECT_EQ(t.flags, 0);
        EXPECT_EQ(t.kind, 0);
        // Top row first: red at the top, blue at the bottom.
        EXPECT_LE(test_color_distance(tex_read_pixel(&t, 64, 2) | 0xFF000000u, 0xFFFF0000u), 8);
        EXPECT_LE(test_color_distance(tex_read_pixel(&t, 64, 61) | 0xFF000000u, 0xFF0000FFu), 8);
        // Drawn, the image's top row is at the top as well.
        gfx_test_clear(0xFF000000u);
        tex_bind(gfx_get_device(), 0, &t, 0);
        gfx_test_quad(0, 0, 128, 64, 0xFFFFFFFFu);
        tex_bind(gfx_get_device(), 0, nullptr, 1);
        EXPECT_LE(test_color_distance(test_pixel(64, 2), 0xFFFF0000u), 8);
        EXPECT_LE(test_color_distance(test_pixel(64, 61), 0xFF0000FFu), 8);
        tex_release(&t);
    }
    // From a file, with a full mip chain.
    const std::string dir = test_temp_folder("render");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/gfx_test_image.png";
    ASSERT_TRUE(test_write_file(path, png));
    TextureHandle t;
    ASSERT_TRUE(tex_create_from_file(&t, path.c_str(), true));
    EXPECT_EQ(t.width, 128);
    EXPECT_EQ(t.image_height, 60);
    EXPECT_EQ(t.flags, TEX_FLAG_MIPMAP);
    EXPECT_GT(gpu_texture_level_count(t.texture), 1u);
    tex_release(&t);
}

TEST_F(GfxTexture, BindingGoesThroughTheSamplerCache) {
    TextureHandle a, b;
    ASSERT_TRUE(tex_create(&a, GPU_FMT_A8R8G8B8, 2, 2));
    ASSERT_TRUE(tex_create(&b, GPU_FMT_A8R8G8B8, 2, 2));
    b.flags = (uint8_t)(TEX_FLAG_MIPMAP | (1 << TEX_ADDRESS_U_SHIFT) | (5 << TEX_ADDRESS_V_SHIFT));
    GfxDevice *dev = gfx_get_device();

    gpu_trace_clear();
    gpu_trace_enable(true);
    tex_bind(dev, 1, &a, 1);
    const size_t first =
        test_trace(GPU_TRACE_SAMPLER_STATE).size() + test_trace(GPU_TRACE_SET_TEXTURE).size();
    EXPECT_GT(first, 0u);
    gpu_trace_clear();
    tex_bind(dev, 1, &a, 1); // same handle again: no device call
    EXPECT_EQ(test_trace(GPU_TRACE_SAMPLER_STATE).size() + test_trace(GPU_TRACE_SET_TEXTURE).size(),
              0u);

    tex_bind(dev, 1, &b, 0);
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    uint32_t addr_u = 0, addr_v = 0, mag = 0, mip = 0;
    for (size_t i = 0; i < n; ++i) {
        if (e[i].kind != GPU_TRACE_SAMPLER_STATE) continue;
        if (e[i].b == GPU_SAMP_ADDRESSU) addr_u = e[i].c;
        if (e[i].b == GPU_SAMP_ADDRESSV) addr_v = e[i].c;
        if (e[i].b == GPU_SAMP_MAGFILTER) mag = e[i].c;
        if (e[i].b == GPU_SAMP_MIPFILTER) mip = e[i].c;
    }
    EXPECT_EQ(addr_u, 3u); // clamp
    EXPECT_EQ(addr_v, 1u); // index 5 reads as wrap
    EXPECT_EQ(mag, 1u);    // point
    EXPECT_EQ(mip, 1u);    // mip filter follows the filter
    EXPECT_EQ(test_trace(GPU_TRACE_SET_TEXTURE).size(), 1u);
    EXPECT_EQ(gfx_sampler_cache(1)->bound, &b);

    // A record released and made again is sent again, not taken for the old texture.
    tex_release(&b);
    EXPECT_EQ(gfx_sampler_cache(1)->bound, nullptr);
    ASSERT_TRUE(tex_create(&b, GPU_FMT_A8R8G8B8, 2, 2));
    gpu_trace_clear();
    tex_bind(dev, 1, &b, 0);
    EXPECT_EQ(test_trace(GPU_TRACE_SET_TEXTURE).size(), 1u);

    // Unbinding: the stage's settings become unknown and the stage empties.
    gpu_trace_clear();
    tex_bind(dev, 1, nullptr, 1);
    EXPECT_EQ(test_trace(GPU_TRACE_SET_TEXTURE).size(), 1u);
    EXPECT_EQ(gfx_sampler_cache(1)->filter, -1);
    EXPECT_EQ(gfx_sampler_cache(1)->bound, nullptr);
    gpu_trace_clear();
    tex_bind(dev, 1, nullptr, 1); // already empty
    EXPECT_EQ(test_trace(GPU_TRACE_SET_TEXTURE).size(), 0u);
    tex_bind(dev, 9, &a, 1); // no such stage
    tex_bind(nullptr, 0, &a, 1);
    EXPECT_EQ(test_trace(GPU_TRACE_SET_TEXTURE).size(), 0u);
    gpu_trace_enable(false);
    tex_release(&a);
    tex_release(&b);
}

TEST_F(GfxTexture, EmptyHandleBindsTheDefaultWhiteTextureOnStageZero) {
    TextureHandle red, empty;
    ASSERT_TRUE(tex_create(&red, GPU_FMT_A8R8G8B8, 1, 1));
    const uint32_t px = 0xFFFF0000u;
    ASSERT_TRUE(tex_write_rows(&red, 0, 0, 1, 1, &px));
    ASSERT_TRUE(tex_create(&empty, GPU_FMT_A8R8G8B8, 0, 0));
    GfxDevice *dev = gfx_get_device();
    gfx_test_clear(0xFF000000u);
    tex_bind(dev, 0, &red, 0);
    gfx_test_quad(0, 0, 8, 8, 0xFF00FF00u); // red x green
    EXPECT_EQ(test_pixel(4, 4), 0xFF000000u);
    tex_bind(dev, 0, &empty, 0);
    gfx_test_quad(0, 0, 8, 8, 0xFF00FF00u); // white x green
    EXPECT_EQ(test_pixel(4, 4), 0xFF00FF00u);
    tex_bind(dev, 0, nullptr, 1);
    tex_release(&red);
}

TEST_F(GfxTexture, TargetsAndDepthSurfacesSurviveALostDevice) {
    TextureHandle t;
    ASSERT_TRUE(tex_create_target(&t, GPU_FMT_A8R8G8B8, 32, 16));
    EXPECT_EQ(t.kind, 1);
    EXPECT_NE(t.surface, nullptr);
    EXPECT_EQ(t.flags, (1 << TEX_ADDRESS_U_SHIFT) | (1 << TEX_ADDRESS_V_SHIFT));
    t.image_width = 30; // kept across the loss
    tex_release_target_on_lost(&t);
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(t.surface, nullptr);
    EXPECT_EQ(t.width, 32);
    tex_recreate_target(&t);
    EXPECT_NE(t.texture, nullptr);
    EXPECT_NE(t.surface, nullptr);
    EXPECT_EQ(t.width, 32);
    EXPECT_EQ(t.height, 16);
    EXPECT_EQ(t.image_width, 30);
    EXPECT_EQ(t.kind, 1);
    EXPECT_EQ(t.format, GPU_FMT_A8R8G8B8);
    // A re-creation that fails keeps the size, so the next reset tries again.
    tex_release_target_on_lost(&t);
    t.width = 0xFFFF; // beyond any device's texture size
    tex_recreate_target(&t);
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(t.width, 0xFFFF);
    EXPECT_EQ(t.height, 16);
    EXPECT_EQ(t.kind, 1);
    t.width = 32;
    tex_recreate_target(&t);
    EXPECT_NE(t.texture, nullptr);
    tex_release(&t);
    EXPECT_EQ(t.width, 0);

    // Plain textures are managed: the lost and re-create steps leave them alone.
    ASSERT_TRUE(tex_create(&t, GPU_FMT_A8R8G8B8, 4, 4));
    GpuTexture *kept = t.texture;
    tex_release_target_on_lost(&t);
    tex_recreate_target(&t);
    EXPECT_EQ(t.texture, kept);
    tex_release(&t);

    SurfaceHandle s;
    ASSERT_TRUE(gfx_create_surface(&s, GPU_FMT_D24S8, 32, 16));
    EXPECT_EQ(s.width, 32);
    EXPECT_EQ(s.format, (uint32_t)GPU_FMT_D24S8);
    EXPECT_EQ(s.bits_per_pixel, 32);
    gfx_release_surface_on_lost(&s);
    EXPECT_EQ(s.surface, nullptr);
    EXPECT_EQ(s.height, 16);
    gfx_recreate_surface(&s);
    EXPECT_NE(s.surface, nullptr);
    gfx_release_surface(&s);
    EXPECT_EQ(s.surface, nullptr);
    EXPECT_EQ(s.width, 0);
    gfx_recreate_surface(&s); // nothing kept: nothing made
    EXPECT_EQ(s.surface, nullptr);
    EXPECT_FALSE(gfx_create_surface(&s, GPU_FMT_D16, 0, 16));
}
