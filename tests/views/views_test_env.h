// Shared by the render-view and 3D sprite tests: the program's window and the whole graphics
// start-up chain, and a fresh scene between tests.
#pragma once
#include <cstdint>

#include "platform/gpu/gpu.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"

constexpr int VIEWS_TEST_WIDTH = 160;
constexpr int VIEWS_TEST_HEIGHT = 120;
// Layers 40-63 reach the screen only through render views.
constexpr int32_t VIEWS_TEST_LAYER = 45;

// Starts the renderer once (window, device and every module); false when impossible.
bool views_test_start(void);
// Between tests: a fresh scene (no views), background black, scene drawing on, no trace, both
// views' lights at their defaults.
void views_test_fresh(void);
