#include "game/debug_menu.h"

#include <cstring>

#include "app/input.h"
#include "audio/sound_manager.h"
#include "audio/sound_queue.h"
#include "game/game_scene.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/text_queue.h"
#include "scene/object_manager.h"

static const DebugMenuEntry g_shipped[] = {
    {"GM", game_debug_entry_init, game_debug_entry_update, game_debug_entry_exit, nullptr},
};

static DebugMenuMode g_menu;
static const DebugMenuEntry *g_entries = g_shipped;
static int32_t g_entry_count = 1;

void game_debug_menu_set_entries(const DebugMenuEntry *entries, int32_t count) {
    g_entries = entries ? entries : g_shipped;
    g_entry_count = entries ? count : 1;
}

DebugMenuMode *game_debug_menu_mode(void) {
    return &g_menu;
}

void game_debug_entry_init(void *, int32_t) {
    game_scene_init();
}

uint32_t game_debug_entry_update(void *, int32_t) {
    return game_scene_update();
}

void game_debug_entry_exit(void *, int32_t) {
    game_scene_exit();
}

void game_debug_post(uint32_t code) {
    snd_post_command(code, 0);
}

void game_debug_menu_init(void) {
    std::memset(&g_menu, 0, sizeof g_menu);
    gfx_reset_scene();
    game_debug_post(SND_CMD_MUSIC_STOP);
    snd_stop_effects();
    game_debug_post(SND_CMD_VOICE_STOP);
}

void game_debug_menu_exit(void) {}

void game_debug_menu_draw(void) {
    if (!g_menu.running || g_menu.selected < 0 || g_menu.selected >= g_entry_count) return;
    const DebugMenuEntry &e = g_entries[g_menu.selected];
    if (e.draw) e.draw(g_menu.work, DEBUG_MENU_WORK_SIZE);
}

uint32_t game_debug_menu_update(void) {
    if (g_menu.phase == 0) {
        const int32_t queue = gfx_get_bitmap_text_queue();
        text_printf_styled(queue, 0, 0, 16, 100, 100, 0xFFFFFFFFu, "DM");
        // Only the selected entry is red; colouring the whole list by "selection is 0" would
        // leave the cursor invisible as soon as a second entry exists.
        for (int32_t i = 0; i < g_entry_count; ++i)
            text_printf_styled(queue, 0, 0, 16, 100, 132 + 16 * i,
                               i == g_menu.selected ? 0xFFFF0000u : 0xFFFFFFFFu, "%s",
                               g_entries[i].name);
        g_menu.selected += (int32_t)dm_key_down_pressed() - (int32_t)dm_key_up_pressed();
        if (g_menu.selected < 0 || g_menu.selected >= g_entry_count) g_menu.selected = 0;
        const DebugMenuEntry *e = g_entry_count > 0 ? &g_entries[g_menu.selected] : nullptr;
        if (e && dm_key_enter_pressed() && e->init && e->update) {
            e->init(g_menu.work, DEBUG_MENU_WORK_SIZE);
            g_menu.phase = 1;
        }
        return 0;
    }
    const DebugMenuEntry &e = g_entries[g_menu.selected];
    g_menu.running = 1;
    if (e.update(g_menu.work, DEBUG_MENU_WORK_SIZE) != 0) {
        g_menu.running = 0;
        if (e.exit) e.exit(g_menu.work, DEBUG_MENU_WORK_SIZE);
        obj_reset_all();
        g_menu.phase = 0;
    }
    return 0;
}

bool dm_key_down_pressed(void) {
    return input_key_pressed(VK_DOWN);
}
bool dm_key_up_pressed(void) {
    return input_key_pressed(VK_UP);
}
bool dm_key_left_pressed(void) {
    return input_key_pressed(VK_LEFT);
}
bool dm_key_right_pressed(void) {
    return input_key_pressed(VK_RIGHT);
}
bool dm_key_enter_pressed(void) {
    return input_key_pressed(VK_RETURN);
}
bool dm_key_escape_pressed(void) {
    return input_key_pressed(VK_ESCAPE);
}
bool dm_key_space_pressed(void) {
    return input_key_pressed(VK_SPACE);
}
bool dm_key_left_held(void) {
    return input_key_down(VK_LEFT) != 0;
}
bool dm_key_right_held(void) {
    return input_key_down(VK_RIGHT) != 0;
}
bool dm_key_down_held(void) {
    return input_key_down(VK_DOWN) != 0;
}
bool dm_key_up_held(void) {
    return input_key_down(VK_UP) != 0;
}
bool dm_key_enter_held(void) {
    return input_key_down(VK_RETURN) != 0;
}
bool dm_key_space_held(void) {
    return input_key_down(VK_SPACE) != 0;
}
