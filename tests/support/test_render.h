// Drawing tests: one hidden window and one drawing device for the whole test program, pixel
// read-back from the device and the device's call trace.
#pragma once
#include <cstdint>
#include <vector>

#include <SDL2/SDL.h>

#include "platform/gpu/gpu.h"
#include "render/gfx_frame.h"

// The program's hidden window, made on first call (the later calls return the same window and
// ignore their arguments); null when no window can be made.
SDL_Window *test_window(const char *title, int w, int h);

// The window and the renderer's device through gfx_create_device, the display record sized to
// the window; made on first call and destroyed when the program ends. false when impossible.
bool test_render_device(const char *title, int w, int h);

// The window and the renderer's whole start-up chain (gfx_init), once per program, shut down
// when the program ends. false when no window can be made.
bool test_render_start(const char *title, int w, int h, const DisplayOptions *options = nullptr);

// Keeps the GL driver loaded to the end of the process. Call it before the last context goes:
// the driver keeps some blocks for the life of the process, and unloaded with that context it
// would leave them with stacks into unmapped code, which the leak checker can neither name nor
// tell from ours.
void test_keep_gl_driver(void);

// Pixels as ARGB, top row first; 0xDEADBEEF where the surface cannot be read.
uint32_t test_surface_pixel(GpuSurface *surface, int x, int y);
uint32_t test_pixel(int x, int y); // back buffer
std::vector<uint32_t> test_pixel_block(int x, int y, int w, int h);

// Trace entries of one kind recorded since the last gpu_trace_clear, in call order.
std::vector<GpuTraceEntry> test_trace(GpuTraceKind kind);
