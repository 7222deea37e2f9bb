// Shared fixture of the device-layer tests: a hidden SDL window and a fresh device per test,
// screen-space vertices and pixel readback.
#pragma once

#include "platform/gpu/gpu.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// The 36-byte screen-space vertex, format 0x244.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u0, v0, u1, v1;
};

class GpuTest : public ::testing::Test {
  protected:
    static constexpr int W = 64, H = 64;
    void SetUp() override;
    void TearDown() override;

    // One pixel of the back buffer (or of `s`) as ARGB.
    uint32_t pixel(int x, int y, GpuSurface *s = nullptr);
    std::vector<uint32_t> pixels(int x, int y, int w, int h, GpuSurface *s = nullptr);
    // A screen-space rectangle from (l, t) to (r, b), corners as given (no -0.5 applied).
    void quad(float l, float t, float r, float b, uint32_t argb, float z = 0.0f, float u0 = 0,
              float v0 = 0, float u1 = 1, float v1 = 1);
    // A texture of w x h with ARGB texels, through lock/unlock.
    GpuTexture *texture(int w, int h, const std::vector<uint32_t> &argb,
                        uint32_t format = GPU_FMT_A8R8G8B8);
    static SDL_Window *window;
};

// Channel access and a tolerant compare for values that go through float maths.
inline int ch(uint32_t argb, int shift) {
    return (int)((argb >> shift) & 255);
}
::testing::AssertionResult near_argb(uint32_t got, uint32_t want, int tol = 1);
