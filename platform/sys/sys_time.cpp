#include "platform/sys/sys_time.h"

#include <atomic>
#include <sched.h>
#include <time.h>

static std::atomic<const SysTimeHooks *> g_hooks{nullptr};
static SysTimeHooks g_hook_copy;

static uint64_t monotonic_ns(void) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

uint64_t sys_perf_counter(void) {
    const SysTimeHooks *h = g_hooks.load();
    if (h && h->perf_counter) return h->perf_counter();
    return monotonic_ns();
}

uint64_t sys_perf_frequency(void) {
    const SysTimeHooks *h = g_hooks.load();
    if (h && h->perf_frequency) return h->perf_frequency();
    return 1000000000ull;
}

uint32_t sys_time_ms(void) {
    const SysTimeHooks *h = g_hooks.load();
    if (h && h->time_ms) return h->time_ms();
    return (uint32_t)(monotonic_ns() / 1000000ull);
}

void sys_sleep_ms(uint32_t ms) {
    const SysTimeHooks *h = g_hooks.load();
    if (h && h->sleep_ms) {
        h->sleep_ms(ms);
        return;
    }
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec ts{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void sys_time_set_hooks(const SysTimeHooks *hooks) {
    if (!hooks) {
        g_hooks.store(nullptr);
        return;
    }
    g_hook_copy = *hooks;
    g_hooks.store(&g_hook_copy);
}
