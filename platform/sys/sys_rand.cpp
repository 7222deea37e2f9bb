#include "platform/sys/sys_rand.h"

#include <atomic>
#include <cstdint>

static std::atomic<uint32_t> g_seed{1};

int sys_rand(void) {
    uint32_t s = g_seed.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = s * 214013u + 2531011u;
    } while (!g_seed.compare_exchange_weak(s, next, std::memory_order_relaxed));
    return (int)((next >> 16) & 0x7FFF);
}

void sys_srand(unsigned seed) {
    g_seed.store(seed, std::memory_order_relaxed);
}
