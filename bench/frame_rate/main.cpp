// Frame rate of the main loop: runs the program's loop (window, pump, pacing) with empty
// subsystems and reports frames over elapsed time. Usage: bench_frame_rate [seconds]
#include "app/app.h"
#include "app/app_hooks.h"
#include "app/timer.h"
#include "platform/sys/sys_time.h"

#include <cstdio>
#include <cstdlib>

static int g_frames;
static int g_measure_frames = 600;
static uint64_t g_t0, g_t1;
constexpr int WARM_UP = 60;

static void count_frame(int32_t) {
    ++g_frames;
    if (g_frames == WARM_UP) g_t0 = sys_perf_counter();
    if (g_frames == WARM_UP + g_measure_frames) {
        g_t1 = sys_perf_counter();
        win_post_quit();
    }
}

int main(int argc, char **argv) {
    if (argc > 1) g_measure_frames = atoi(argv[1]) * 60;
    if (g_measure_frames <= 0) g_measure_frames = 600;
    app_hooks()->gfx_render_frame = count_frame;
    int status = app_win_main(argc, argv);
    if (status != 0 || g_t1 == 0) {
        fprintf(stderr, "bench_frame_rate: the loop ended early (status %d)\n", status);
        return 1;
    }
    double seconds = (double)(g_t1 - g_t0) / (double)sys_perf_frequency();
    float measured;
    timer_get_fps(&measured, nullptr);
    printf("frames %d in %.3f s: %.3f frames per second (frame timer reports %.2f)\n",
           g_measure_frames, seconds, g_measure_frames / seconds, measured);
    return 0;
}
