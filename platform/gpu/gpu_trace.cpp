// Trace of state changes, binds, draws and presents, for tests that check call order and
// batching. Recording stops quietly when the buffer is full.
#include "platform/gpu/gpu_internal.h"

enum { GPU_TRACE_CAPACITY = 65536 };

static GpuTraceEntry s_entries[GPU_TRACE_CAPACITY];
static size_t s_count;
static bool s_on;

void gpu_trace(GpuTraceKind kind, uint32_t a, uint32_t b, uint32_t c, const void *ptr) {
    if (!s_on || s_count >= GPU_TRACE_CAPACITY) return;
    s_entries[s_count++] = GpuTraceEntry{kind, a, b, c, ptr};
}

void gpu_trace_enable(bool on) {
    s_on = on;
}

void gpu_trace_clear(void) {
    s_count = 0;
}

const GpuTraceEntry *gpu_trace_entries(size_t *count) {
    if (count) *count = s_count;
    return s_entries;
}
