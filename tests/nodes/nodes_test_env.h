// Shared by the 3D node tests: the program's window and device, the object kinds registered in
// start-up order, larger resource pools, a colour target with a D24S8 depth surface, view 0 at
// its defaults, and one 3D pass drawn as a render view would draw it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "platform/gpu/gpu.h"
#include "tests/support/test_render.h"

constexpr int NODES_TEST_WIDTH = 160;
constexpr int NODES_TEST_HEIGHT = 120;

bool nodes_test_device(void);

// Fresh objects, kinds, pools and views; the back buffer with the test's depth surface bound
// and both cleared; the light step run once, so the view's current light holds its defaults.
void nodes_test_begin(uint32_t clear = 0xFF000000u);

// Update pass, draw list, view 0's 3D pass over layers 40-63, the reset after it, then the
// end-of-frame sweeps.
void nodes_test_frame(void);

// One frame with the device trace on: the number of draw calls it made.
size_t nodes_test_traced_draws(void);

// Pixel under a world point (view 0), read back from the back buffer.
uint32_t nodes_test_pixel_at(const Vec3 &point);
void nodes_test_screen_of(const Vec3 &point, int *x, int *y);

// Channel helpers.
inline int ch_r(uint32_t c) {
    return (int)((c >> 16) & 0xFF);
}
inline int ch_g(uint32_t c) {
    return (int)((c >> 8) & 0xFF);
}
inline int ch_b(uint32_t c) {
    return (int)(c & 0xFF);
}
// Whether every channel of `got` lies within `tolerance` of `want` (alpha ignored).
bool rgb_near(uint32_t got, uint32_t want, int tolerance);
uint32_t rgb_of(double r, double g, double b); // 0..1 floats, rounded and clamped

// A model record made in memory as the model creator makes one from a file: a square of side
// 2 x half about the origin in the z = 0 plane, facing +z (clockwise as seen from +z), every normal
// `normal`, per-vertex colours when `color` is non-zero, one subset using material 0. Bounds:
// centre (0, 0, 0), radius half x sqrt 2; every position and the centre moved by `offset`.
ResourceHandle nodes_test_quad_model(const char *name, float half, const Vec3 &normal,
                                     uint32_t color = 0, const Vec3 &offset = {0, 0, 0});

// Gives a model one material whose slot 0 holds `texture` (material index `index` in subset 0).
void nodes_test_model_texture(ResourceHandle model, uint32_t material_index,
                              ResourceHandle texture);
// Shaders compiled from the source tree's shader folder (SHPATH); shader_release_all after.
void nodes_test_load_shaders(void);
// A 1 x 1 texture of one ARGB colour.
ResourceHandle nodes_test_texture(const char *name, uint32_t argb);
