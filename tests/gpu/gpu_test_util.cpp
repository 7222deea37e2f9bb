#include "gpu_test_util.h"

#include <cstdlib>
#include <cstring>

SDL_Window *GpuTest::window = nullptr;

void GpuTest::SetUp() {
    if (!window) {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window = SDL_CreateWindow("gpu test", 0, 0, W, H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
    }
    GpuResult r = GPU_FAIL;
    for (int kind = 0; kind < 3 && r != GPU_OK; kind++) r = gpu_create_device(window, kind, W, H);
    ASSERT_EQ(r, GPU_OK);
    gpu_set_fvf(0x244);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
}

void GpuTest::TearDown() {
    gpu_destroy_device();
}

uint32_t GpuTest::pixel(int x, int y, GpuSurface *s) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_TRUE(gpu_read_pixels(s ? s : gpu_get_back_buffer(), x, y, 1, 1, &v));
    return v;
}

std::vector<uint32_t> GpuTest::pixels(int x, int y, int w, int h, GpuSurface *s) {
    std::vector<uint32_t> v((size_t)w * h, 0xDEADBEEF);
    EXPECT_TRUE(gpu_read_pixels(s ? s : gpu_get_back_buffer(), x, y, w, h, v.data()));
    return v;
}

void GpuTest::quad(float l, float t, float r, float b, uint32_t argb, float z, float u0, float v0,
                   float u1, float v1) {
    ScreenVertex v[4] = {
        {l, t, z, 1, argb, u0, v0, u0, v0},
        {r, t, z, 1, argb, u1, v0, u1, v0},
        {l, b, z, 1, argb, u0, v1, u0, v1},
        {r, b, z, 1, argb, u1, v1, u1, v1},
    };
    EXPECT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), GPU_OK);
}

GpuTexture *GpuTest::texture(int w, int h, const std::vector<uint32_t> &argb, uint32_t format) {
    GpuTexture *t = gpu_texture_create(w, h, 1, 0, format, GPU_POOL_MANAGED);
    EXPECT_NE(t, nullptr);
    if (!t) return nullptr;
    GpuLockedRect lr;
    EXPECT_TRUE(gpu_texture_lock(t, 0, nullptr, &lr));
    for (int y = 0; y < h; y++)
        std::memcpy((uint8_t *)lr.bits + (size_t)y * lr.pitch, &argb[(size_t)y * w], (size_t)w * 4);
    gpu_texture_unlock(t, 0);
    return t;
}

::testing::AssertionResult near_argb(uint32_t got, uint32_t want, int tol) {
    for (int s = 0; s < 32; s += 8)
        if (std::abs(ch(got, s) - ch(want, s)) > tol)
            return ::testing::AssertionFailure() << std::hex << "got 0x" << got << ", want 0x"
                                                 << want << " (+-" << std::dec << tol << ")";
    return ::testing::AssertionSuccess();
}
