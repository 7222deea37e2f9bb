// Frame rate of the main loop: frames over elapsed time, after a one-second warm-up.
// Usage: bench_frame_rate [seconds] [--game]
//   without --game: the loop (window, pump, pacing) with empty subsystems;
//   with --game: the whole program on the data set beside it, with scripted keys that leave the
//   title, pick the first entry and then run right, dashing and jumping, through the chase.
#include "app/app.h"
#include "app/app_hooks.h"
#include "app/timer.h"
#include "game/game_program.h"
#include "platform/sys/sys_time.h"
#include "platform/window/window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int g_frames;
static int g_measure_frames = 600;
static uint64_t g_t0, g_t1;
static double g_worst_ms;
static uint64_t g_last;
static void (*g_real_frame)(int32_t);
static uint8_t g_keys[256];
constexpr int WARM_UP = 60;

// Virtual-key codes of the keys the script presses.
enum { VK_RIGHT = 39, VK_Z = 90, VK_X = 88 };

static void script_keys(int frame) {
    memset(g_keys, 0, sizeof(g_keys));
    bool tap = frame % 30 < 3;
    if (frame < 240) {
        if (tap) g_keys[VK_Z] = 0x80; // title, then the selection
    } else {
        g_keys[VK_RIGHT] = 0x80;
        if (tap) g_keys[VK_Z] = 0x80;
        if (frame % 90 < 6) g_keys[VK_X] = 0x80;
    }
    win_set_keyboard_override(g_keys);
}

static void count_frame(int32_t arg) {
    ++g_frames;
    uint64_t now = sys_perf_counter();
    if (g_frames > WARM_UP && g_t1 == 0) {
        double ms = (double)(now - g_last) * 1000.0 / (double)sys_perf_frequency();
        if (ms > g_worst_ms) g_worst_ms = ms;
    }
    g_last = now;
    if (g_real_frame) {
        script_keys(g_frames);
        g_real_frame(arg);
    }
    if (g_frames == WARM_UP) g_t0 = now;
    if (g_frames == WARM_UP + g_measure_frames) {
        g_t1 = now;
        win_post_quit();
    }
}

int main(int argc, char **argv) {
    bool game = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--game") == 0)
            game = true;
        else if (atoi(argv[i]) > 0)
            g_measure_frames = atoi(argv[i]) * 60;
    }
    if (game) {
        game_connect_program();
        g_real_frame = app_hooks()->gfx_render_frame;
    }
    app_hooks()->gfx_render_frame = count_frame;
    int status = app_win_main(argc, argv);
    if (status != 0 || g_t1 == 0) {
        fprintf(stderr, "bench_frame_rate: the loop ended early (status %d)\n", status);
        return 1;
    }
    double seconds = (double)(g_t1 - g_t0) / (double)sys_perf_frequency();
    float measured;
    timer_get_fps(&measured, nullptr);
    printf("%s: frames %d in %.3f s: %.3f frames per second, longest frame %.2f ms (frame timer "
           "reports %.2f)\n",
           game ? "game" : "empty loop", g_measure_frames, seconds, g_measure_frames / seconds,
           g_worst_ms, measured);
    return 0;
}
