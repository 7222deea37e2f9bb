// Shared by the renderer tests: one hidden SDL window and one device for the whole program,
// created on first use through the renderer's own start-up, plus small drawing helpers.
#pragma once
#include <cstdint>

#include "render/gfx_texture.h"

constexpr int TEST_WIDTH = 128;
constexpr int TEST_HEIGHT = 96;

// Creates the window and the device once; false (and the test should fail) when impossible.
bool gfx_test_device(void);

// Back-buffer pixel as ARGB (top row first), and a whole colour surface row block.
uint32_t gfx_test_pixel(int x, int y);
uint32_t gfx_test_surface_pixel(GpuSurface *surface, int x, int y);

// Puts the device into the plain 2D state the tests start from: back buffer bound, full
// viewport and scissor, scissor test off, no blending, no alpha test, no depth, cull none,
// solid fill, stage 0 = modulate(texture, diffuse), stage 1 off, no textures, cache reset.
void gfx_test_reset_states(void);
// Clears the back buffer to a colour (whole target).
void gfx_test_clear(uint32_t argb);

// A screen-space quad from (x0, y0) to (x1, y1) in pixel-edge coordinates (the -0.5 is applied
// here), with texture coordinates (u0, v0)-(u1, v1), through the shared quad index list.
void gfx_test_quad(float x0, float y0, float x1, float y1, uint32_t argb, float z = 0.0f,
                   float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f);

// Channel distance of two ARGB words (largest of the four).
int gfx_test_color_distance(uint32_t a, uint32_t b);
