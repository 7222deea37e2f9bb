#include "app/timer.h"
#include "app/config.h"
#include "platform/sys/sys_time.h"

#include <cstring>

static PerfClock g_clock;
static FrameTimer g_timer;

constexpr int64_t TICK_DIFF_MAX = 0x7FFFFFFFFFFFFFFFll;

int64_t timer_tick_diff(int64_t earlier, int64_t later) {
    if (later > earlier) return (int64_t)((uint64_t)later - (uint64_t)earlier);
    return (int64_t)((uint64_t)TICK_DIFF_MAX - (uint64_t)later + (uint64_t)earlier);
}

uint32_t timer_elapsed_ms(uint32_t earlier, uint32_t later) {
    if (later >= earlier) return later - earlier;
    return 0xFFFFFFFFu - (earlier - later);
}

// High-resolution clock.

void timer_init_perf_clock(uint32_t rate) {
    memset(&g_clock, 0, sizeof g_clock);
    g_clock.rate = rate;
    g_clock.frequency = (int64_t)sys_perf_frequency();
    g_clock.has_counter = g_clock.frequency != 0;
    g_clock.frame_start = timer_read_counter();
    g_clock.started = 1;
}

void timer_term_perf_clock(void) {}

PerfClock *timer_get_perf_clock(void) {
    return &g_clock;
}

int64_t timer_read_counter(void) {
    if (!g_clock.has_counter || !g_clock.started) return 0;
    return (int64_t)sys_perf_counter();
}

int64_t timer_frequency(void) {
    return g_clock.frequency;
}

void timer_begin_frame_clock(void) {
    g_clock.frame_start = timer_read_counter();
}

bool timer_stamp_a(void) {
    g_clock.stamp_a = timer_read_counter();
    int32_t unused;
    return cfg_get_int("PRMLOG", &unused);
}

PerfClock *timer_stamp_b(void) {
    g_clock.stamp_b = timer_read_counter();
    return &g_clock;
}

// Share of one frame between `from` and `to`, in percent; 0 without a counter frequency.
static float frame_percent(int64_t from, int64_t to) {
    if (g_clock.frequency == 0) return 0.0f;
    double d = (double)timer_tick_diff(from, to);
    return (float)(d * g_clock.rate / (double)g_clock.frequency * 100.0);
}

float timer_frame_load_percent(void) {
    return frame_percent(g_clock.frame_start, timer_read_counter());
}
float timer_stamp_a_percent(void) {
    return frame_percent(g_clock.frame_start, g_clock.stamp_a);
}
float timer_stamp_b_percent(void) {
    return frame_percent(g_clock.frame_start, g_clock.stamp_b);
}

// Frame timer.

uint32_t timer_time_ms(uint32_t) {
    return sys_time_ms();
}
uint32_t timer_get_ms(void) {
    return sys_time_ms();
}
uint32_t timer_get_ms2(void) {
    return sys_time_ms();
}
uint32_t timer_elapsed_since_ms(uint32_t earlier) {
    return timer_elapsed_ms(earlier, timer_get_ms());
}

FrameTimer *timer_set_rate(uint32_t rate) {
    g_timer.rate = rate;
    if (rate == 0) {
        // No rate: nothing to pace against.
        g_timer.us_per_frame = 0.0f;
        g_timer.ms_per_frame = 0.0f;
        g_timer.whole_ms_per_frame = 0;
        return &g_timer;
    }
    g_timer.us_per_frame = 1e6f / (float)rate;
    g_timer.ms_per_frame = 1000.0f / (float)rate;
    g_timer.whole_ms_per_frame = (int32_t)(g_timer.ms_per_frame - 0.5f);
    return &g_timer;
}

void timer_init(uint32_t rate) {
    memset(&g_timer, 0, sizeof g_timer);
    g_timer.period_min = 1;
    g_timer.period_max = 1000000;
    g_timer.previous_ms = g_timer.current_ms = g_timer.measure_ms =
        timer_time_ms(g_timer.period_min);
    g_timer.previous_ticks = g_timer.current_ticks = timer_read_counter();
    timer_set_rate(rate);
    g_timer.started = 1;
}

void timer_term(void) {}

void timer_wait_next_frame(void) {
    FrameTimer &t = g_timer;
    bool first = true;
    for (;;) {
        t.current_ticks = timer_read_counter();
        t.current_ms = timer_time_ms(t.period_min);
        if (!t.started) break;
        uint32_t elapsed_ms = timer_elapsed_ms(t.previous_ms, t.current_ms);
        int64_t elapsed_ticks = timer_tick_diff(t.previous_ticks, t.current_ticks);
        // The product wraps in 64 bits (unsigned, so defined): without a counter the difference
        // of two zero readings is 2^63 - 1, whose product is negative, so only the millisecond
        // test below can end the frame.
        int64_t scaled = (int64_t)((uint64_t)elapsed_ticks * 1000000ull);
        if ((double)scaled >= (double)g_clock.frequency * (double)t.us_per_frame) {
            if (first) sys_sleep_ms(0);
            break;
        }
        // The millisecond clock counts whole milliseconds, so its difference can read 17 after
        // only 16.0 ms and would end frames up to 2/3 ms early (about 60.6 frames per second).
        // With a counter it is only a safety net one millisecond later; without one it decides.
        uint32_t ms_limit = (uint32_t)t.whole_ms_per_frame + (g_clock.has_counter ? 1u : 0u);
        if (elapsed_ms > ms_limit) {
            if (first) sys_sleep_ms(0);
            break;
        }
        first = false;
        int32_t s = t.whole_ms_per_frame - (int32_t)elapsed_ms - 3;
        sys_sleep_ms(s > 0 ? (uint32_t)s : 0u);
    }
    t.frame_count++;
    t.frames_since_measure++;
    if (t.frames_since_measure >= t.rate) {
        uint32_t d = timer_elapsed_ms(t.measure_ms, t.current_ms);
        if (d != 0) t.measured_fps = (float)(t.frames_since_measure * 1000.0 / d);
        t.measure_ms = t.current_ms;
        t.measure_ticks = t.current_ticks;
        t.frames_since_measure = 0;
    }
    t.previous_ms = t.current_ms;
    t.previous_ticks = t.current_ticks;
}

void timer_get_fps(float *fps, uint32_t *rate) {
    if (fps) *fps = g_timer.measured_fps > 60.0f ? 60.0f : g_timer.measured_fps;
    if (rate) *rate = g_timer.rate;
}

uint32_t timer_get_rate(void) {
    return g_timer.rate;
}
uint32_t timer_get_frame_count(void) {
    return g_timer.frame_count;
}

FrameTimer *timer_set_started(uint32_t started) {
    g_timer.started = started;
    return &g_timer;
}

uint32_t timer_get_started(void) {
    return g_timer.started;
}
FrameTimer *timer_get_frame_timer(void) {
    return &g_timer;
}

void timer_stamp(int64_t *out) {
    if (out) *out = timer_read_counter();
}

float timer_percent_since(const int64_t *stamp) {
    if (!stamp) return 0.0f;
    int64_t d = timer_tick_diff(*stamp, timer_read_counter());
    int64_t num = (int64_t)((uint64_t)d * 1000ull * 100ull);
    float den = (float)((double)g_clock.frequency * g_timer.us_per_frame / 1000.0);
    if (den == 0.0f) return 0.0f;
    return (float)num / den;
}
