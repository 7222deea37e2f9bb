// Shared by the frame-pass and text tests: one hidden window and the whole graphics start-up
// chain (gfx_init) for the program, plus read-back and trace helpers.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gpu/gpu.h"

constexpr int FRAME_TEST_WIDTH = 160;
constexpr int FRAME_TEST_HEIGHT = 120;

// Starts the renderer once (window, device and every module); false when impossible.
bool frame_test_start(void);
// Between tests: a fresh scene, background black, scene drawing on, both queues empty.
void frame_test_fresh(void);

uint32_t frame_test_pixel(int x, int y); // back buffer, ARGB
std::vector<uint32_t> frame_test_block(int x, int y, int w, int h);
int frame_test_distance(uint32_t a, uint32_t b); // largest channel difference

// Trace entries of one kind recorded since the last gpu_trace_clear.
std::vector<GpuTraceEntry> frame_test_trace(GpuTraceKind kind);
