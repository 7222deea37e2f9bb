// The game scene (row 0 of the scene table): title, selection of one of ten entries, the timed
// chase on a stage map, and the picture viewer of a won entry. Progress comes from "sav.bin".
#pragma once
#include <cstdint>

#include "resource/res_pools.h"
#include "scene/owner_id.h"

constexpr int32_t GAME_ENTRY_COUNT = 10;
constexpr int32_t GAME_PLAY_TIME = 6000; // frames
constexpr int32_t GAME_COUNT_IN = 240;   // frames before the time runs
constexpr uint32_t GAME_MUSIC_CHASE = 0x80000000u;
constexpr uint32_t GAME_MUSIC_SELECT = 0x80000001u;

enum GamePhase : uint8_t {
    GAME_PHASE_START = 0,
    GAME_PHASE_TITLE = 1,
    GAME_PHASE_TO_SELECT = 2,
    GAME_PHASE_SELECT = 3,
    GAME_PHASE_CHASE_START = 4,
    GAME_PHASE_PLAY = 5,
    GAME_PHASE_PICTURE_START = 6,
    GAME_PHASE_PICTURE = 7,
};

struct SaveData {
    uint32_t values[5]; // value 0: highest open entry (10: all open)
    uint32_t crc;       // CRC-32 of the 20 bytes before it
};

struct GameSceneRecord {
    uint8_t phase;
    ResourceMark scene_mark;
    ResourceMark groups_mark;
    ResourceMark play_mark;
    ResourceMark picture_mark;
    OwnerId owner;
    uint32_t frame_counter;
    int32_t selected;
    float picture_angle;
    float picture_zoom;
    float picture_ease;
    uint32_t saved_values[5];
    uint32_t saved_crc;
    int32_t play_frames;
    int32_t time_left;
    int32_t time_total;
    int32_t end_counter;
    float pan_x, pan_y;
};

struct GameEntry {
    uint32_t stage;
    uint32_t stage2; // equal to stage; read by nothing
    uint32_t kind;   // catch style of the target and the player
    const char *label;
    const char *picture_group;
    const char *face_name; // crop of "face"/"faceg" and the target's own texture group
};

void game_scene_init(void);
uint32_t game_scene_update(void);
void game_scene_exit(void);

void game_post_sound(uint32_t code);
// Plays an effect slot of the sound manager once, straight from the main thread.
void game_play_slot(int32_t slot);
// Sees every slot the game plays before it is played (tests record the cues); null for none.
void game_set_slot_hook(void (*hook)(int32_t slot));
void game_load_save(void);

int32_t game_get_open_count(void);
const char *game_entry_face_name(int32_t row); // null outside 0..9
uint32_t game_entry_kind(int32_t row);         // 0 outside 0..9
uint32_t game_selected_kind(void);
int32_t game_get_end_counter(void);
const GameEntry *game_entry(int32_t row); // null outside 0..9

GameSceneRecord *game_scene_record(void);
