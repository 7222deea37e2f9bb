// The main window on SDL2: creation, the event pump (one event per call), keyboard state as
// virtual-key bytes, mouse events, the first joystick polled by hand, and a message box.
#pragma once
#include <cstdint>

struct SDL_Window;

struct WinRect {
    int32_t left, top, right, bottom;
};

// Creates the window (OpenGL, resizable) with the given client size, title and visibility.
bool win_create(const char *title, int client_width, int client_height);
void win_destroy(void);
// The SDL window, so the device layer can make its GL context on it; null before win_create.
SDL_Window *win_sdl_window(void);

void win_get_client_size(int *width, int *height);
// Outer rectangle of the window (frame included) in screen coordinates.
void win_get_window_rect(WinRect *rect);
// Decoration sizes: the side frame and the caption height (0 when the window manager has none).
void win_get_frame_metrics(int *frame, int *caption);
// Width of the usable screen area.
int win_get_screen_width(void);
void win_set_client_size(int width, int height);
void win_set_position(int x, int y);
void win_enable(bool enabled);
void win_show(void);
void win_set_cursor_visible(bool visible);

enum WinEventType {
    WIN_EVENT_NONE = 0,
    WIN_EVENT_QUIT,        // the program is asked to end (window closed, session end)
    WIN_EVENT_SIZE,        // client size changed: width, height, maximized
    WIN_EVENT_MOUSE_MOVE,  // x, y in client pixels
    WIN_EVENT_MOUSE_WHEEL, // wheel: delta in 1/120 notches (one notch = 120)
    WIN_EVENT_KEY,         // key: virtual-key code, down
    WIN_EVENT_OTHER,
};

struct WinEvent {
    WinEventType type;
    int32_t x, y;
    int32_t width, height;
    bool maximized;
    int32_t wheel;
    uint8_t key;
    bool down;
};

// Takes at most one waiting event; false when none waited.
bool win_peek_event(WinEvent *out);
// Posts a quit event (what closing the window does).
void win_post_quit(void);

// Virtual-key code of an SDL key code; 0 when it has none.
uint8_t win_vk_from_sdl_key(int32_t sdl_keycode);

// The 256 virtual-key bytes (bit 7 = down) as the pumped events left them.
void win_get_keyboard_state(uint8_t keys[256]);
// The same, after taking in what the system has sent since (without handling any event).
void win_get_async_keyboard_state(uint8_t keys[256]);
// Tests: a non-null array replaces the keyboard as the source of win_get_keyboard_state.
void win_set_keyboard_override(const uint8_t *keys);

// Joystick state shaped like the original 80-byte record.
struct WinJoystickState {
    int32_t x, y, z;    // x and y scaled to -1000..1000
    int32_t rx, ry, rz; // 0..65535
    int32_t slider[2];
    uint32_t pov[4];     // hundredths of a degree, 0xFFFFFFFF centred
    uint8_t buttons[32]; // 0x80 pressed
};
static_assert(sizeof(WinJoystickState) == 80, "joystick state is 80 bytes");

// Opens the first attached joystick (joystick events switched off, polled by hand); false when
// there is none.
bool win_joystick_open_first(void);
// Reads the current state; false when no joystick is open or it was detached.
bool win_joystick_poll(WinJoystickState *out);
void win_joystick_close(void);

// A modal message box with an OK button.
void win_message_box(const char *caption, const char *text);
