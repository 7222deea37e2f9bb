#include "game/stage_map.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "platform/sys/sys_file.h"
#include "platform/sys/sys_rand.h"
#include "resource/res_pools.h"
#include "scene/object_manager.h"
#include "scene/sprite2d.h"

static StageMap g_stage;

static StageTile g_tiles[STAGE_TILE_COUNT] = {
    {"bg01", nullptr, 0, 0}, {"hardle", nullptr, 0, 0},  {"nodata", nullptr, 0, 0},
    {"bg01", nullptr, 0, 0}, {"bg01", nullptr, 0, 0},    {"bg01", nullptr, 0, 0},
    {"bg01", nullptr, 0, 0}, {"bg01", nullptr, 0, 0},    {"bg01", nullptr, 0, 0},
    {"bg01", nullptr, 0, 0}, {"wall01t", nullptr, 0, 0}, {"wall01b", nullptr, 0, 0},
};

StageMap *stage_get(void) {
    return &g_stage;
}

const StageTile *stage_tile(int32_t id) {
    if (id < 0 || id >= STAGE_TILE_COUNT) return nullptr;
    return &g_tiles[id];
}

int32_t stage_clamp_int(int32_t v, int32_t lo, int32_t hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

static uint8_t cell_at(const StageMap *m, int32_t column, int32_t row) {
    return m->cells[column * STAGE_MAX_ROWS + row];
}

// The cell value of one map character: digits give 0-9, anything else its distance from '7'
// (so 'A' is 10); the text is read as unsigned bytes.
static uint8_t cell_value(int c) {
    if (c <= '9') return (uint8_t)(c - '0');
    return (uint8_t)(c - '7');
}

bool stage_read_file(StageMap *m, const char *path) {
    m->columns = m->rows = 0;
    std::memset(m->cells, 0, sizeof m->cells);
    FILE *f = sys_fopen(path, "rt");
    if (!f) return false;
    int columns = 0, rows = 0;
    if (std::fscanf(f, "%d", &columns) != 1) columns = 0;
    if (std::fscanf(f, "%d", &rows) != 1) rows = 0;
    // Counts beyond the grid are cut to it; the file's extra columns are skipped with the rest
    // of their line and its extra rows are never read.
    m->columns = stage_clamp_int(columns, 0, STAGE_MAX_COLUMNS);
    m->rows = stage_clamp_int(rows, 0, STAGE_MAX_ROWS);
    bool at_end = false;
    for (int32_t r = 0; r < m->rows && !at_end; ++r) {
        for (int32_t c = 0; c < m->columns && !at_end; ++c) {
            int ch;
            while ((ch = std::fgetc(f)) != EOF && ch < '0') {
            }
            if (ch == EOF) {
                at_end = true;
                break;
            }
            m->cells[c * STAGE_MAX_ROWS + r] = cell_value(ch);
        }
        if (at_end) break;
        int ch;
        while ((ch = std::fgetc(f)) != EOF && ch != '\n' && ch != 0 && ch != SYS_TEXT_EOF_BYTE &&
               ch != '\r') {
        }
        if (ch == EOF) at_end = true;
    }
    std::fclose(f);
    return true;
}

void stage_load_tiles(void) {
    for (StageTile &t : g_tiles) {
        t.crop = res_find_crop("bg", t.crop_name);
        t.overlay = t.overlay_name ? res_find_crop("bg", t.overlay_name) : 0;
    }
}

void stage_load(int32_t stage_number) {
    std::memset(&g_stage, 0, sizeof g_stage);
    g_stage.owner = owner_alloc();
    g_stage.stage_number = stage_number;
    char path[64];
    std::snprintf(path, sizeof path, ".\\bin\\stg%02d.txt", stage_number + 1);
    stage_read_file(&g_stage, path);
    stage_load_tiles();
}

void stage_unload(void) {
    if (g_stage.owner) {
        obj_release_owner(g_stage.owner);
        owner_free(g_stage.owner);
    }
    g_stage.owner = 0;
}

void stage_draw(void) {
    const float s = g_stage.scroll_x;
    const int32_t c0 = (int32_t)s / STAGE_TILE_SIZE;
    const float x0 = -128.0f - (s - (float)(STAGE_TILE_SIZE * c0));
    const int32_t across = app_get_client_width() / STAGE_TILE_SIZE + 4;
    for (int32_t r = 0; r < STAGE_DRAWN_ROWS; ++r) {
        const float y = (float)(STAGE_TILE_SIZE + STAGE_TILE_SIZE * r);
        for (int32_t k = 0; k < across; ++k) {
            const int32_t c = c0 + k - 1;
            if (c < 0 || c >= g_stage.columns) continue;
            const uint8_t id = cell_at(&g_stage, c, r);
            if (id >= STAGE_TILE_COUNT) continue;
            const StageTile &t = g_tiles[id];
            const float x = x0 + (float)(STAGE_TILE_SIZE * k);
            sprite2d_put_crop(g_stage.owner, t.crop, 0xFFFFFFFFu, x, y, 0.0f, 1.0f, 1.0f, 1.0f, 25);
            if (t.overlay_name) {
                SceneObject *o = sprite2d_put_crop(g_stage.owner, t.overlay, 0xFFFFFFFFu, x, y,
                                                   0.0f, 1.0f, 1.0f, 1.0f, 17);
                if (o) obj_set_sub_order(o, 255 - ((int32_t)y / STAGE_TILE_SIZE) * 3);
            }
        }
    }
}

float stage_get_scroll_x(void) {
    return g_stage.scroll_x;
}

void stage_set_scroll(float x, float y) {
    g_stage.scroll_x = x;
    g_stage.scroll_y = y;
}

static int32_t probe(int32_t which, float x, float y) {
    const int32_t iy = (int32_t)y;
    const int32_t m = iy % STAGE_TILE_SIZE;
    const float fx = (float)(int32_t)g_stage.scroll_x + x + (float)((m / 64 + 1) * 32);
    const int32_t column = (int32_t)(fx / 64.0f);
    const int32_t row = iy / STAGE_TILE_SIZE;
    g_stage.probes[which] = {column, row};
    if (column < 0 || column >= g_stage.columns) return 0;
    // A point above or below the grid finds nothing rather than a neighbouring column's cell.
    if (row < 0 || row >= STAGE_MAX_ROWS) return 0;
    const uint8_t id = cell_at(&g_stage, column, row);
    return id < STAGE_TILE_COUNT ? id : 0;
}

int32_t stage_probe_a(float x, float y, float) {
    return probe(0, x, y);
}

int32_t stage_probe_b(float x, float y, float) {
    return probe(1, x, y);
}

float stage_pick_lane(uint32_t forward) {
    const int32_t column = g_stage.probes[1].column;
    const int32_t row = g_stage.probes[1].row;
    const float stay = (float)(STAGE_TILE_SIZE * row + 32);
    const int32_t rows = g_stage.rows, columns = g_stage.columns;
    // Lanes start at row 2; without a lane or a column there is nothing to choose from.
    if (rows < 3 || columns <= 0) return stay;
    int32_t free[STAGE_MAX_ROWS] = {};
    for (int32_t r = 2; r < rows; ++r) {
        int32_t n = 0;
        for (int32_t k = 0; k < 4; ++k) {
            const int32_t c = stage_clamp_int(forward ? column + k : column - k, 0, columns - 1);
            if (cell_at(&g_stage, c, r) != 0) break;
            ++n;
        }
        free[r] = n;
    }
    const bool on_lane = row >= 2 && row < rows;
    if (on_lane && free[row] == 4) return stay;
    if (row >= 3 && row < rows - 1 && free[row] != 0 && free[row + 1] == 0 && free[row - 1] == 0)
        return stay;
    int32_t best = 2;
    for (int32_t r = 3; r < rows; ++r) {
        if (free[r] > free[best])
            best = r;
        else if (free[r] == free[best] && (sys_rand() & 1))
            best = r;
    }
    return (float)(STAGE_TILE_SIZE * best + 32);
}

int32_t stage_file_size(const char *path) {
    FILE *f = sys_fopen(path, "r");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    // A directory opens on some systems and reports no sensible size.
    return n < 0 || n > INT32_MAX ? 0 : (int32_t)n;
}
