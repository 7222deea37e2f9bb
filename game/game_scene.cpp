#include "game/game_scene.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/input.h"
#include "app/settings.h"
#include "audio/sound_manager.h"
#include "audio/sound_queue.h"
#include "game/actors.h"
#include "game/asset_groups.h"
#include "game/game_util.h"
#include "game/stage_map.h"
#include "math/mathf.h"
#include "platform/sys/sys_file.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/view.h"
#include "render/view_light.h"
#include "resource/loader.h"
#include "scene/sprite2d.h"

static GameSceneRecord g_game;

static const GameEntry g_entries[GAME_ENTRY_COUNT] = {
    {4, 4, 0, "00", "cgchr00p1", "chr00"}, {0, 0, 1, "01", "cgchr01p1", "chr01"},
    {1, 1, 1, "02", "cgchr02p1", "chr02"}, {2, 2, 1, "03", "cgchr03p1", "chr03"},
    {3, 3, 2, "04", "cgchr04p1", "chr04"}, {5, 5, 0, "05", "cgchr05p1", "chr05"},
    {6, 6, 0, "06", "cgchr06p1", "chr06"}, {7, 7, 0, "07", "cgchr07p1", "chr07"},
    {8, 8, 0, "08", "cgchr08p1", "chr08"}, {9, 9, 0, "09", "cgchr09p1", "chr09"},
};

static const char *const k_scene_groups[] = {"t", "bg", "face", "faceg", "moji", "player"};
static const char *const k_count_in[4] = {"n3", "n2", "n1", "ng"};

GameSceneRecord *game_scene_record(void) {
    return &g_game;
}

const GameEntry *game_entry(int32_t row) {
    if (row < 0 || row >= GAME_ENTRY_COUNT) return nullptr;
    return &g_entries[row];
}

int32_t game_get_open_count(void) {
    return (int32_t)g_game.saved_values[0];
}

const char *game_entry_face_name(int32_t row) {
    const GameEntry *e = game_entry(row);
    return e ? e->face_name : nullptr;
}

uint32_t game_entry_kind(int32_t row) {
    const GameEntry *e = game_entry(row);
    return e ? e->kind : 0;
}

uint32_t game_selected_kind(void) {
    return game_entry_kind(g_game.selected);
}

int32_t game_get_end_counter(void) {
    return g_game.end_counter;
}

void game_post_sound(uint32_t code) {
    snd_post_command(code, 0);
}

static void (*g_slot_hook)(int32_t slot);

void game_set_slot_hook(void (*hook)(int32_t slot)) {
    g_slot_hook = hook;
}

void game_play_slot(int32_t slot) {
    if (g_slot_hook) g_slot_hook(slot);
    if (SoundManager *m = snd_get_manager())
        snd_play_slot(m, slot, false, 0.0f, SND_EFFECT_DEFAULT);
}

void game_load_save(void) {
    uint8_t bytes[sizeof(SaveData)];
    size_t got = 0;
    if (FILE *f = sys_fopen("sav.bin", "rb")) {
        got = std::fread(bytes, 1, sizeof bytes, f);
        std::fclose(f);
    }
    if (got != sizeof bytes) return;
    uint32_t words[6];
    for (int i = 0; i < 6; ++i)
        words[i] = (uint32_t)bytes[4 * i] | (uint32_t)bytes[4 * i + 1] << 8 |
                   (uint32_t)bytes[4 * i + 2] << 16 | (uint32_t)bytes[4 * i + 3] << 24;
    if (app_crc32(bytes, 20) != words[5]) return;
    // The open count indexes the entry table (10: all open). A larger count in a file whose CRC
    // matches opens every entry: the operator's file is kept, its count cut to the table.
    if (words[0] > (uint32_t)GAME_ENTRY_COUNT) words[0] = (uint32_t)GAME_ENTRY_COUNT;
    std::memcpy(g_game.saved_values, words, sizeof g_game.saved_values);
    g_game.saved_crc = words[5];
}

static void load_groups_and_wait(const char *const *names, int32_t count) {
    game_load_texture_groups(names, count);
    while (loader_step() != 0) {
    }
}

void game_scene_init(void) {
    std::memset(&g_game, 0, sizeof g_game);
    res_mark(&g_game.scene_mark);
    g_game.owner = owner_alloc();
    mouse_set_cursor_mode(1);
    game_post_sound(SND_CMD_MUSIC_STOP);
    const Vec3 zero = {0.0f, 0.0f, 0.0f};
    view_set_camera_mode(0, 0);
    view_set_position_angles(0, &zero, &zero);
    view_set_fog_mode(0, 0);
    view_set_fov(0, 0.17453294f);
    gfx_set_scene_drawing(1);
    res_mark(&g_game.groups_mark);
    load_groups_and_wait(k_scene_groups, (int32_t)(sizeof k_scene_groups / sizeof *k_scene_groups));
    game_load_save();
}

static void tear_down_chase(void) {
    stage_unload();
    player_destroy();
    board_destroy();
    res_release_to_mark(&g_game.play_mark);
}

void game_scene_exit(void) {
    // A chase still running keeps actors whose resources go with the scene's mark below.
    if (g_game.phase == GAME_PHASE_PLAY) tear_down_chase();
    obj_release_owner(g_game.owner);
    owner_free(g_game.owner);
    res_release_to_mark(&g_game.scene_mark);
    game_post_sound(SND_CMD_MUSIC_STOP);
    snd_stop_effects();
    gfx_set_scene_drawing(1);
}

static void put_crop(const char *group, const char *name, uint32_t colour, float x, float y,
                     float ax, float ay, float scale, int32_t layer) {
    sprite2d_put_crop(g_game.owner, res_find_crop(group, name), colour, x, y, ax, ay, scale, scale,
                      layer);
}

static void put_rect(uint32_t colour, float x, float y, float w, float h, float ax, float ay,
                     int32_t layer) {
    sprite2d_put_rect(g_game.owner, colour, x, y, w, h, ax, ay, 1.0f, 1.0f, layer);
}

static void update_select(int32_t w, int32_t h) {
    const int32_t open = game_get_open_count();
    const bool all_open = open == GAME_ENTRY_COUNT;
    put_crop("moji", "sel", 0xFFFFFFFFu, (float)(w / 2), 64.0f, 0.5f, 0.5f, 1.0f, 15);
    if (all_open)
        put_crop("moji", "if", 0xFFFFFFFFu, (float)(w / 2), (float)(h - 80), 0.5f, 0.5f, 1.0f, 15);
    put_crop("t", all_open ? "s2" : "s1", 0xFFFFFFFFu, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 25);

    const int32_t n = game_wrap_int(g_game.selected + input_right_pressed() - input_left_pressed() +
                                        5 * input_down_pressed() - 5 * input_up_pressed(),
                                    0, GAME_ENTRY_COUNT - 1);
    if (n <= open) {
        if (n != g_game.selected) game_play_slot(6);
        g_game.selected = n;
    }

    for (int32_t i = 0; i < GAME_ENTRY_COUNT; ++i) {
        const float x = (float)((w / 2 - 340) + (i % 5) * 136);
        const float y = (float)((h / 2 - 136) + (i / 5) * 136);
        if (i < open) put_crop("player", "cm", 0xFFFFFFFFu, x, y, 0.0f, 0.0f, 1.0f, 19);
        put_crop(i <= open ? "face" : "faceg", g_entries[i].face_name, 0xFFFFFFFFu, x, y, 0.0f,
                 0.0f, 2.0f, 20);
        put_rect(0xFF000000u, x - 1.0f, y - 1.0f, 130.0f, 130.0f, 0.0f, 0.0f, 22);
        if (i == g_game.selected) {
            const float t =
                (1.0f + mathf_sin_table_deg((float)g_game.frame_counter * 60.0f)) * 0.5f;
            put_rect(game_colour_lerp(0xFF8080FFu, 0xFF0000FFu, t), x - 4.0f, y - 4.0f, 136.0f,
                     136.0f, 0.0f, 0.0f, 21);
        }
    }

    if (input_button1_pressed()) {
        game_play_slot(7);
        game_post_sound(SND_CMD_MUSIC_STOP);
        g_game.phase = GAME_PHASE_CHASE_START;
    }
    if (input_button2_pressed() && g_game.selected < open) g_game.phase = GAME_PHASE_PICTURE_START;
}

static void update_play(int32_t w, int32_t h) {
    stage_draw();
    put_crop("moji", "metor", 0xFFFFFFFFu, 0.0f, (float)h, 0.0f, 1.0f, 1.0f, 15);

    const int32_t pf = g_game.play_frames;
    if (pf < GAME_COUNT_IN) {
        if (pf == 0 || pf == 59 || pf == 119) game_play_slot(5);
        if (pf == 179) {
            snd_post_command(SND_CMD_MUSIC_PLAY, GAME_MUSIC_CHASE);
            game_play_slot(1);
        }
        const float t = (float)(pf % 60) / 60.0f;
        const uint32_t alpha = (uint32_t)(int32_t)(255.0f - 255.0f * t);
        const int32_t sh = gfx_get_screen_height();
        put_crop("moji", k_count_in[pf / 60], (alpha << 24) | 0x00FFFFFFu, (float)(w / 2),
                 (float)((3 * sh) / 4), 0.5f, 0.5f, 1.0f + 0.2f * t, 13);
    } else if (!board_is_stopped() && board_finish_counter() == 0 && g_game.time_left > 0) {
        --g_game.time_left;
    }

    const int32_t total = g_game.time_total > 0 ? g_game.time_total : GAME_PLAY_TIME;
    const int32_t n = g_game.time_left * 20 / total;
    const int32_t step = total / 20 > 0 ? total / 20 : 1;
    for (int32_t k = 0; k < 20 && g_game.time_left != 0; ++k) {
        if (k > n) break;
        const uint32_t colour =
            k == n ? game_colour_lerp(0xFFFF0000u, 0xFF00FF00u,
                                      (float)(g_game.time_left % step) / (float)step)
                   : 0xFF00FF00u;
        put_rect(colour, 20.0f + 38.0f * (float)k, (float)(h - 64), 34.0f, 50.0f, 0.0f, 0.0f, 22);
    }

    ++g_game.play_frames;

    const int32_t finish = board_finish_counter();
    if (finish >= 601) {
        tear_down_chase();
        g_game.phase = GAME_PHASE_PICTURE_START;
    } else if (finish == 0 && g_game.time_left == 0) {
        if (++g_game.end_counter == 1) {
            game_post_sound(SND_CMD_MUSIC_STOP);
            game_play_slot(1);
        }
        put_crop("moji", "go", 0xFFFFFFFFu, (float)(w / 2), (float)(h / 2), 0.5f, 0.5f, 1.0f, 15);
        if (g_game.end_counter > 300) {
            tear_down_chase();
            g_game.phase = GAME_PHASE_TO_SELECT;
        }
    }
}

static void update_picture(int32_t w, int32_t h) {
    if (input_button1_pressed()) {
        res_release_to_mark(&g_game.picture_mark);
        g_game.phase = GAME_PHASE_TO_SELECT;
        return;
    }
    if (input_button2_held()) {
        g_game.pan_x += (float)(input_left_held() - input_right_held()) * 4.0f;
        g_game.pan_y += (float)(input_down_held() - input_up_held()) * 4.0f;
    } else {
        if (input_up_held()) g_game.picture_zoom *= 1.01f;
        if (input_down_held()) g_game.picture_zoom *= 0.99f;
        g_game.picture_zoom = game_clampf(g_game.picture_zoom, 0.3f, 3.0f);
        g_game.picture_angle += (float)(input_left_held() - input_right_held()) * 0.06283186f;
    }
    g_game.picture_ease += (1.0f - g_game.picture_ease) * 0.05f;
    const float s = g_game.picture_zoom * g_game.picture_ease;
    const char *group = g_entries[g_game.selected].picture_group;
    SceneObject *o = sprite2d_put_crop(g_game.owner, res_find_crop(group, group), 0xFFFFFFFFu,
                                       g_game.pan_x * s + (float)(w / 2),
                                       g_game.pan_y * s + (float)(h / 2), 0.5f, 0.5f, s, s, 20);
    if (o) sprite2d_set_rotation(o, g_game.picture_angle);
}

uint32_t game_scene_update(void) {
    gfx_set_scene_drawing(1);
    const int32_t w = app_get_client_width(), h = app_get_client_height();
    switch (g_game.phase) {
        case GAME_PHASE_START:
            g_game.phase = GAME_PHASE_TITLE;
            break;
        case GAME_PHASE_TITLE:
            put_crop("t", "t", 0xFFFFFFFFu, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 20);
            if (input_button1_pressed()) g_game.phase = GAME_PHASE_TO_SELECT;
            break;
        case GAME_PHASE_TO_SELECT:
            snd_post_command(SND_CMD_MUSIC_PLAY, GAME_MUSIC_SELECT);
            g_game.selected = 0;
            g_game.phase = GAME_PHASE_SELECT;
            break;
        case GAME_PHASE_SELECT:
            update_select(w, h);
            break;
        case GAME_PHASE_CHASE_START:
            res_mark(&g_game.play_mark);
            player_create();
            board_create(g_game.selected);
            stage_load((int32_t)g_entries[g_game.selected].stage);
            g_game.end_counter = 0;
            g_game.time_left = g_game.time_total = GAME_PLAY_TIME;
            g_game.play_frames = 0;
            g_game.phase = GAME_PHASE_PLAY;
            break;
        case GAME_PHASE_PLAY:
            update_play(w, h);
            break;
        case GAME_PHASE_PICTURE_START: {
            res_mark(&g_game.picture_mark);
            const char *group = g_entries[g_game.selected].picture_group;
            load_groups_and_wait(&group, 1);
            game_play_slot(8);
            g_game.picture_angle = 0.69813174f;
            g_game.picture_ease = 5.0f;
            g_game.picture_zoom = 1.0f;
            g_game.pan_x = g_game.pan_y = 0.0f;
            g_game.phase = GAME_PHASE_PICTURE;
            update_picture(w, h);
            break;
        }
        case GAME_PHASE_PICTURE:
            update_picture(w, h);
            break;
        default:
            break;
    }
    ++g_game.frame_counter;
    return 0;
}
