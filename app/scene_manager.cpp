#include "app/scene_manager.h"
#include "app/app_hooks.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

// Placeholders for the game and debug-menu scene rows until those scenes are plugged in.
static void empty_init(void) {}
static uint32_t empty_update(void) {
    return 0;
}
static void empty_exit(void) {}

static SceneRow g_scene_table[APP_SCENE_ROW_COUNT] = {
    {empty_init, empty_update, empty_exit},
    {nullptr, nullptr, nullptr},
    {empty_init, empty_update, empty_exit},
};

static SceneManagerState g_scene_state;
static uint8_t g_scene_reset_record[20];
static FatalMessageState g_fatal;
static uint32_t g_region;

SceneRow *app_scene_table(void) {
    return g_scene_table;
}
SceneManagerState *app_get_scene_manager_state(void) {
    return &g_scene_state;
}

void app_init_scene_manager(void) {
    memset(&g_scene_state, 0, sizeof g_scene_state);
    if (AppHooks *h = app_hooks(); h->scene_mark) h->scene_mark();
}

void app_term_scene_manager(void) {
    if (AppHooks *h = app_hooks(); h->scene_release_to_mark) h->scene_release_to_mark();
}

int app_scene_ready(void) {
    return 1;
}

void app_run_scene_table(void) {
    SceneManagerState &s = g_scene_state;
    const SceneRow &row = g_scene_table[s.scene_index % APP_SCENE_ROW_COUNT];
    switch (s.phase) {
        case 0:
            memset(g_scene_reset_record, 0, sizeof g_scene_reset_record);
            s.phase = 1;
            [[fallthrough]];
        case 1:
            if (app_scene_ready()) s.phase = 2;
            return;
        case 2:
            if (row.init) row.init();
            s.phase = 3;
            return;
        case 3:
            if (!row.update || row.update() == 0) return;
            if (row.exit) row.exit();
            s.scene_index ^= 1;
            s.phase = 2;
            return;
        default:
            return;
    }
}

void app_update_scenes(void) {
    app_run_scene_table();
    AppHooks *h = app_hooks();
    uint32_t code = h->snd_get_error ? h->snd_get_error() : 0;
    if (code != 0)
        app_fatal_exit(3, (uint16_t)code, 0,
                       h->snd_get_error_file ? h->snd_get_error_file() : nullptr);
}

// What failed, in words, for the codes the program's parts give the fatal exit; null for others.
static const char *fatal_words(uint16_t category, uint16_t code, uint16_t detail) {
    if (category == 1 && code == 0) { // the data loader: its error code is the detail
        if (detail >= 4 && detail <= 19)
            return detail % 2 == 0
                       ? "a data file holds a chunk of a version this program cannot read"
                       : "a data file holds a damaged chunk";
        switch (detail) {
            case 0:
                return "a load request names neither a data file nor a texture-list category";
            case 1:
                return "a data file is missing from the data folders";
            case 2:
                return "a data file ends inside a chunk header";
            case 3:
                return "a data file ends inside a chunk";
            case 20:
                return "a data file holds a chunk of an unknown kind";
            case 21:
                return "the texture list has no category of that name";
            case 22:
                return "the data loader is in an unknown state";
        }
        return nullptr;
    }
    if (category == 2) return "the drawing device could not be made (is there a display?)";
    if (category == 3) {
        switch (code) {
            case 256:
                return "no sound output device could be opened; to run without sound, start the "
                       "program with ALSOFT_DRIVERS=null in its environment";
            case 257:
                return "a sound buffer could not be made for a sound file";
            case 258:
                return "a sound file is missing or cannot be read";
        }
    }
    return nullptr;
}

void app_fatal_exit(uint16_t category, uint16_t code, uint16_t detail, const char *text) {
    g_fatal.category = category;
    g_fatal.code = code;
    g_fatal.detail = detail;
    // The codes, the caller's text (a file or data set name) and what failed in words.
    const char *words = fatal_words(category, code, detail);
    const bool has_text = text && *text;
    fprintf(stderr, "Tavok: fatal error: category %u, code %u, detail %u: %s%s%s\n", category, code,
            detail, has_text ? text : "", has_text && words ? ": " : "", words ? words : "");
    // Only the standard streams: flushing every stream would wait on one that the audio
    // worker may hold in the middle of a read. The program's own files are closed after use.
    fflush(stdout);
    fflush(stderr);
    // Quick exit: static destructors must not run while the audio worker may still be inside
    // a load that uses the objects they destroy.
    _exit(1);
}

void app_clear_fatal_state(void) {
    memset(&g_fatal, 0, sizeof g_fatal);
}
FatalMessageState *app_get_fatal_state(void) {
    return &g_fatal;
}

FatalMessageState *app_set_fatal_word(uint32_t word) {
    g_fatal.word = word;
    return &g_fatal;
}

uint32_t app_get_fatal_word(void) {
    return g_fatal.word;
}

void app_set_region(uint32_t region) {
    g_region = region;
}
uint32_t app_get_region(void) {
    return g_region;
}
