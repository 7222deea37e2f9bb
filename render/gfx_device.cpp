#include "render/gfx_device.h"

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/semaphore.h"
#include "platform/sys/sys_time.h"
#include "render/gfx_display.h"
#include "render/gfx_texture.h"

#include "render/font.h"
#include "render/shader.h"
#include "render/text_queue.h"
#include "resource/res_pools.h"
#include "resource/res_texture.h"

static DeviceState s_device;

// What gfx_get_device hands out while a device exists: the layer has one global device.
struct GfxDevice {
    int unused;
};
static GfxDevice s_device_token;

static constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFFu;
static constexpr uint32_t LOST_SLEEP_MS = 100;

static int32_t abs_size(int32_t v) {
    if (v == INT32_MIN) return INT32_MAX;
    return v < 0 ? -v : v;
}

static void frame_lock_take(void) {
    if (s_device.frame_lock) msect_wait(s_device.frame_lock, WAIT_FOREVER);
}
static void frame_lock_give(void) {
    if (s_device.frame_lock) msect_release(s_device.frame_lock, 1, nullptr);
}

DeviceState *gfx_device_state(void) {
    return &s_device;
}
uint32_t gfx_is_device_lost(void) {
    return s_device.lost;
}

// ---------------------------------------------------------------------------------------------
// Present parameters and device creation

void gfx_fill_present_params(int32_t width, int32_t height, int32_t full_screen) {
    const uint32_t display_format = gpu_get_display_format();
    GfxPresentParams &p = s_device.present;
    memset(&p, 0, sizeof(p));
    if (full_screen) {
        p.windowed = 0;
        p.refresh_rate = 60;
        p.swap_effect = GFX_SWAP_FLIP;
        p.presentation_interval = GFX_PRESENT_INTERVAL_ONE;
        p.back_buffer_width = (uint32_t)abs_size(width);
        p.back_buffer_height = (uint32_t)abs_size(height);
    } else {
        p.windowed = 1;
        p.swap_effect = GFX_SWAP_COPY;
        p.presentation_interval = GFX_PRESENT_INTERVAL_IMMEDIATE;
        p.back_buffer_width = 0; // the window's client size
        p.back_buffer_height = 0;
    }
    p.back_buffer_count = 1;
    p.back_buffer_format = display_format;
    p.device_window = s_device.window;
    p.enable_auto_depth_stencil = 0; // depth buffers are the program's own surfaces
    p.flags = s_device.lockable_back_buffer ? (uint32_t)GFX_PRESENT_FLAG_LOCKABLE_BACKBUFFER : 0u;
    // An automatic depth surface would be D24S8 where supported; none is asked for, so the
    // automatic depth format stays 0.
}

bool gfx_open_device(int32_t width, int32_t height, int32_t full_screen) {
    gfx_fill_present_params(width, height, full_screen);
    static const int with_ps20[3] = {GFX_DEVICE_HAL_PURE, GFX_DEVICE_HAL_SW, GFX_DEVICE_REF};
    static const int without_ps20[2] = {GFX_DEVICE_HAL_SW, GFX_DEVICE_REF};
    const bool ps20 = s_device.caps.pixel_shader_version >= GFX_PS_VERSION_2_0;
    const int *kinds = ps20 ? with_ps20 : without_ps20;
    const int attempts = ps20 ? 3 : 2;
    for (int i = 0; i < attempts; ++i) {
        s_device.device_kind = kinds[i];
        if (gpu_create_device(s_device.window, kinds[i], (int)s_device.present.back_buffer_width,
                              (int)s_device.present.back_buffer_height) == GPU_OK) {
            s_device.device = true;
            return true;
        }
    }
    s_device.api_open = false;
    return false;
}

// A failed start-up leaves nothing behind, the frame lock included.
static bool start_up_failed(void) {
    if (s_device.frame_lock) msect_close(s_device.frame_lock);
    s_device.frame_lock = nullptr;
    return false;
}

bool gfx_create_device(const DeviceCreateParams *params) {
    if (!params) return false;
    memset(&s_device, 0, sizeof(s_device));
    s_device.frame_lock = msect_create(1, 1, "disp");
    s_device.window = params->window;
    s_device.api_open = true;

    s_device.lost_callback = params->lost ? params->lost : gfx_on_device_lost;
    s_device.reset_callback = params->reset ? params->reset : gfx_on_device_reset;
    s_device.width = abs_size(params->width);
    s_device.height = abs_size(params->height);
    s_device.bits_per_pixel = params->bits_per_pixel;
    s_device.reserved = params->reserved;
    s_device.full_screen = 0;
    s_device.lockable_back_buffer = 0;

    if (!s_device.api_open) return start_up_failed();
    if (!gpu_get_adapter_caps(&s_device.caps)) return start_up_failed();
    if (!gfx_open_device(s_device.width, s_device.height, (int32_t)s_device.full_screen))
        return start_up_failed();

    s_device.stencil = gfx_is_stencil_format(s_device.present.auto_depth_stencil_format) ? 1 : 0;

    if (gpu_get_device_caps(&s_device.caps)) {
        s_device.vs_above_11 = s_device.caps.vertex_shader_version > GFX_VS_VERSION_1_1 ? 1 : 0;
        s_device.ps_20 = s_device.caps.pixel_shader_version >= GFX_PS_VERSION_2_0 ? 1 : 0;
        s_device.render_targets = s_device.caps.simultaneous_rts;
    }
    if (!s_device.device || !gpu_has_device()) {
        s_device.device = false;
        s_device.api_open = false;
        return start_up_failed();
    }

    for (int frame = 0; frame < 2; ++frame) {
        gpu_begin_scene();
        gfx_set_scissor(0, 0, s_device.width, s_device.height);
        gfx_set_viewport(0, 0, s_device.width, s_device.height);
        gfx_clear(GFX_CLEAR_ALL, 0);
        gpu_end_scene();
        gfx_present();
    }
    gfx_set_viewport(0, 0, gfx_get_screen_width(), gfx_get_screen_height());

    gfx_reset_state_cache();
    gfx_init_resources();
    res_init();

    s_device.client_width = gfx_get_client_width();
    s_device.client_height = gfx_get_client_height();
    s_device.spare = 0;

    gfx_create_layer_target();
    s_device.ready = 1;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Device loss

void gfx_on_device_lost(void) {
    font_release_outline();
    shader_release_all();
    res_release_targets(); // saved targets first, then render targets and depth surfaces
}

void gfx_on_device_reset(void) {
    font_create_outline();
    shader_load_all();
    res_restore_targets(); // saved targets first, then render targets and depth surfaces
}

void gfx_present(void) {
    if (!s_device.device) return;
    const bool requested = s_device.mode_change_requested != 0;
    s_device.mode_change_requested = 0;

    const bool present_lost = gpu_present() == GPU_ERR_DEVICE_LOST;
    if (requested)
        gfx_fill_present_params(s_device.width, s_device.height, (int32_t)s_device.full_screen);
    if (!present_lost && !requested) {
        s_device.lost = 0;
        return;
    }

    sys_sleep_ms(LOST_SLEEP_MS);

    // A request met by a present that itself reported loss waits for the device to come back:
    // the reset then comes through the cooperative-level test with the new parameters.
    if (requested && present_lost) return;
    if (!requested) {
        const GpuResult level = gpu_test_cooperative_level();
        if (level == GPU_OK) {
            s_device.lost = 1; // the next frame draws nothing; its present clears the flag
            return;
        }
        if (level != GPU_ERR_DEVICE_NOT_RESET) return;
    }

    if (s_device.lost_callback) s_device.lost_callback();
    if (gpu_reset((int)s_device.present.back_buffer_width,
                  (int)s_device.present.back_buffer_height) != GPU_OK)
        return; // still lost: the next frame tries again
    if (s_device.reset_callback) s_device.reset_callback();
    app_restore_window_style(0);
}

void gfx_request_mode_change(int32_t width, int32_t height, int32_t full_screen) {
    if (s_device.lost) return;
    s_device.mode_change_requested = 1;
    if (width > 0) s_device.width = width;
    if (height > 0) s_device.height = height;
    if (full_screen >= 0) s_device.full_screen = (uint32_t)full_screen;
}

void gfx_request_mode_change_ext(int32_t width, int32_t height, int32_t full_screen) {
    gfx_request_mode_change(width, height, full_screen);
}

// ---------------------------------------------------------------------------------------------
// Accessors

uint32_t gfx_get_full_screen(void) {
    return s_device.full_screen;
}
uint32_t gfx_get_full_screen_flag(void) {
    return s_device.full_screen;
}
GfxDevice *gfx_get_device(void) {
    return s_device.device ? &s_device_token : nullptr;
}
GfxDevice *gfx_device(void) {
    return gfx_get_device();
}
uint32_t gfx_has_vs_above_11(void) {
    return s_device.vs_above_11;
}
uint32_t gfx_has_ps_20(void) {
    return s_device.ps_20;
}
uint32_t gfx_get_render_target_count(void) {
    return s_device.render_targets;
}
uint32_t gfx_get_default_target(void) {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Frame hand-shake for a separate drawing thread (never switched on by the program)

void gfx_set_threaded_render(uint32_t flag) {
    frame_lock_take();
    s_device.threaded_drawing = flag;
    s_device.frames_requested = 0;
    s_device.frames_done = 0;
    frame_lock_give();
}

static void yield_slice(void) {
    sys_sleep_ms(0);
}

void gfx_draw_frame_sync(SDL_Window *window, uint32_t argument) {
    (void)window;
    (void)argument;
    frame_lock_take();
    const uint32_t threaded = s_device.threaded_drawing;
    frame_lock_give();
    if (!threaded) {
        gfx_draw_scene();
        return;
    }
    frame_lock_take();
    s_device.frames_requested++;
    frame_lock_give();
    // Switching threaded drawing off zeroes both counters, which also ends this wait.
    for (;;) {
        frame_lock_take();
        const bool done = s_device.frames_done == s_device.frames_requested;
        frame_lock_give();
        if (done) return;
        yield_slice();
    }
}

void gfx_render_thread_step(SDL_Window *window) {
    (void)window;
    frame_lock_take();
    const uint32_t threaded = s_device.threaded_drawing;
    frame_lock_give();
    if (!threaded) return;
    for (;;) {
        frame_lock_take();
        const bool pending = s_device.frames_done != s_device.frames_requested;
        const bool on = s_device.threaded_drawing != 0;
        frame_lock_give();
        if (pending || !on) break;
        yield_slice();
    }
    gfx_draw_scene();
    frame_lock_take();
    s_device.frames_done++;
    frame_lock_give();
}

void gfx_skip_frame(SDL_Window *window, uint32_t argument) {
    (void)window;
    (void)argument;
    text_queue_rewind(gfx_get_outline_text_queue());
    text_queue_rewind(gfx_get_bitmap_text_queue());
    sys_sleep_ms(0);
}

// ---------------------------------------------------------------------------------------------
// Destruction

void gfx_destroy_device(void) {
    s_device.ready = 0;
    gfx_release_layer_target();
    res_shutdown();
    gfx_release_resources();
    if (s_device.device && gpu_has_device()) gpu_destroy_device();
    s_device.device = false;
    s_device.api_open = false;
    if (s_device.frame_lock) msect_close(s_device.frame_lock);
    s_device.frame_lock = nullptr;
}
