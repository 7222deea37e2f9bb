// Scene manager with its table of scene rows, the fatal exit, and the region code.
#pragma once
#include <cstdint>

struct SceneRow {
    void (*init)(void);
    uint32_t (*update)(void); // non-zero when the scene has ended
    void (*exit)(void);
};

constexpr int APP_SCENE_ROW_COUNT = 3;

struct SceneManagerState {
    uint32_t phase; // 0 to 3
    uint32_t scene_index;
};

struct FatalMessageState {
    uint16_t category;
    uint16_t code;
    uint16_t detail;
    uint32_t word;
    char text[64];
};

// The scene table: row 0 the game scene, row 1 empty, row 2 the debug menu scene.
SceneRow *app_scene_table(void);
SceneManagerState *app_get_scene_manager_state(void);

void app_init_scene_manager(void);
void app_term_scene_manager(void);
void app_run_scene_table(void);
// One scene step, then the sound manager's error check (fatal exit 3 on a non-zero code).
void app_update_scenes(void);
int app_scene_ready(void);

// Ends the process with status 1 after one stderr line naming category, code, detail and text.
[[noreturn]] void app_fatal_exit(uint16_t category, uint16_t code, uint16_t detail,
                                 const char *text);
void app_clear_fatal_state(void);
FatalMessageState *app_get_fatal_state(void);
FatalMessageState *app_set_fatal_word(uint32_t word);
uint32_t app_get_fatal_word(void);

void app_set_region(uint32_t region);
uint32_t app_get_region(void);
