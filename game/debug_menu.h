// The debug menu scene (row 2 of the scene table): lists its entries as text, lets the keyboard
// pick one and runs it like a nested scene until the entry's update reports its end.
#pragma once
#include <cstdint>

constexpr int32_t DEBUG_MENU_WORK_SIZE = 1024;

struct DebugMenuEntry {
    const char *name;
    void (*init)(void *work, int32_t size);
    uint32_t (*update)(void *work, int32_t size); // non-zero when the entry has ended
    void (*exit)(void *work, int32_t size);
    void (*draw)(void *work, int32_t size);
};

struct DebugMenuMode {
    uint32_t phase; // 0 list, 1 running
    int32_t selected;
    uint32_t running;
    uint8_t work[DEBUG_MENU_WORK_SIZE];
};

void game_debug_menu_init(void);
uint32_t game_debug_menu_update(void);
void game_debug_menu_exit(void);
void game_debug_menu_draw(void);
void game_debug_post(uint32_t code);

void game_debug_entry_init(void *work, int32_t size);
uint32_t game_debug_entry_update(void *work, int32_t size);
void game_debug_entry_exit(void *work, int32_t size);

// Tests: the entry table (null puts the shipped one back) and the mode record.
void game_debug_menu_set_entries(const DebugMenuEntry *entries, int32_t count);
DebugMenuMode *game_debug_menu_mode(void);

bool dm_key_down_pressed(void);
bool dm_key_up_pressed(void);
bool dm_key_left_pressed(void);
bool dm_key_right_pressed(void);
bool dm_key_enter_pressed(void);
bool dm_key_escape_pressed(void);
bool dm_key_space_pressed(void);
bool dm_key_left_held(void);
bool dm_key_right_held(void);
bool dm_key_down_held(void);
bool dm_key_up_held(void);
bool dm_key_enter_held(void);
bool dm_key_space_held(void);
