#include "game/game_program.h"

#include "app/app_hooks.h"
#include "app/scene_manager.h"
#include "audio/sound_manager.h"
#include "game/debug_menu.h"
#include "game/game_scene.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "resource/res_pools.h"

static ResourceMark g_scene_mark;

static uint32_t program_snd_error(void) {
    return (uint32_t)snd_get_error();
}

static void program_scene_mark(void) {
    res_mark(&g_scene_mark);
}

static void program_scene_release(void) {
    res_release_to_mark(&g_scene_mark);
}

void game_connect_program(void) {
    AppHooks *h = app_hooks();
    h->gfx_init = gfx_init;
    h->gfx_render_frame = gfx_render_frame;
    h->gfx_shutdown = gfx_shutdown;
    h->gfx_get_screen_width = gfx_get_screen_width;
    h->gfx_get_screen_height = gfx_get_screen_height;
    h->snd_init = snd_init;
    h->snd_update = snd_update;
    h->snd_shutdown = snd_shutdown;
    h->snd_get_error = program_snd_error;
    h->snd_get_error_file = snd_get_error_file;
    h->scene_mark = program_scene_mark;
    h->scene_release_to_mark = program_scene_release;

    SceneRow *rows = app_scene_table();
    rows[0] = {game_scene_init, game_scene_update, game_scene_exit};
    rows[2] = {game_debug_menu_init, game_debug_menu_update, game_debug_menu_exit};
}
