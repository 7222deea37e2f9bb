// Seam between the application frame and the subsystems it starts, steps and stops. The entry
// calls every member that is set, at its place in the start-up, frame and shutdown order.
#pragma once
#include <cstdint>

struct SDL_Window;

struct AppDisplayOptions {
    int32_t render_width, render_height;
    int32_t screen_width, screen_height;
    int32_t orientation;
};

struct AppHooks {
    // Renderer: start (window, reserved, client width, client height, bits per pixel, options),
    // per-frame step, shutdown, and the 2D screen size.
    void (*gfx_init)(SDL_Window *window, int32_t reserved, int32_t client_width,
                     int32_t client_height, int32_t bits_per_pixel,
                     const AppDisplayOptions *options);
    void (*gfx_render_frame)(int32_t arg);
    void (*gfx_shutdown)(void);
    int32_t (*gfx_get_screen_width)(void);
    int32_t (*gfx_get_screen_height)(void);
    // Audio: start, per-frame step, shutdown, the sound manager's error code (0 = none) and the
    // sound file the error concerns ("" or null when none).
    void (*snd_init)(void);
    void (*snd_update)(void);
    void (*snd_shutdown)(void);
    uint32_t (*snd_get_error)(void);
    const char *(*snd_get_error_file)(void);
    // Resource mark of the scene manager: taken at its start, released at its end.
    void (*scene_mark)(void);
    void (*scene_release_to_mark)(void);
};

// The hook table; zeroed at start, filled before app_win_main runs.
AppHooks *app_hooks(void);
