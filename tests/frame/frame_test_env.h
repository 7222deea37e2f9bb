// Shared by the frame-pass and text tests: the program's window and the whole graphics start-up
// chain (gfx_init) at the frame tests' size, and a fresh scene between tests.
#pragma once
#include <gtest/gtest.h>

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

// The whole window as the last present left it, rows from the top, ARGB.
std::vector<uint32_t> frame_test_presented(void);

// Frame tests that read the presented window: the renderer started, a fresh scene, window
// capture on; afterwards capture off, the direct path allowed again and the scene reset.
class FrameWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};
