// The stage map: a grid of tiles up to 10 rows high read from a text file per stage, drawn as a
// sideways-scrolling strip, probed by the actors and searched for free lanes.
#pragma once
#include <cstdint>

#include "resource/res_handle.h"
#include "scene/owner_id.h"

constexpr int32_t STAGE_MAX_COLUMNS = 1025;
constexpr int32_t STAGE_MAX_ROWS = 10; // also the column stride of the cells
constexpr int32_t STAGE_TILE_COUNT = 12;
constexpr int32_t STAGE_TILE_SIZE = 64;
constexpr int32_t STAGE_DRAWN_ROWS = 8;

struct StageProbe {
    int32_t column, row;
};

struct StageMap {
    int32_t stage_number;
    OwnerId owner;
    float scroll_x;
    float scroll_y;  // kept; drawing does not use it
    int32_t columns; // 0..1025
    int32_t rows;    // 0..10
    // Cell (c, r) at c * 10 + r. Ids 0-11 are tiles, anything above is no tile.
    uint8_t cells[STAGE_MAX_COLUMNS * STAGE_MAX_ROWS];
    StageProbe probes[2]; // last results of stage_probe_a and stage_probe_b
};

struct StageTile {
    const char *crop_name;
    const char *overlay_name; // null: no overlay
    ResourceHandle crop;
    ResourceHandle overlay;
};

// Zeroes the map, takes an owner and reads ".\bin\stg%02d.txt" (stage number + 1).
void stage_load(int32_t stage_number);
// Reads a stage file into the map without touching owner or tiles; false when it cannot be
// opened (the map then has no cells).
bool stage_read_file(StageMap *map, const char *path);
void stage_unload(void);
void stage_load_tiles(void);
void stage_draw(void);

float stage_get_scroll_x(void);
void stage_set_scroll(float x, float y);

// Tile id under the point (screen x, y), 0 for none.
int32_t stage_probe_a(float x, float y, float z);
int32_t stage_probe_b(float x, float y, float z);
// Centre y of the lane chosen ahead of the last stage_probe_b point (behind it when forward is 0).
float stage_pick_lane(uint32_t forward);

int32_t stage_clamp_int(int32_t v, int32_t lo, int32_t hi);
// Size in bytes, 0 when the file cannot be opened.
int32_t stage_file_size(const char *path);

StageMap *stage_get(void);
const StageTile *stage_tile(int32_t id); // null outside 0..11
