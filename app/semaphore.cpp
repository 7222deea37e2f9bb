#include "app/semaphore.h"
#include "platform/sys/sys_error.h"
#include "platform/sys/sys_shm.h"
#include "platform/sys/sys_time.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { W_READY, W_LOCK, W_WAITERS, W_COUNT, W_MAXIMUM, W_WORDS };
constexpr size_t SECTION_SIZE = W_WORDS * sizeof(uint32_t);

static std::atomic_ref<uint32_t> word(SharedSemaphore *s, int i) {
    return std::atomic_ref<uint32_t>(s->words[i]);
}

static void spin_lock(SharedSemaphore *s) {
    while (word(s, W_LOCK).exchange(1u) != 0) sys_sleep_ms(0);
}

static void spin_unlock(SharedSemaphore *s) {
    word(s, W_LOCK).exchange(0u);
}

static void wait_ready(SharedSemaphore *s) {
    while (word(s, W_READY).load() == 0) sys_sleep_ms(0);
}

static bool make_names(const char *name, char *section, char *event, size_t size) {
    if (!name) return true;
    snprintf(section, size, "QRM_MSECT_MMF_%s", name);
    snprintf(event, size, "QRM_MSECT_EVT_%s", name);
    return true;
}

void msect_close(SharedSemaphore *sem) {
    if (!sem) return;
    sys_event_close(sem->event);
    sys_shm_close(sem->section);
    free(sem);
}

SharedSemaphore *msect_create(int32_t initial, int32_t maximum, const char *name) {
    if (maximum < 1 || initial < 0 || initial > maximum ||
        (name && strlen(name) > MSECT_MAX_NAME)) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SharedSemaphore *sem = (SharedSemaphore *)calloc(1, sizeof(SharedSemaphore));
    if (!sem) {
        sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    char section_name[64], event_name[64];
    make_names(name, section_name, event_name, sizeof section_name);
    sem->event = sys_event_create(name ? event_name : nullptr, false, false);
    if (!sem->event) {
        msect_close(sem);
        return nullptr;
    }
    sem->section = sys_shm_create(name ? section_name : nullptr, SECTION_SIZE);
    uint32_t err = sys_get_last_error();
    if (!sem->section || sys_shm_size(sem->section) < SECTION_SIZE) {
        msect_close(sem);
        return nullptr;
    }
    sem->words = (uint32_t *)sys_shm_data(sem->section);
    if (err == SYS_ERROR_ALREADY_EXISTS) {
        // Another creator owns it: its count and maximum stand.
        wait_ready(sem);
    } else {
        word(sem, W_LOCK).store(0u);
        word(sem, W_WAITERS).store(0u);
        word(sem, W_COUNT).store((uint32_t)initial);
        word(sem, W_MAXIMUM).store((uint32_t)maximum);
        word(sem, W_READY).exchange(1u);
    }
    sys_set_last_error(err);
    return sem;
}

SharedSemaphore *msect_open(const char *name) {
    if (!name || strlen(name) > MSECT_MAX_NAME) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SharedSemaphore *sem = (SharedSemaphore *)calloc(1, sizeof(SharedSemaphore));
    if (!sem) {
        sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    char section_name[64], event_name[64];
    make_names(name, section_name, event_name, sizeof section_name);
    sem->event = sys_event_open(event_name);
    sem->section = sem->event ? sys_shm_open(section_name) : nullptr;
    if (!sem->section || sys_shm_size(sem->section) < SECTION_SIZE) {
        uint32_t err = sys_get_last_error();
        msect_close(sem);
        sys_set_last_error(err ? err : SYS_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    sem->words = (uint32_t *)sys_shm_data(sem->section);
    wait_ready(sem);
    return sem;
}

// Waiters count themselves in and out around their own sleep, and a release signals whenever
// anyone is counted in. (Letting the releaser count waiters out, with a reset before each sleep,
// loses wake-ups once three or more threads share one semaphore: a signal meant for one sleeper
// is consumed or reset by another, and the last sleeper waits for ever beside a free count.)
uint32_t msect_wait(SharedSemaphore *sem, uint32_t timeout_ms) {
    if (!sem) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return SYS_WAIT_FAILED;
    }
    for (;;) {
        spin_lock(sem);
        if ((int32_t)word(sem, W_COUNT).load() >= 1) break;
        word(sem, W_WAITERS).fetch_add(1u);
        spin_unlock(sem);
        uint32_t r = sys_event_wait(sem->event, timeout_ms);
        spin_lock(sem);
        word(sem, W_WAITERS).fetch_sub(1u);
        spin_unlock(sem);
        if (r == SYS_WAIT_TIMEOUT) return SYS_WAIT_TIMEOUT;
        if (r != SYS_WAIT_OBJECT_0) return r;
    }
    uint32_t left = word(sem, W_COUNT).fetch_sub(1u) - 1u;
    // Several units released at once wake one sleeper; it passes the signal on.
    if ((int32_t)left >= 1 && word(sem, W_WAITERS).load() > 0) sys_event_set(sem->event);
    spin_unlock(sem);
    return SYS_WAIT_OBJECT_0;
}

bool msect_release(SharedSemaphore *sem, int32_t n, int32_t *previous) {
    if (!sem) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return false;
    }
    spin_lock(sem);
    int32_t count = (int32_t)word(sem, W_COUNT).load();
    int32_t maximum = (int32_t)word(sem, W_MAXIMUM).load();
    if (previous) *previous = count;
    if (n >= 0 && (int64_t)count + n <= maximum) {
        word(sem, W_COUNT).store((uint32_t)(count + n));
        if (n > 0 && word(sem, W_WAITERS).load() > 0) sys_event_set(sem->event);
        spin_unlock(sem);
        return true;
    }
    spin_unlock(sem);
    sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
    return false;
}
