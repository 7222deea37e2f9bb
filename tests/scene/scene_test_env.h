// Shared by the scene tests that draw: the program's window and device at the scene tests'
// size, the 2D kinds registered in start-up order, textures made from pixels, and the frame's
// object steps drawn straight into the back buffer.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gpu/gpu.h"
#include "resource/res_pools.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"

constexpr int SCENE_TEST_WIDTH = 160;
constexpr int SCENE_TEST_HEIGHT = 120;

// Creates the window and device once; false when impossible.
bool scene_test_device(void);

// Fresh object manager with the 2D kinds (line 1, triangle 2, label 3, sprite 4), fresh
// resource pools, the back buffer bound and cleared to `clear`, full viewport and scissor, the
// scissor test on (as the frame pass leaves it).
void scene_test_begin(uint32_t clear = 0xFF000000u);

// Update pass, draw list, layers first..last in one scene, then destroy the killed objects.
void scene_test_frame(int32_t first = 0, int32_t last = 63);

// A texture of w x h ARGB texels (A8R8G8B8) in group "t"; 0 on failure.
ResourceHandle scene_test_texture(const char *name, int w, int h,
                                  const std::vector<uint32_t> &texels);

// Trace helpers: draws recorded since the last gpu_trace_clear (primitive counts).
std::vector<uint32_t> scene_test_draw_counts(void);
