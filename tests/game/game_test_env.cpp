#include "game_test_env.h"
#include "tests/support/test_render.h"

#include <SDL2/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "app/app.h"
#include "app/input.h"
#include "app/settings.h"
#include "audio/sound_manager.h"
#include "game/actors.h"
#include "game/game_scene.h"
#include "platform/sys/sys_rand.h"
#include "platform/window/window.h"
#include "render/gfx_frame.h"

namespace fs = std::filesystem;

static SDL_Window *s_window;
static bool s_tried, s_ok;
static uint8_t s_keys[256];
static std::string s_run_dir;

struct GroupCrops {
    const char *group;
    std::vector<std::string> crops;
};

static std::vector<GroupCrops> data_groups(void) {
    std::vector<GroupCrops> g = {
        {"t", {"t", "s1", "s2"}},
        {"bg", {"bg01", "hardle", "nodata", "wall01t", "wall01b", "shadow"}},
        {"moji", {"sel", "if", "metor", "n3", "n2", "n1", "ng", "go", "moji_big"}},
        {"player", {"cm", "run01", "run02", "wait01", "cam01", "cam02", "camfla"}},
    };
    for (int i = 1; i <= 7; ++i) g[2].crops.push_back("moji_cry" + std::to_string(i));
    for (int i = 4; i <= 11; ++i) {
        char n[16];
        std::snprintf(n, sizeof n, "ppose%02d", i);
        g[3].crops.push_back(n);
    }
    GroupCrops face{"face", {}}, faceg{"faceg", {}};
    for (int i = 0; i < 10; ++i) {
        char n[16];
        std::snprintf(n, sizeof n, "chr%02d", i);
        face.crops.push_back(n);
        faceg.crops.push_back(n);
        GroupCrops actor{nullptr,
                         {"run01", "run02", "wait01", "guard01", "guard02", "back01", "back02",
                          "back03", "back04", "normal01", "normal02", "normal03", "normal04"}};
        for (int p = 14; p <= 21; ++p) actor.crops.push_back("pose" + std::to_string(p));
        static char names[10][16], pictures[10][16];
        std::snprintf(names[i], sizeof names[i], "chr%02d", i);
        std::snprintf(pictures[i], sizeof pictures[i], "cgchr%02dp1", i);
        actor.group = names[i];
        g.push_back(actor);
        g.push_back({pictures[i], {pictures[i]}});
    }
    g.push_back(face);
    g.push_back(faceg);
    return g;
}

static void put32(std::vector<uint8_t> &b, uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back((uint8_t)(v >> (8 * k)));
}
static void put16(std::vector<uint8_t> &b, uint16_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}

static void write_file(const fs::path &p, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(p.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A 64 by 64 24-bit picture: a white frame around a grey field.
static void write_bmp(const fs::path &p) {
    const int w = 64, h = 64;
    std::vector<uint8_t> b = {'B', 'M'};
    put32(b, 54 + w * h * 3);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, w);
    put32(b, h);
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);
    put32(b, w * h * 3);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool edge = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            for (int c = 0; c < 3; ++c) b.push_back(edge ? 255 : 128);
        }
    write_file(p, b);
}

// 16-bit PCM, 22050 Hz, 0.2 s of a quiet square wave.
static void write_wav(const fs::path &p, int channels) {
    const int rate = 22050, frames = rate / 5;
    const uint32_t data = (uint32_t)(frames * channels * 2);
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put32(b, 36 + data);
    for (char c : std::string("WAVEfmt ")) b.push_back((uint8_t)c);
    put32(b, 16);
    put16(b, 1);
    put16(b, (uint16_t)channels);
    put32(b, rate);
    put32(b, (uint32_t)(rate * channels * 2));
    put16(b, (uint16_t)(channels * 2));
    put16(b, 16);
    for (char c : std::string("data")) b.push_back((uint8_t)c);
    put32(b, data);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) put16(b, (uint16_t)((i / 25) % 2 ? 2000 : -2000));
    write_file(p, b);
}

void game_test_write_stage(int stage_number, const char *const *rows, int row_count) {
    char name[32];
    std::snprintf(name, sizeof name, "stg%02d.txt", stage_number + 1);
    FILE *f = std::fopen((fs::path(s_run_dir) / "bin" / name).c_str(), "w");
    if (!f) return;
    std::fprintf(f, "%d\n%d\n", row_count > 0 ? (int)std::strlen(rows[0]) : 0, row_count);
    for (int r = 0; r < row_count; ++r) std::fprintf(f, "%s\n", rows[r]);
    std::fclose(f);
}

// Forty columns of floor with a few hurdles and blocked cells in the lanes.
static const char *const k_stage_rows[8] = {
    "0000000000000000000000000000000000000000", "0000000000000000000000000000000000000000",
    "0000000000000100000000000000000000000000", "0000000AA0000000000000100000000000000000",
    "0000000000000000000BB0000000000000000000", "0000000000000000000000000000000100000000",
    "0000000001000000000000000000000000000000", "0000000000000000000000000000000000000000",
};

static void write_run_folder(void) {
    const fs::path bin = fs::path(s_run_dir) / "bin";
    fs::remove_all(s_run_dir);
    fs::create_directories(bin);
    fs::copy(fs::path(TAVOK_SOURCE_DIR) / "data" / "tks", bin / "tks", fs::copy_options::recursive);
    write_bmp(bin / "img.bmp");
    FILE *f = std::fopen((bin / "tex.lst").c_str(), "w");
    for (const GroupCrops &g : data_groups()) {
        std::fprintf(f, "cat %s\ntex img.bmp\nsize 64 64\n", g.group);
        for (const std::string &c : g.crops) std::fprintf(f, "crop 0 0 64 64 %s\n", c.c_str());
    }
    std::fclose(f);
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        write_wav(bin / (std::string(snd_slot_name(i)) + ".wav"), 1);
    for (int i = 0; i < SND_VOICE_COUNT; ++i)
        write_wav(bin / (std::string(snd_voice_name(i)) + ".wav"), 1);
    for (int i = 0; i < SND_MUSIC_COUNT; ++i)
        write_wav(bin / (std::string(snd_music_name(i)) + ".wav"), 2);
    for (int s = 0; s < 10; ++s) game_test_write_stage(s, k_stage_rows, 8);
}

bool game_test_engine(void) {
    if (s_tried) return s_ok;
    s_tried = true;
    s_run_dir = (fs::temp_directory_path() / ("tavok_game_" + std::to_string(getpid()))).string();
    write_run_folder();
    fs::current_path(s_run_dir);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    s_window = SDL_CreateWindow("game test", 0, 0, GAME_TEST_WIDTH, GAME_TEST_HEIGHT,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) return false;
    AppState *app = app_get_state();
    app->client_width = GAME_TEST_WIDTH;
    app->client_height = GAME_TEST_HEIGHT;
    const DisplayOptions options = {GAME_TEST_WIDTH, GAME_TEST_HEIGHT, GAME_TEST_WIDTH,
                                    GAME_TEST_HEIGHT, 0};
    gfx_init(s_window, 0, GAME_TEST_WIDTH, GAME_TEST_HEIGHT, 32, &options);
    snd_init();
    win_set_keyboard_override(s_keys);
    input_init_keyboard();
    mouse_init();
    s_ok = snd_get_error() == 0;
    std::atexit([] {
        test_keep_gl_driver();
        snd_shutdown();
        gfx_shutdown();
        win_set_keyboard_override(nullptr);
        SDL_DestroyWindow(s_window);
        SDL_Quit();
        std::error_code ec;
        fs::remove_all(s_run_dir, ec);
    });
    return s_ok;
}

const std::string &game_test_run_dir(void) {
    return s_run_dir;
}

void game_test_keys(std::initializer_list<int> keys) {
    std::memset(s_keys, 0, sizeof s_keys);
    for (int k : keys) s_keys[k & 0xFF] = 0x80;
    input_update_keyboard();
}

void game_test_frame(void) {
    game_scene_update();
    snd_update();
    gfx_render_frame(0);
    sys_rand();
}

void game_test_hold(std::initializer_list<int> keys, int n) {
    for (int i = 0; i < n; ++i) {
        game_test_keys(keys);
        game_test_frame();
    }
}

void game_test_press(std::initializer_list<int> keys) {
    game_test_hold({}, 1);
    game_test_hold(keys, 1);
}

void game_test_write_save(uint32_t open, bool good_crc, int bytes) {
    uint8_t b[24] = {};
    const uint32_t values[5] = {open, 7, 8, 9, 10};
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 4; ++k) b[4 * i + k] = (uint8_t)(values[i] >> (8 * k));
    uint32_t crc = app_crc32(b, 20);
    if (!good_crc) crc ^= 1;
    for (int k = 0; k < 4; ++k) b[20 + k] = (uint8_t)(crc >> (8 * k));
    FILE *f = std::fopen("sav.bin", "wb");
    std::fwrite(b, 1, (size_t)bytes, f);
    std::fclose(f);
}

void game_test_remove_save(void) {
    std::remove("sav.bin");
}

void game_test_chase_keys(void) {
    const float dx = board_screen_x() - player_x();
    const float dy = board_y() - player_y();
    const int h = dx > 6.0f ? VK_RIGHT : (dx < -6.0f ? VK_LEFT : 0);
    const int v = dy > 4.0f ? VK_DOWN : (dy < -4.0f ? VK_UP : 0);
    game_test_keys({'Z', h, v});
}
