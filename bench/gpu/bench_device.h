// Device start-up and shutdown shared by the device-layer benchmarks: a hidden window of the
// given size and a device on it, trying the three device kinds in turn.
#pragma once
#include "platform/gpu/gpu.h"

#include <SDL2/SDL.h>

#include <cstdio>

// The window, or null (after a line on stderr) when SDL, the window or every device kind fails.
inline SDL_Window *bench_open_device(int width, int height) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return nullptr;
    SDL_Window *win =
        SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    GpuResult r = GPU_FAIL;
    for (int kind = 0; win && kind < 3 && r != GPU_OK; kind++)
        r = gpu_create_device(win, kind, width, height);
    if (r != GPU_OK) {
        std::fprintf(stderr, "no device\n");
        return nullptr;
    }
    return win;
}

inline void bench_close_device(SDL_Window *win) {
    gpu_destroy_device();
    SDL_DestroyWindow(win);
    SDL_Quit();
}
