// Program entry, main window and main loop, and the application record behind small accessors.
#pragma once
#include <cstdint>
#include "platform/window/window.h"

constexpr int APP_EXE_DIRECTORY_SIZE = 261;
constexpr int APP_DEFAULT_CLIENT_WIDTH = 800;
constexpr int APP_DEFAULT_CLIENT_HEIGHT = 600;
// Window style word of the main window (visible, system menu, sizing frame, minimize and
// maximize boxes); kept for app_restore_window_style.
constexpr uint32_t APP_WINDOW_STYLE = 0x100F0000;

struct AppState {
    void *instance;
    WinEvent message; // the event record that every pump of the program fills
    void *instance_mutex;
    uint32_t paused; // non-zero skips the scene, audio and renderer steps; nothing sets it
    int32_t client_width;
    int32_t client_height;
    uint32_t quit;
};

struct WindowRecord {
    SDL_Window *hwnd;
    uint32_t style;
    uint32_t windowed;
    int32_t client_width, client_height;
    int32_t outer_width, outer_height;
    WinRect rect; // filled by app_get_window_rect
};

// The whole program run: start-up, main loop, shutdown. Returns the exit status: 0, or 1 when
// the window cannot be made.
int app_win_main(int argc, char **argv);
// Window procedure: handles one event taken by the pump.
void app_window_proc(const WinEvent *ev);

int32_t app_get_client_width(void);
int32_t app_get_client_height(void);
WinEvent *app_get_message(void);
void app_request_quit(void);
AppState *app_get_state(void);

char *app_get_exe_directory(void);
// Enters the program's folder, or its parent when that has no "bin" folder, and keeps the
// result in the exe directory buffer.
void app_set_exe_directory(void);
// The same choice for a given program path (empty or null: the current directory stays).
void app_set_exe_directory_from(const char *module_path);
// Tests: a program path used in place of the running program's own (null: the real one).
void app_set_module_path_override(const char *path);
bool app_restore_exe_directory(void);
void app_release_instance_mutex(void);
bool app_is_messagebox_enabled(void);
// Shows "a[b:line]" in a message box titled "Tavok".
void app_show_error_box(const char *a, const char *b, int line);

typedef void (*AppWindowProc)(const WinEvent *ev);
bool app_create_window(void *instance, AppWindowProc proc);
WindowRecord *app_get_window(int index);
WindowRecord *app_clear_window_handle(int index);
void app_disable_window(int index);
void app_enable_window(int index);
void app_get_window_rect(int index);
void app_restore_window_style(int index);
int32_t app_get_client_area_width(int index);
int32_t app_get_client_area_height(int index);
// Keeps the client area in the back buffer's aspect ratio.
void app_on_size(int index, int32_t backbuffer_width, int32_t backbuffer_height, bool maximized);
// The width rule of app_on_size: true and *wanted_width when a client area cw x ch must be
// resized for a back buffer bw x bh (mismatch of more than 5 pixels).
bool app_size_needs_fix(int32_t cw, int32_t ch, int32_t bw, int32_t bh, int32_t *wanted_width);
void app_term_stub(void);

// Region from the REGION value: first character A 3, E 0, J 2, U 1, anything else 0.
uint32_t app_region_from_string(const char *value);
