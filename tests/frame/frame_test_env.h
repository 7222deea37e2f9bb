// Shared by the frame-pass and text tests: the program's window and the whole graphics start-up
// chain (gfx_init) at the frame tests' size, and a fresh scene between tests.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gpu/gpu.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"

constexpr int FRAME_TEST_WIDTH = 160;
constexpr int FRAME_TEST_HEIGHT = 120;

// Starts the renderer once (window, device and every module); false when impossible.
bool frame_test_start(void);
// Between tests: a fresh scene, background black, scene drawing on, both queues empty.
void frame_test_fresh(void);
