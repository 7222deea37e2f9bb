// Clock reads and a timer around one object kind's draw callback, shared by the scene
// benchmarks: install `bench_timed_draw` as the kind's draw after saving the real one.
#pragma once

#include <ctime>

#include "scene/object_manager.h"

inline double bench_clock_ms(clockid_t id) {
    timespec t;
    clock_gettime(id, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// The kind's own draw, and the main thread's processor time spent in it.
inline ObjectDrawFn bench_kind_draw = nullptr;
inline double bench_draw_ms = 0.0;

inline void bench_timed_draw(SceneObject **run, int32_t count) {
    const double t = bench_clock_ms(CLOCK_THREAD_CPUTIME_ID);
    bench_kind_draw(run, count);
    bench_draw_ms += bench_clock_ms(CLOCK_THREAD_CPUTIME_ID) - t;
}
