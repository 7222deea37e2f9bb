// The high-resolution frame clock, the frame timer that paces the main loop, and the
// millisecond clock with its wrap rule.
#pragma once
#include <cstdint>

struct PerfClock {
    uint32_t rate;
    uint32_t started;
    uint32_t has_counter;
    int64_t frequency;
    int64_t frame_start;
    int64_t stamp_a;
    int64_t stamp_b;
};

struct FrameTimer {
    uint32_t started;
    uint32_t period_min, period_max;
    uint32_t previous_ms, current_ms;
    int64_t previous_ticks, current_ticks;
    uint32_t frame_count;
    uint32_t rate;
    float us_per_frame;
    float ms_per_frame;
    int32_t whole_ms_per_frame;
    float measured_fps;
    uint32_t frames_since_measure;
    uint32_t measure_ms;
    int64_t measure_ticks;
};

void timer_init_perf_clock(uint32_t rate);
int64_t timer_read_counter(void);
int64_t timer_frequency(void);
void timer_begin_frame_clock(void);
bool timer_stamp_a(void);
PerfClock *timer_stamp_b(void);
float timer_frame_load_percent(void);
float timer_stamp_a_percent(void);
float timer_stamp_b_percent(void);
void timer_term_perf_clock(void);
PerfClock *timer_get_perf_clock(void);

void timer_init(uint32_t rate);
void timer_term(void);
FrameTimer *timer_set_rate(uint32_t rate);
uint32_t timer_time_ms(uint32_t period);
void timer_wait_next_frame(void);
void timer_get_fps(float *fps, uint32_t *rate);
uint32_t timer_get_rate(void);
uint32_t timer_get_frame_count(void);
FrameTimer *timer_set_started(uint32_t started);
uint32_t timer_get_started(void);
FrameTimer *timer_get_frame_timer(void);

void timer_stamp(int64_t *out);
float timer_percent_since(const int64_t *stamp);
int64_t timer_tick_diff(int64_t earlier, int64_t later);
uint32_t timer_get_ms(void);
uint32_t timer_get_ms2(void);
uint32_t timer_elapsed_ms(uint32_t earlier, uint32_t later);
uint32_t timer_elapsed_since_ms(uint32_t earlier);
