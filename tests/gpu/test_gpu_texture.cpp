// Textures: lock round trips per format, partial locks, creation from PNG and JPEG images.
#include "gpu_test_util.h"
#include "tests/support/test_images.h"

#include <cstdio>
#include <cstring>

namespace {

// RGBA pixels, top row first: the top half red, the bottom half blue, alpha as given.
std::vector<uint8_t> halves(int w, int h, uint8_t alpha) {
    std::vector<uint8_t> p((size_t)w * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t *q = &p[((size_t)y * w + x) * 4];
            bool top = y < h / 2;
            q[0] = top ? 255 : 0, q[1] = 0, q[2] = top ? 0 : 255, q[3] = alpha;
        }
    return p;
}

// The RGB bytes of RGBA pixels.
std::vector<uint8_t> rgb_of(const std::vector<uint8_t> &rgba) {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i] + 3);
    return rgb;
}

std::vector<uint8_t> encode_png(int w, int h, const std::vector<uint8_t> &rgba, bool alpha) {
    return alpha ? test_encode_png_pixels(w, h, 4, rgba)
                 : test_encode_png_pixels(w, h, 3, rgb_of(rgba));
}

std::vector<uint8_t> encode_jpeg(int w, int h, const std::vector<uint8_t> &rgba) {
    return test_encode_jpeg(rgb_of(rgba).data(), w, h, 3, 95);
}

} // namespace

// Bytes written through a lock come back through a later lock of another rectangle, for
// 8-, 16-, 24- and 32-bit formats; the pitch is a whole row of the level.
TEST_F(GpuTest, LockRoundTripsPerFormat) {
    struct Case {
        uint32_t format, bytes;
    } cases[] = {{GPU_FMT_A8, 1},       {GPU_FMT_L8, 1},       {GPU_FMT_A8L8, 2},
                 {GPU_FMT_R5G6B5, 2},   {GPU_FMT_A1R5G5B5, 2}, {GPU_FMT_X1R5G5B5, 2},
                 {GPU_FMT_A4R4G4B4, 2}, {GPU_FMT_R8G8B8, 3},   {GPU_FMT_A8R8G8B8, 4},
                 {GPU_FMT_X8R8G8B8, 4}, {GPU_FMT_R32F, 4}};
    const int w = 8, h = 6;
    for (const Case &c : cases) {
        GpuTexture *t = gpu_texture_create(w, h, 1, 0, c.format, GPU_POOL_MANAGED);
        ASSERT_NE(t, nullptr) << c.format;
        GpuLockedRect lr;
        // Row by row, as the renderer writes movie frames and built-in textures.
        for (int y = 0; y < h; y++) {
            GpuRect r = {0, y, w, y + 1};
            ASSERT_TRUE(gpu_texture_lock(t, 0, &r, &lr));
            EXPECT_EQ(lr.pitch, (int)(w * c.bytes));
            for (uint32_t i = 0; i < w * c.bytes; i++)
                ((uint8_t *)lr.bits)[i] = (uint8_t)(y * 31 + i * 7 + 1);
            gpu_texture_unlock(t, 0);
        }
        GpuRect r = {2, 1, 6, 5};
        ASSERT_TRUE(gpu_texture_lock(t, 0, &r, &lr));
        for (int y = 1; y < 5; y++)
            for (uint32_t i = 2 * c.bytes; i < 6 * c.bytes; i++)
                ASSERT_EQ(((uint8_t *)lr.bits)[(y - 1) * lr.pitch + (i - 2 * c.bytes)],
                          (uint8_t)(y * 31 + i * 7 + 1))
                    << "format " << c.format << " row " << y << " byte " << i;
        EXPECT_FALSE(gpu_texture_lock(t, 0, nullptr, &lr)); // already locked
        gpu_texture_unlock(t, 0);
        gpu_texture_release(t);
    }
}

// The CPU copy of a level starts from the texture's contents, and what GL holds after an
// unlock is what was written (read back through a fresh texture's first lock is not possible,
// so through drawing it 1:1).
TEST_F(GpuTest, LockedSixteenBitTexelsReachTheDevice) {
    std::vector<uint16_t> texels = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    GpuTexture *t = gpu_texture_create(4, 1, 1, 0, GPU_FMT_R5G6B5, GPU_POOL_MANAGED);
    ASSERT_NE(t, nullptr);
    GpuLockedRect lr;
    ASSERT_TRUE(gpu_texture_lock(t, 0, nullptr, &lr));
    std::memcpy(lr.bits, texels.data(), 8);
    gpu_texture_unlock(t, 0);
    gpu_set_texture(0, t);
    quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixels(0, 0, 4, 1),
              (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}));
    gpu_texture_release(t);
}

TEST_F(GpuTest, LockRejectsBadRequests) {
    GpuTexture *t = gpu_texture_create(8, 8, 0, 0, GPU_FMT_A8R8G8B8, GPU_POOL_MANAGED);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(gpu_texture_level_count(t), 4u);
    GpuSurfaceDesc d;
    ASSERT_TRUE(gpu_texture_get_desc(t, 2, &d));
    EXPECT_EQ(d.width, 2u);
    EXPECT_FALSE(gpu_texture_get_desc(t, 4, &d));
    GpuLockedRect lr;
    GpuRect outside = {4, 4, 9, 8}, empty = {3, 3, 3, 5}, negative = {-1, 0, 2, 2};
    EXPECT_FALSE(gpu_texture_lock(t, 0, &outside, &lr));
    EXPECT_FALSE(gpu_texture_lock(t, 0, &empty, &lr));
    EXPECT_FALSE(gpu_texture_lock(t, 0, &negative, &lr));
    EXPECT_FALSE(gpu_texture_lock(t, 4, nullptr, &lr));
    ASSERT_TRUE(gpu_texture_lock(t, 3, nullptr, &lr)); // 1 x 1 level
    EXPECT_EQ(lr.pitch, 4);
    gpu_texture_unlock(t, 3);
    // Render targets are read back, not locked.
    GpuTexture *rt =
        gpu_texture_create(8, 8, 1, GPU_USAGE_RENDER_TARGET, GPU_FMT_A8R8G8B8, GPU_POOL_DEFAULT);
    ASSERT_NE(rt, nullptr);
    EXPECT_FALSE(gpu_texture_lock(rt, 0, nullptr, &lr));
    EXPECT_EQ(gpu_texture_create(0, 8, 1, 0, GPU_FMT_A8R8G8B8, GPU_POOL_MANAGED), nullptr);
    EXPECT_EQ(gpu_texture_create(8, 8, 1, 0, 12345, GPU_POOL_MANAGED), nullptr);
    gpu_texture_release(rt);
    gpu_texture_release(t);
}

// A 100 x 60 image becomes a 128 x 64 texture stretched over it; its own size is reported.
TEST_F(GpuTest, ImagesRoundUpToPowersOfTwo) {
    std::vector<uint8_t> rgba = halves(100, 60, 255);
    struct Case {
        const char *name;
        std::vector<uint8_t> file;
        uint32_t format;
    } cases[] = {
        {"png rgb", encode_png(100, 60, rgba, false), GPU_FMT_X8R8G8B8},
        {"png rgba", encode_png(100, 60, halves(100, 60, 200), true), GPU_FMT_A8R8G8B8},
        {"jpeg", encode_jpeg(100, 60, rgba), GPU_FMT_X8R8G8B8},
    };
    for (const Case &c : cases) {
        GpuImageInfo info;
        std::memset(&info, 0, sizeof(info));
        GpuTexture *t = gpu_texture_create_from_memory(c.file.data(), c.file.size(), 1, &info);
        ASSERT_NE(t, nullptr) << c.name;
        GpuSurfaceDesc d;
        ASSERT_TRUE(gpu_texture_get_desc(t, 0, &d));
        EXPECT_EQ(d.width, 128u) << c.name;
        EXPECT_EQ(d.height, 64u) << c.name;
        EXPECT_EQ(info.width, 100u) << c.name;
        EXPECT_EQ(info.height, 60u) << c.name;
        EXPECT_EQ(info.format, c.format) << c.name;
        EXPECT_EQ(d.format, c.format) << c.name;
        EXPECT_EQ(gpu_texture_level_count(t), 1u);

        // Top of the image at the top of the texture and of the drawing.
        gpu_set_texture(0, t);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        quad(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFFu);
        EXPECT_TRUE(near_argb(pixel(16, 2), 0xFFFF0000u, 6)) << c.name;
        EXPECT_TRUE(near_argb(pixel(16, 29), 0xFF0000FFu, 6)) << c.name;
        // The CPU copy of a lock starts from the image's texels.
        GpuLockedRect lr;
        ASSERT_TRUE(gpu_texture_lock(t, 0, nullptr, &lr));
        uint32_t top, bottom;
        std::memcpy(&top, (uint8_t *)lr.bits + 4 * lr.pitch + 40, 4);
        std::memcpy(&bottom, (uint8_t *)lr.bits + 60 * lr.pitch + 40, 4);
        gpu_texture_unlock(t, 0);
        EXPECT_TRUE(near_argb(top, c.format == GPU_FMT_A8R8G8B8 ? 0xC8FF0000u : 0xFFFF0000u, 6))
            << c.name;
        EXPECT_TRUE(near_argb(bottom, c.format == GPU_FMT_A8R8G8B8 ? 0xC80000FFu : 0xFF0000FFu, 6))
            << c.name;
        gpu_set_texture(0, nullptr);
        gpu_texture_release(t);
    }
    // Full chain on request; bad bytes give no texture.
    std::vector<uint8_t> png = encode_png(100, 60, rgba, false);
    GpuTexture *t = gpu_texture_create_from_memory(png.data(), png.size(), 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(gpu_texture_level_count(t), 8u);
    gpu_texture_release(t);
    png.resize(png.size() / 2);
    EXPECT_EQ(gpu_texture_create_from_memory(png.data(), png.size(), 1, nullptr), nullptr);
    const char junk[] = "not an image at all";
    EXPECT_EQ(gpu_texture_create_from_memory(junk, sizeof(junk), 1, nullptr), nullptr);
    EXPECT_EQ(gpu_texture_create_from_file("no/such/file.png", 1, nullptr), nullptr);
}

namespace {

void write_file(const char *path, const std::vector<uint8_t> &bytes, size_t count) {
    std::FILE *f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, count, f), count);
    std::fclose(f);
}

// Texel (x, y) of a level as ARGB, through a lock (which reads the level back).
uint32_t texel(GpuTexture *t, uint32_t level, int x, int y) {
    GpuLockedRect lr;
    uint32_t v = 0xDEADBEEF;
    EXPECT_TRUE(gpu_texture_lock(t, level, nullptr, &lr));
    if (lr.bits) std::memcpy(&v, (uint8_t *)lr.bits + (size_t)y * lr.pitch + (size_t)x * 4, 4);
    gpu_texture_unlock(t, level);
    return v;
}

} // namespace

// Every level of a full chain holds the image halved from the level above, for an image taken
// as it stands (64 x 64) and one stretched first (48 x 40 over 64 x 64).
TEST_F(GpuTest, ImageChainsLevelByLevel) {
    for (int w : {64, 48}) {
        int h = w == 64 ? 64 : 40;
        std::vector<uint8_t> png = encode_png(w, h, halves(w, h, 200), true);
        GpuTexture *t = gpu_texture_create_from_memory(png.data(), png.size(), 0, nullptr);
        ASSERT_NE(t, nullptr) << w;
        ASSERT_EQ(gpu_texture_level_count(t), 7u);
        for (uint32_t l = 0; l < 6; l++) {
            int side = 64 >> l;
            EXPECT_TRUE(near_argb(texel(t, l, side - 1, 0), 0xC8FF0000u, 2)) << w << " " << l;
            EXPECT_TRUE(near_argb(texel(t, l, 0, side - 1), 0xC80000FFu, 2)) << w << " " << l;
        }
        EXPECT_TRUE(near_argb(texel(t, 6, 0, 0), 0xC8800080u, 2)) << w;
        gpu_texture_release(t);
    }
}

// Image files of different sizes one after another: each gives its own image, and a file
// cut short fails even straight after the whole file was read.
TEST_F(GpuTest, ImageFilesOneAfterAnother) {
    std::vector<uint8_t> big = encode_png(64, 64, halves(64, 64, 255), false);
    std::vector<uint8_t> small = encode_png(8, 8, std::vector<uint8_t>(8 * 8 * 4, 0x40), false);
    const char *path = "gpu_test_image.png";
    struct Step {
        const std::vector<uint8_t> *file;
        size_t bytes;
        uint32_t side; // 0: no texture
        uint32_t top_left;
    } steps[] = {{&big, big.size(), 64, 0xFFFF0000u},
                 {&small, small.size(), 8, 0xFF404040u},
                 {&big, big.size(), 64, 0xFFFF0000u},
                 {&big, big.size() / 2, 0, 0},
                 {&small, small.size(), 8, 0xFF404040u}};
    for (const Step &s : steps) {
        write_file(path, *s.file, s.bytes);
        GpuImageInfo info;
        std::memset(&info, 0, sizeof(info));
        GpuTexture *t = gpu_texture_create_from_file(path, 1, &info);
        if (!s.side) {
            EXPECT_EQ(t, nullptr);
            continue;
        }
        ASSERT_NE(t, nullptr) << s.side;
        EXPECT_EQ(info.width, s.side);
        EXPECT_EQ(texel(t, 0, 0, 0), s.top_left);
        gpu_texture_release(t);
    }
    std::remove(path);
}

namespace {

// A DDS file of w x h DXT1 blocks, every block one colour (RGB565 `c`).
std::vector<uint8_t> dds_dxt1(uint32_t w, uint32_t h, uint16_t c) {
    std::vector<uint8_t> f(128, 0);
    auto put = [&](size_t off, uint32_t v) { std::memcpy(&f[off], &v, 4); };
    std::memcpy(&f[0], "DDS ", 4);
    put(4, 124);
    put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000);
    put(12, h);
    put(16, w);
    put(20, (w / 4) * (h / 4) * 8);
    put(28, 1);
    put(76, 32);
    put(80, 0x4);
    std::memcpy(&f[84], "DXT1", 4);
    put(108, 0x1000);
    for (uint32_t b = 0; b < (w / 4) * (h / 4); b++) {
        uint8_t block[8] = {(uint8_t)c, (uint8_t)(c >> 8), 0, 0, 0, 0, 0, 0};
        f.insert(f.end(), block, block + 8);
    }
    return f;
}

} // namespace

// DXT data stays compressed when the device samples it (else it is decompressed); either
// way it draws its colour, and a power-of-two size is kept.
TEST_F(GpuTest, CompressedImages) {
    std::vector<uint8_t> dds = dds_dxt1(8, 8, 0xF800);
    GpuImageInfo info;
    GpuTexture *t = gpu_texture_create_from_memory(dds.data(), dds.size(), 1, &info);
    ASSERT_NE(t, nullptr);
    GpuCaps caps;
    ASSERT_TRUE(gpu_get_device_caps(&caps));
    RecordProperty("compressed", caps.compressed_textures ? 1 : 0);
    EXPECT_EQ(info.format,
              caps.compressed_textures ? (uint32_t)GPU_FMT_DXT1 : (uint32_t)GPU_FMT_A8R8G8B8);
    EXPECT_EQ(info.width, 8u);
    GpuSurfaceDesc d;
    ASSERT_TRUE(gpu_texture_get_desc(t, 0, &d));
    EXPECT_EQ(d.width, 8u);
    gpu_set_texture(0, t);
    quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(4, 4), 0xFFFF0000u);
    if (caps.compressed_textures) {
        // A lock hands out whole blocks: 2 blocks of 8 bytes per row of blocks.
        GpuLockedRect lr;
        ASSERT_TRUE(gpu_texture_lock(t, 0, nullptr, &lr));
        EXPECT_EQ(lr.pitch, 16);
        EXPECT_EQ(((uint8_t *)lr.bits)[1], 0xF8);
        ((uint8_t *)lr.bits)[0] = 0x1F, ((uint8_t *)lr.bits)[1] = 0x00; // first block blue
        gpu_texture_unlock(t, 0);
        GpuRect odd = {1, 0, 4, 4};
        EXPECT_FALSE(gpu_texture_lock(t, 0, &odd, &lr));
        quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
        EXPECT_EQ(pixel(1, 1), 0xFF0000FFu);
        EXPECT_EQ(pixel(5, 5), 0xFFFF0000u);
        // Equal end colours make a three-colour block, whose index 3 is transparent: blended
        // over green it leaves green.
        ASSERT_TRUE(gpu_texture_lock(t, 0, nullptr, &lr));
        const uint8_t clear_block[8] = {0x00, 0xF8, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF};
        std::memcpy(lr.bits, clear_block, 8);
        gpu_texture_unlock(t, 0);
        gpu_clear(GPU_CLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
        gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
        gpu_set_render_state(GPU_RS_SRCBLEND, GPU_BLEND_SRCALPHA);
        gpu_set_render_state(GPU_RS_DESTBLEND, GPU_BLEND_INVSRCALPHA);
        quad(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
        gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 0);
        EXPECT_EQ(pixel(1, 1), 0xFF00FF00u);
        EXPECT_EQ(pixel(5, 5), 0xFFFF0000u);
    }
    gpu_set_texture(0, nullptr);
    gpu_texture_release(t);
}
