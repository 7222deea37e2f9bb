// Named counting semaphores whose count lives in a shared-memory section ("QRM_MSECT_MMF_%s"),
// guarded by a spin lock there, with a named auto-reset event ("QRM_MSECT_EVT_%s") for waiters.
#pragma once
#include <cstdint>

struct SysShm;
struct SysEvent;

struct SharedSemaphore {
    SysEvent *event;
    SysShm *section;
    uint32_t *words; // ready, spin lock, waiters, count, maximum
};

constexpr int MSECT_MAX_NAME = 16;

SharedSemaphore *msect_create(int32_t initial, int32_t maximum, const char *name);
SharedSemaphore *msect_open(const char *name);
// 0 when the count was taken, 258 when the time-out passed (0xFFFFFFFF waits for ever).
uint32_t msect_wait(SharedSemaphore *sem, uint32_t timeout_ms);
bool msect_release(SharedSemaphore *sem, int32_t n, int32_t *previous);
void msect_close(SharedSemaphore *sem);
