#include "app/input.h"
#include "platform/window/window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <cstring>

namespace {

uint8_t g_keys[256];

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        memset(g_keys, 0, sizeof g_keys);
        win_set_keyboard_override(g_keys);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
        if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real controller is attached";
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
        ASSERT_GE(index, 0) << SDL_GetError();
        ASSERT_TRUE(input_create_controller(nullptr, nullptr));
        ASSERT_EQ(input_get_controller()->ready, 1u);
        joy = SDL_JoystickOpen(index);
        ASSERT_NE(joy, nullptr);
        app_init_input();
    }
    void TearDown() override {
        app_term_input();
        if (joy) SDL_JoystickClose(joy);
        input_release_controller();
        if (index >= 0) SDL_JoystickDetachVirtual(index);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        win_set_keyboard_override(nullptr);
    }
    // One frame: keyboard and mouse, then the controller, as the main loop does.
    void frame() {
        app_update_input();
        input_poll_controller();
    }
    void key(int vk, bool down) { g_keys[vk] = down ? 0x80 : 0; }
    // Raw axis value that the layer scales onto `v` (-1000..1000).
    static int16_t raw_for(int v) {
        for (int raw = -32768; raw <= 32767; ++raw)
            if ((int32_t)(-1000 + ((int64_t)raw + 32768) * 2000 / 65535) == v) return (int16_t)raw;
        return 0;
    }
    void stick(int x, int y) {
        SDL_JoystickSetVirtualAxis(joy, 0, raw_for(x));
        SDL_JoystickSetVirtualAxis(joy, 1, raw_for(y));
    }
    void button(int b, bool down) { SDL_JoystickSetVirtualButton(joy, b, down ? 1 : 0); }
    int index = -1;
    SDL_Joystick *joy = nullptr;
};

} // namespace

TEST_F(InputTest, StickEdgeAtMinus900) {
    stick(0, 0);
    frame();
    stick(-899, 0);
    frame();
    EXPECT_EQ(input_get_controller()->current.x, -899); // the scaling reaches the record
    EXPECT_FALSE(input_stick_left(0));
    EXPECT_FALSE(input_stick_left_pressed(0));
    EXPECT_EQ(input_left_held(), 0);
    stick(-900, 0);
    frame();
    EXPECT_TRUE(input_stick_left(0));
    EXPECT_TRUE(input_stick_left_pressed(0));
    EXPECT_EQ(input_left_pressed(), 1);
    frame();
    EXPECT_EQ(input_left_held(), 1);
    EXPECT_EQ(input_left_pressed(), 0); // only in the first frame

    stick(1000, 1000);
    frame();
    EXPECT_EQ(input_right_pressed(), 1);
    EXPECT_EQ(input_down_pressed(), 1);
    EXPECT_NEAR(input_axis_x(), 1.0f, 1e-6f);
    stick(0, -1000);
    frame();
    EXPECT_EQ(input_up_pressed(), 1);
    EXPECT_NEAR(input_axis_y(), -1.0f, 1e-6f);
    EXPECT_EQ(input_right_held(), 0);
}

TEST_F(InputTest, PressedWhileTheOtherSourceIsHeld) {
    button(0, true);
    frame();
    EXPECT_EQ(input_button1_pressed(), 1);
    frame();
    EXPECT_EQ(input_button1_pressed(), 0);
    key('Z', true); // the key goes down while the button is held
    frame();
    EXPECT_EQ(input_button1_held(), 1);
    EXPECT_EQ(input_button1_pressed(), 1);
    frame();
    EXPECT_EQ(input_button1_pressed(), 0);
    button(0, false);
    frame();
    button(0, true); // the button goes down again while the key is held
    frame();
    EXPECT_EQ(input_button1_pressed(), 1);

    key(VK_UP, true);
    stick(0, -1000);
    frame();
    EXPECT_EQ(input_up_pressed(), 1);
    key('X', true);
    frame();
    EXPECT_EQ(input_button2_pressed(), 1);
    EXPECT_EQ(input_button2_held(), 1);
    EXPECT_FALSE(input_button_down(0, 1));
    EXPECT_FALSE(input_button_down(0, 40)); // out of range is simply up
    EXPECT_EQ(input_button_count(), 32);
}

TEST_F(InputTest, KeysAndDetachedController) {
    key(VK_F1, true);
    frame();
    EXPECT_EQ(input_key_down(VK_F1), 1);
    EXPECT_TRUE(input_key_pressed(VK_F1));
    frame();
    EXPECT_FALSE(input_key_pressed(VK_F1));
    EXPECT_EQ(input_key_down(-1), 0);
    EXPECT_EQ(input_key_down(300), 0);

    button(1, true);
    frame();
    EXPECT_TRUE(input_button_down(0, 1));
    // A detached controller reads as a failed poll: the held state stays, the press does not
    // repeat.
    SDL_JoystickClose(joy);
    joy = nullptr;
    SDL_JoystickDetachVirtual(index);
    index = -1;
    frame();
    EXPECT_TRUE(input_button_down(0, 1));
    EXPECT_FALSE(input_button_pressed(0, 1));
}

TEST(InputNoController, EveryControllerTestIsFalse) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real controller is attached";
    ASSERT_TRUE(input_create_controller(nullptr, nullptr));
    EXPECT_EQ(input_get_controller()->ready, 0u);
    input_poll_controller();
    EXPECT_FALSE(input_stick_left(0) || input_stick_right(0) || input_stick_up(0) ||
                 input_stick_down(0) || input_button_down(0, 0));
    EXPECT_EQ(input_get_controller()->current.x, 0);
    input_release_controller();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

TEST(Mouse, CursorModesAndWheel) {
    mouse_init();
    EXPECT_EQ(mouse_get_state()->cursor_mode, 2u);
    mouse_update();
    EXPECT_TRUE(mouse_cursor_hidden());
    mouse_set_cursor_mode(1);
    mouse_update();
    EXPECT_FALSE(mouse_cursor_hidden());

    mouse_set_cursor_mode(0);
    mouse_on_move(20 | 30 << 16);
    mouse_update();
    EXPECT_FALSE(mouse_cursor_hidden());
    for (int i = 0; i < 299; ++i) mouse_update();
    EXPECT_FALSE(mouse_cursor_hidden());
    mouse_update(); // the 300th still frame
    EXPECT_TRUE(mouse_cursor_hidden());
    mouse_on_move(40 | 50 << 16);
    mouse_update();
    EXPECT_FALSE(mouse_cursor_hidden());
    uint32_t px, py;
    mouse_get_prev_pos(&px, &py);
    EXPECT_EQ(px, 20u);
    EXPECT_EQ(py, 30u);

    mouse_on_wheel((uint32_t)(uint16_t)-120 << 16);
    EXPECT_EQ(mouse_wheel_delta(), 0); // not before the frame's update
    mouse_update();
    EXPECT_EQ(mouse_wheel_delta(), -120);
    mouse_update();
    EXPECT_EQ(mouse_wheel_delta(), 0); // exactly one frame
    mouse_on_wheel(240u << 16);
    mouse_update();
    EXPECT_EQ(mouse_wheel_delta(), 240);
}

TEST(Window, VirtualKeyTable) {
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_LEFT), 37);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_UP), 38);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_RIGHT), 39);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_DOWN), 40);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_z), 90);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_x), 88);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_F1), 112);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_F9), 120);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_F12), 123);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_RETURN), 13);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_ESCAPE), 27);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_SPACE), 32);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_0), '0');
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_a), 'A');
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_KP_5), 101);
    EXPECT_EQ(win_vk_from_sdl_key(SDLK_UNKNOWN), 0);
}
