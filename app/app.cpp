#include "app/app.h"
#include "app/app_hooks.h"
#include "app/config.h"
#include "app/input.h"
#include "app/scene_manager.h"
#include "app/timer.h"
#include "platform/sys/sys_file.h"
#include "platform/sys/sys_rand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static AppState g_app;
static char g_exe_directory[APP_EXE_DIRECTORY_SIZE];
static WindowRecord g_windows[1];
static const char *g_module_path_override;

AppState *app_get_state(void) {
    return &g_app;
}
int32_t app_get_client_width(void) {
    return g_app.client_width;
}
int32_t app_get_client_height(void) {
    return g_app.client_height;
}
WinEvent *app_get_message(void) {
    return &g_app.message;
}
void app_request_quit(void) {
    g_app.quit = 1;
}
char *app_get_exe_directory(void) {
    return g_exe_directory;
}
void app_set_module_path_override(const char *path) {
    g_module_path_override = path;
}

void app_set_exe_directory_from(const char *module_path) {
    char folder[4096];
    sys_path_folder(folder, sizeof folder, module_path);
    if (folder[0]) sys_set_current_directory(folder);
    // The program may sit one level below its data.
    if (!sys_is_directory(".\\bin")) sys_set_current_directory("..\\");
    if (!sys_get_current_directory(g_exe_directory, sizeof g_exe_directory)) g_exe_directory[0] = 0;
}

void app_set_exe_directory(void) {
    char path[4096];
    if (g_module_path_override) {
        app_set_exe_directory_from(g_module_path_override);
        return;
    }
    if (!sys_get_module_path(path, sizeof path)) path[0] = 0;
    app_set_exe_directory_from(path);
}

bool app_restore_exe_directory(void) {
    return sys_set_current_directory(g_exe_directory);
}

void app_release_instance_mutex(void) {
    g_app.instance_mutex = nullptr;
}

bool app_is_messagebox_enabled(void) {
    return cfg_get_int_or("MESSAGEBOX", 0) != 0;
}

void app_show_error_box(const char *a, const char *b, int line) {
    if (!a) a = "";
    if (!b) b = "";
    size_t size = strlen(a) + strlen(b) + 256;
    char *text = (char *)malloc(size);
    if (!text) return;
    snprintf(text, size, "%s[%s:%d]", a, b, line);
    win_message_box("Tavok", text);
    free(text);
}

uint32_t app_region_from_string(const char *value) {
    if (!value) return 0;
    switch (value[0]) {
        case 'A':
            return 3;
        case 'E':
            return 0;
        case 'J':
            return 2;
        case 'U':
            return 1;
        default:
            return 0;
    }
}

// Window.

// Largest client size the window accepts from the configuration.
constexpr int32_t MAX_CLIENT_SIZE = 16384;

bool app_create_window(void *, AppWindowProc) {
    memset(g_windows, 0, sizeof g_windows);
    WindowRecord &w = g_windows[0];
    w.client_width = g_app.client_width;
    w.client_height = g_app.client_height;
    w.windowed = 1;
    w.style = APP_WINDOW_STYLE;
    int cw = w.client_width, ch = w.client_height;
    if (cw < 1 || cw > MAX_CLIENT_SIZE || ch < 1 || ch > MAX_CLIENT_SIZE) return false;
    if (!win_create("Tavok", cw, ch)) return false;
    w.hwnd = win_sdl_window();
    int frame = 0, caption = 0;
    win_get_frame_metrics(&frame, &caption);
    w.outer_width = cw + 2 * frame;
    w.outer_height = ch + 2 * frame + caption;
    return w.hwnd != nullptr;
}

WindowRecord *app_get_window(int index) {
    return index == 0 ? &g_windows[0] : nullptr;
}

WindowRecord *app_clear_window_handle(int index) {
    WindowRecord *w = app_get_window(index);
    if (w) w->hwnd = nullptr;
    return w;
}

void app_disable_window(int index) {
    if (app_get_window(index)) win_enable(false);
}

void app_enable_window(int index) {
    if (app_get_window(index)) win_enable(true);
}

void app_get_window_rect(int index) {
    if (WindowRecord *w = app_get_window(index)) win_get_window_rect(&w->rect);
}

void app_restore_window_style(int index) {
    WindowRecord *w = app_get_window(index);
    if (!w || !w->hwnd) return;
    int frame = 0, caption = 0;
    win_get_frame_metrics(&frame, &caption);
    win_set_position(w->rect.left + frame, w->rect.top + frame + caption);
    win_set_client_size(w->outer_width - 2 * frame, w->outer_height - 2 * frame - caption);
    win_show();
}

int32_t app_get_client_area_width(int index) {
    if (!app_get_window(index)) return 0;
    int w = 0;
    win_get_client_size(&w, nullptr);
    return w;
}

int32_t app_get_client_area_height(int index) {
    if (!app_get_window(index)) return 0;
    int h = 0;
    win_get_client_size(nullptr, &h);
    return h;
}

bool app_size_needs_fix(int32_t cw, int32_t ch, int32_t bw, int32_t bh, int32_t *wanted_width) {
    if (cw == 0 || ch == 0 || bh == 0) return false;
    int64_t w = (int64_t)bw * ch / bh;
    if (w > MAX_CLIENT_SIZE || w < 1) return false;
    if (wanted_width) *wanted_width = (int32_t)w;
    int64_t d = cw - w;
    return d > 5 || d < -5;
}

void app_on_size(int index, int32_t backbuffer_width, int32_t backbuffer_height, bool maximized) {
    if (!app_get_window(index)) return;
    int cw = 0, ch = 0;
    win_get_client_size(&cw, &ch);
    int32_t w;
    if (!app_size_needs_fix(cw, ch, backbuffer_width, backbuffer_height, &w)) return;
    int frame = 0, caption = 0;
    win_get_frame_metrics(&frame, &caption);
    int outer_width = w + 2 * frame;
    if (maximized) win_set_position((win_get_screen_width() - outer_width) / 2 + frame, caption);
    win_set_client_size(w, ch);
}

void app_term_stub(void) {}

// Back-buffer size for the aspect rule: the renderer's screen size, or the configured size
// while no renderer is plugged in.
static void backbuffer_size(int32_t *w, int32_t *h) {
    AppHooks *hooks = app_hooks();
    *w = hooks->gfx_get_screen_width ? hooks->gfx_get_screen_width() : g_app.client_width;
    *h = hooks->gfx_get_screen_height ? hooks->gfx_get_screen_height() : g_app.client_height;
}

void app_window_proc(const WinEvent *ev) {
    if (!ev) return;
    switch (ev->type) {
        case WIN_EVENT_QUIT:
            win_post_quit();
            break;
        case WIN_EVENT_SIZE: {
            int32_t bw, bh;
            backbuffer_size(&bw, &bh);
            app_on_size(0, bw, bh, ev->maximized);
            break;
        }
        case WIN_EVENT_MOUSE_MOVE:
            mouse_on_move((uint32_t)(uint16_t)ev->x | (uint32_t)(uint16_t)ev->y << 16);
            break;
        case WIN_EVENT_MOUSE_WHEEL:
            mouse_on_wheel((uint32_t)(uint16_t)ev->wheel << 16);
            break;
        default:
            break;
    }
}

// The entry.

int app_win_main(int, char **) {
    memset(&g_app, 0, sizeof g_app);
    app_clear_fatal_state();
    app_set_exe_directory();

    cfg_read("TK01.CF");
    app_set_region(app_region_from_string(cfg_get_string("REGION")));
    g_app.client_width = APP_DEFAULT_CLIENT_WIDTH;
    g_app.client_height = APP_DEFAULT_CLIENT_HEIGHT;
    int32_t v;
    if (cfg_get_int("CLIENTW", &v)) g_app.client_width = v;
    if (cfg_get_int("CLIENTH", &v)) g_app.client_height = v;
    if (g_app.client_width < 1 || g_app.client_width > MAX_CLIENT_SIZE || g_app.client_height < 1 ||
        g_app.client_height > MAX_CLIENT_SIZE) {
        fprintf(stderr, "Tavok: CLIENTW x CLIENTH %dx%d out of range 1..%d, using %dx%d\n",
                g_app.client_width, g_app.client_height, MAX_CLIENT_SIZE, APP_DEFAULT_CLIENT_WIDTH,
                APP_DEFAULT_CLIENT_HEIGHT);
        g_app.client_width = APP_DEFAULT_CLIENT_WIDTH;
        g_app.client_height = APP_DEFAULT_CLIENT_HEIGHT;
    }

    if (!app_create_window(g_app.instance, app_window_proc)) {
        // Without a window there is nothing to show and no way to end the loop.
        fprintf(stderr, "Tavok: cannot create the window\n");
        return 1;
    }
    timer_init_perf_clock(60);
    timer_init(60);

    AppHooks *hooks = app_hooks();
    if (hooks->gfx_init) {
        AppDisplayOptions options = {g_app.client_width, g_app.client_height, g_app.client_width,
                                     g_app.client_height, 0};
        hooks->gfx_init(win_sdl_window(), 0, app_get_client_area_width(0),
                        app_get_client_area_height(0), 32, &options);
    }
    input_create_controller(g_app.instance, win_sdl_window());
    if (hooks->snd_init) hooks->snd_init();
    app_init_input();
    app_init_scene_manager();

    while (!g_app.quit) {
        if (win_peek_event(&g_app.message)) {
            if (g_app.message.type == WIN_EVENT_QUIT) break;
            app_window_proc(&g_app.message);
        } else {
            timer_begin_frame_clock();
            app_update_input();
            input_poll_controller();
            if (!g_app.paused) {
                app_update_scenes();
                if (hooks->snd_update) hooks->snd_update();
                if (hooks->gfx_render_frame) hooks->gfx_render_frame(0);
            }
            timer_wait_next_frame();
            sys_rand(); // advances the sequence the game and the renderer draw from
        }
        app_enable_window(0);
    }

    app_term_scene_manager();
    app_term_input();
    if (hooks->snd_shutdown) hooks->snd_shutdown();
    if (hooks->gfx_shutdown) hooks->gfx_shutdown();
    timer_term();
    timer_term_perf_clock();
    cfg_term();
    app_term_stub();
    input_release_controller();
    app_release_instance_mutex();
    win_destroy();
    return 0;
}
