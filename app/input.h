// Keyboard, mouse and game controller, read once per frame, and the six virtual buttons.
#pragma once
#include <cstdint>
#include "platform/window/window.h"

// Virtual-key codes the program reads.
constexpr int VK_RETURN = 13;
constexpr int VK_ESCAPE = 27;
constexpr int VK_SPACE = 32;
constexpr int VK_LEFT = 37;
constexpr int VK_UP = 38;
constexpr int VK_RIGHT = 39;
constexpr int VK_DOWN = 40;
constexpr int VK_F1 = 112;
constexpr int VK_F9 = 120;

struct KeyboardState {
    uint8_t current_keys[256];
    uint8_t previous_keys[256];
    uint8_t *current;
    uint8_t *previous;
};

struct GameController {
    bool input;  // the controller subsystem is open
    bool device; // a controller is open
    WinJoystickState current;
    WinJoystickState previous;
    uint32_t ready;
};

struct MouseState {
    uint16_t raw_wheel_delta;
    int16_t frame_wheel_delta;
    uint16_t wheel_flag;
    uint32_t current_x, current_y;
    uint32_t previous_x, previous_y;
    uint8_t shown;
    uint32_t cursor_mode; // 0 hide after 300 still frames, 1 always shown, 2 always hidden
    uint32_t idle_frames;
    uint8_t activity;
};

void input_init_keyboard(void);
void input_read_keyboard(KeyboardState *kb);
void input_update_keyboard(void);
void input_term_keyboard(void);
int input_key_down(int vk);
bool input_key_pressed(int vk);
bool input_async_key_down(int vk);
KeyboardState *input_get_keyboard(void);

void mouse_init(void);
void mouse_term(void);
// lparam: x in the low 16 bits, y in the high 16 bits (client pixels).
void mouse_on_move(uint32_t lparam);
// wparam: the wheel delta in the high 16 bits.
void mouse_on_wheel(uint32_t wparam);
void mouse_update(void);
void mouse_set_cursor_mode(uint32_t mode);
bool mouse_cursor_hidden(void);
void mouse_get_backbuffer_pos(int32_t *x, int32_t *y);
void mouse_get_prev_pos(uint32_t *x, uint32_t *y);
int16_t mouse_wheel_delta(void);
MouseState *mouse_get_state(void);

void app_init_input(void);
void app_update_input(void);
void app_term_input(void);

bool input_create_controller(void *instance, SDL_Window *window);
void input_release_controller(void);
void input_poll_controller(void);
GameController *input_get_controller(void);
float input_axis_x(void);
float input_axis_y(void);
bool input_stick_right(int index);
bool input_stick_left(int index);
bool input_stick_down(int index);
bool input_stick_up(int index);
bool input_stick_right_pressed(int index);
bool input_stick_left_pressed(int index);
bool input_stick_down_pressed(int index);
bool input_stick_up_pressed(int index);
bool input_button_down(int index, int button);
bool input_button_pressed(int index, int button);
int input_button_count(void);

int input_up_held(void);
int input_up_pressed(void);
int input_down_held(void);
int input_down_pressed(void);
int input_left_held(void);
int input_left_pressed(void);
int input_right_held(void);
int input_right_pressed(void);
int input_button1_held(void);
int input_button1_pressed(void);
int input_button2_held(void);
int input_button2_pressed(void);
