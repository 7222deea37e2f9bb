// Clocks and sleeping.
#pragma once
#include <cstdint>

// High-resolution counter and its counts per second. The frequency is 0 when no counter is
// available (only through the test hooks below); the counter then reads 0.
uint64_t sys_perf_counter(void);
uint64_t sys_perf_frequency(void);

// Milliseconds since an arbitrary start, wrapping at 2^32 like the original millisecond clock.
uint32_t sys_time_ms(void);

// Sleeps `ms` milliseconds; 0 gives up the rest of the time slice.
void sys_sleep_ms(uint32_t ms);

// Test hooks: any non-null member replaces the real clock or sleep, so pacing can be driven
// deterministically. Pass null to restore the real ones.
struct SysTimeHooks {
    uint64_t (*perf_counter)(void);
    uint64_t (*perf_frequency)(void);
    uint32_t (*time_ms)(void);
    void (*sleep_ms)(uint32_t ms);
};
void sys_time_set_hooks(const SysTimeHooks *hooks);
