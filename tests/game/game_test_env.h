// Shared by the game tests: a scratch run folder holding a small data set of our own (every
// group and crop the game asks for on one picture, the sounds, ten stage maps and the shaders),
// one hidden 800 by 600 window with the whole renderer and the sound manager (null driver)
// started once, the keyboard driven from the test, and frames stepped like the main loop.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

constexpr int GAME_TEST_WIDTH = 800;
constexpr int GAME_TEST_HEIGHT = 600;

// Writes the run folder, enters it and starts everything; false when no display or device.
bool game_test_engine(void);
const std::string &game_test_run_dir(void);
// Writes ".\bin\stg%02d.txt" for a stage from its rows (the header is made from them).
void game_test_write_stage(int stage_number, const char *const *rows, int row_count);

// Holds exactly these virtual keys in the next input read, then reads the keyboard.
void game_test_keys(std::initializer_list<int> keys);
// One main-loop frame (input already read): scene update, audio, renderer, rand().
void game_test_frame(void);
// n frames with these keys held for all of them (so only the first sees them pressed).
void game_test_hold(std::initializer_list<int> keys, int n);
// A frame without keys, then one with the keys newly pressed.
void game_test_press(std::initializer_list<int> keys);

// Holds the keys that steer the player onto the target, running fast, and reads them.
void game_test_chase_keys(void);

// Writes sav.bin in the current directory: value 0 = open, then 7, 8, 9, 10 and the CRC
// (spoilt when asked), cut to `bytes`.
void game_test_write_save(uint32_t open, bool good_crc = true, int bytes = 24);
void game_test_remove_save(void);
