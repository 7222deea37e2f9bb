#include "app/input.h"
#include "app/app.h"
#include "app/app_hooks.h"

#include <cstring>

static KeyboardState g_keyboard;
static MouseState g_mouse;
static GameController g_controller;

// Keyboard.

void input_read_keyboard(KeyboardState *kb) {
    if (!kb) return;
    memcpy(kb->previous_keys, kb->current_keys, sizeof kb->previous_keys);
    win_get_keyboard_state(kb->current_keys);
}

void input_init_keyboard(void) {
    memset(&g_keyboard, 0, sizeof g_keyboard);
    g_keyboard.current = g_keyboard.current_keys;
    g_keyboard.previous = g_keyboard.previous_keys;
    input_read_keyboard(&g_keyboard);
}

void input_update_keyboard(void) {
    input_read_keyboard(&g_keyboard);
}
void input_term_keyboard(void) {}
KeyboardState *input_get_keyboard(void) {
    return &g_keyboard;
}

int input_key_down(int vk) {
    if (vk < 0 || vk > 255) return 0;
    return (g_keyboard.current_keys[vk] >> 7) & 1;
}

bool input_key_pressed(int vk) {
    if (vk < 0 || vk > 255) return false;
    return (g_keyboard.current_keys[vk] & 0x80) && !(g_keyboard.previous_keys[vk] & 0x80);
}

bool input_async_key_down(int vk) {
    if (vk < 0 || vk > 255) return false;
    uint8_t keys[256];
    win_get_async_keyboard_state(keys);
    return (keys[vk] & 0x80) != 0;
}

// Mouse.

void mouse_init(void) {
    memset(&g_mouse, 0, sizeof g_mouse);
    g_mouse.idle_frames = 300;
    g_mouse.cursor_mode = 2;
}

void mouse_term(void) {}
MouseState *mouse_get_state(void) {
    return &g_mouse;
}

void mouse_on_move(uint32_t lparam) {
    g_mouse.previous_x = g_mouse.current_x;
    g_mouse.previous_y = g_mouse.current_y;
    g_mouse.current_x = lparam & 0xFFFFu;
    g_mouse.current_y = lparam >> 16;
    g_mouse.activity = 1;
}

void mouse_on_wheel(uint32_t wparam) {
    g_mouse.raw_wheel_delta = (uint16_t)(wparam >> 16);
    g_mouse.wheel_flag = 1;
    g_mouse.activity = 1;
}

static void set_shown(uint8_t shown) {
    if (shown != g_mouse.shown) win_set_cursor_visible(shown != 0);
    g_mouse.shown = shown;
}

void mouse_update(void) {
    if (g_mouse.wheel_flag) {
        g_mouse.frame_wheel_delta = (int16_t)g_mouse.raw_wheel_delta;
        g_mouse.wheel_flag = 0;
    } else {
        g_mouse.frame_wheel_delta = 0;
    }
    switch (g_mouse.cursor_mode) {
        case 0:
            if (g_mouse.activity)
                g_mouse.idle_frames = 0;
            else if (g_mouse.idle_frames < 300)
                g_mouse.idle_frames++;
            set_shown(g_mouse.idle_frames < 300);
            break;
        case 1:
            set_shown(1);
            break;
        case 2:
            set_shown(0);
            break;
        default:
            break;
    }
    // The cursor is hidden again on every frame while it should stay hidden.
    if (!g_mouse.shown) win_set_cursor_visible(false);
    g_mouse.activity = 0;
}

void mouse_set_cursor_mode(uint32_t mode) {
    g_mouse.cursor_mode = mode;
}
bool mouse_cursor_hidden(void) {
    return g_mouse.shown == 0;
}

void mouse_get_backbuffer_pos(int32_t *x, int32_t *y) {
    AppHooks *h = app_hooks();
    int32_t sw = h->gfx_get_screen_width ? h->gfx_get_screen_width() : app_get_client_width();
    int32_t sh = h->gfx_get_screen_height ? h->gfx_get_screen_height() : app_get_client_height();
    int32_t cw = app_get_client_area_width(0);
    int32_t ch = app_get_client_area_height(0);
    if (x) *x = cw ? (int32_t)((int64_t)sw * g_mouse.current_x / cw) : 0;
    if (y) *y = ch ? (int32_t)((int64_t)sh * g_mouse.current_y / ch) : 0;
}

void mouse_get_prev_pos(uint32_t *x, uint32_t *y) {
    if (x) *x = g_mouse.previous_x;
    if (y) *y = g_mouse.previous_y;
}

int16_t mouse_wheel_delta(void) {
    return g_mouse.frame_wheel_delta;
}

void app_init_input(void) {
    input_init_keyboard();
    mouse_init();
}

void app_update_input(void) {
    input_update_keyboard();
    mouse_update();
}

void app_term_input(void) {
    mouse_term();
    input_term_keyboard();
}

// Controller.

bool input_create_controller(void *, SDL_Window *) {
    memset(&g_controller, 0, sizeof g_controller);
    g_controller.input = true;
    if (!win_joystick_open_first()) {
        // Running without a controller is normal.
        g_controller.input = false;
        return true;
    }
    g_controller.device = true;
    g_controller.ready = 1;
    return true;
}

void input_release_controller(void) {
    g_controller.input = false;
    if (g_controller.device) win_joystick_close();
    g_controller.device = false;
    g_controller.ready = 0;
}

void input_poll_controller(void) {
    if (!g_controller.ready) return;
    WinJoystickState s;
    if (!win_joystick_poll(&s)) {
        // A failed poll keeps the held state but must not repeat this frame's presses.
        g_controller.previous = g_controller.current;
        return;
    }
    g_controller.previous = g_controller.current;
    g_controller.current = s;
}

GameController *input_get_controller(void) {
    return &g_controller;
}

float input_axis_x(void) {
    return (float)g_controller.current.x / 1000.0f;
}
float input_axis_y(void) {
    return (float)g_controller.current.y / 1000.0f;
}

bool input_stick_right(int) {
    return g_controller.current.x >= 900;
}
bool input_stick_left(int) {
    return g_controller.current.x < -899;
}
bool input_stick_down(int) {
    return g_controller.current.y >= 900;
}
bool input_stick_up(int) {
    return g_controller.current.y < -899;
}

bool input_stick_right_pressed(int) {
    return g_controller.current.x >= 900 && g_controller.previous.x < 900;
}
bool input_stick_left_pressed(int) {
    return g_controller.current.x <= -900 && g_controller.previous.x > -900;
}
bool input_stick_down_pressed(int) {
    return g_controller.current.y >= 900 && g_controller.previous.y < 900;
}
bool input_stick_up_pressed(int) {
    return g_controller.current.y <= -900 && g_controller.previous.y > -900;
}

bool input_button_down(int, int button) {
    if (button < 0 || button >= 32) return false;
    return g_controller.current.buttons[button] != 0;
}

bool input_button_pressed(int, int button) {
    if (button < 0 || button >= 32) return false;
    return g_controller.current.buttons[button] != 0 && g_controller.previous.buttons[button] == 0;
}

int input_button_count(void) {
    return 32;
}

// Virtual buttons: the key, or else the controller.

int input_up_held(void) {
    return input_key_down(VK_UP) || input_stick_up(0);
}
int input_up_pressed(void) {
    return input_key_pressed(VK_UP) || input_stick_up_pressed(0);
}
int input_down_held(void) {
    return input_key_down(VK_DOWN) || input_stick_down(0);
}
int input_down_pressed(void) {
    return input_key_pressed(VK_DOWN) || input_stick_down_pressed(0);
}
int input_left_held(void) {
    return input_key_down(VK_LEFT) || input_stick_left(0);
}
int input_left_pressed(void) {
    return input_key_pressed(VK_LEFT) || input_stick_left_pressed(0);
}
int input_right_held(void) {
    return input_key_down(VK_RIGHT) || input_stick_right(0);
}
int input_right_pressed(void) {
    return input_key_pressed(VK_RIGHT) || input_stick_right_pressed(0);
}
int input_button1_held(void) {
    return input_key_down('Z') || input_button_down(0, 0);
}
int input_button1_pressed(void) {
    return input_key_pressed('Z') || input_button_pressed(0, 0);
}
int input_button2_held(void) {
    return input_key_down('X') || input_button_down(0, 1);
}
int input_button2_pressed(void) {
    return input_key_pressed('X') || input_button_pressed(0, 1);
}
