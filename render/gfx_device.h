// The program's one drawing device: start-up with fallbacks, presentation, device loss and
// reset, back-buffer mode changes, destruction, and the (unused) frame hand-shake for a
// separate drawing thread. Everything lives in one static record, DeviceState.
#pragma once
#include <cstdint>
#include "platform/gpu/gpu.h"
#include "render/gfx_state.h"

struct SDL_Window;
struct SharedSemaphore;

// The drawing layer keeps a single global device, so the device the drawing code passes around
// is a token: non-null while a device exists.
struct GfxDevice;

typedef void (*GfxDeviceCallback)(void);

// Swap effects and presentation intervals of the present parameters.
enum : uint32_t {
    GFX_SWAP_DISCARD = 1,
    GFX_SWAP_FLIP = 2,
    GFX_SWAP_COPY = 3,
    GFX_PRESENT_INTERVAL_ONE = 1,
    GFX_PRESENT_INTERVAL_IMMEDIATE = 0x80000000u,
    GFX_PRESENT_FLAG_LOCKABLE_BACKBUFFER = 1,
};

struct GfxPresentParams {
    uint32_t back_buffer_width; // 0 x 0 = the window's client size
    uint32_t back_buffer_height;
    uint32_t back_buffer_format;
    uint32_t back_buffer_count;
    uint32_t multisample_type;
    uint32_t multisample_quality;
    uint32_t swap_effect;
    SDL_Window *device_window;
    uint32_t windowed;
    uint32_t enable_auto_depth_stencil;
    uint32_t auto_depth_stencil_format;
    uint32_t flags;
    uint32_t refresh_rate;
    uint32_t presentation_interval;
};

// The block gfx_init builds for gfx_create_device. Null callbacks mean the defaults.
struct DeviceCreateParams {
    SDL_Window *window;
    int32_t width, height;
    int32_t bits_per_pixel; // 32
    int32_t reserved;       // 0
    uint32_t option;        // not read here
    GfxDeviceCallback lost;
    GfxDeviceCallback reset;
};

// Device kinds, in the order of the creation attempts.
enum GfxDeviceKind {
    GFX_DEVICE_HAL_PURE = 0, // accelerated, hardware vertex processing
    GFX_DEVICE_HAL_SW = 1,   // accelerated, software vertex processing
    GFX_DEVICE_REF = 2,      // software rasteriser
};

constexpr uint32_t GFX_VS_VERSION_1_1 = 0xFFFE0101u;
constexpr uint32_t GFX_PS_VERSION_2_0 = 0xFFFF0200u;

struct DeviceState {
    SDL_Window *window;
    bool api_open; // the drawing API is usable (stands for the API object)
    bool device;   // a device exists
    GfxPresentParams present;
    GpuCaps caps; // the adapter's caps, then the device's own
    GfxDeviceCallback lost_callback;
    GfxDeviceCallback reset_callback;
    int32_t width, height; // asked-for back-buffer size
    int32_t bits_per_pixel;
    int32_t reserved;
    int32_t client_width, client_height;
    int32_t spare;
    uint32_t vs_above_11;
    uint32_t ps_20;
    uint32_t ready;
    uint32_t full_screen;
    uint32_t stencil;
    uint32_t lockable_back_buffer;
    int32_t device_kind;
    uint32_t render_targets;
    uint32_t lost;
    uint32_t mode_change_requested;
    SharedSemaphore *frame_lock; // "disp"
    uint32_t threaded_drawing;
    uint32_t frames_requested;
    uint32_t frames_done;
    RenderStateCache state_cache;
    GpuViewport viewport; // the last viewport set through the viewport wrappers
};

bool gfx_create_device(const DeviceCreateParams *params);
bool gfx_open_device(int32_t width, int32_t height, int32_t full_screen);
void gfx_fill_present_params(int32_t width, int32_t height, int32_t full_screen);
void gfx_on_device_lost(void);
void gfx_on_device_reset(void);
void gfx_present(void);
void gfx_request_mode_change(int32_t width, int32_t height, int32_t full_screen);
void gfx_request_mode_change_ext(int32_t width, int32_t height, int32_t full_screen);
uint32_t gfx_get_full_screen(void);
uint32_t gfx_get_full_screen_flag(void);
GfxDevice *gfx_get_device(void);
GfxDevice *gfx_device(void);
uint32_t gfx_has_vs_above_11(void);
uint32_t gfx_has_ps_20(void);
uint32_t gfx_get_render_target_count(void);
uint32_t gfx_get_default_target(void); // always 0: the back buffer's texture handle
void gfx_set_threaded_render(uint32_t flag);
void gfx_render_thread_step(SDL_Window *window);
void gfx_draw_frame_sync(SDL_Window *window, uint32_t argument);
void gfx_skip_frame(SDL_Window *window, uint32_t argument);
void gfx_destroy_device(void);

// The record itself (the state cache, the lost flag and the viewport are read by the frame
// pass, the state wrappers and tests).
DeviceState *gfx_device_state(void);
uint32_t gfx_is_device_lost(void);
