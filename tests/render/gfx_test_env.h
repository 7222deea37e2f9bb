// Shared by the renderer tests: the program's window and device at the renderer tests' size,
// the plain state they start from, and a screen-space quad.
#pragma once
#include <cstdint>

#include "render/gfx_texture.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"

constexpr int TEST_WIDTH = 128;
constexpr int TEST_HEIGHT = 96;

// Creates the window and the device once; false (and the test should fail) when impossible.
bool gfx_test_device(void);

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
