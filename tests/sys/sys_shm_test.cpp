#include "platform/sys/sys_error.h"
#include "platform/sys/sys_memory.h"
#include "platform/sys/sys_shm.h"
#include "tests/support/test_process.h"
#include "tests/support/test_shm.h"
#include "platform/sys/sys_time.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class SysShmTest : public ShmNamesTest {};

} // namespace

TEST_F(SysShmTest, SectionLivesWhileSomeHandleIsOpen) {
    SysShm *a = sys_shm_create("life", 20);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_SUCCESS);
    uint32_t *wa = (uint32_t *)sys_shm_data(a);
    EXPECT_EQ(wa[0], 0u);
    wa[3] = 77;

    SysShm *b = sys_shm_create("life", 20);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(((uint32_t *)sys_shm_data(b))[3], 77u);

    sys_shm_close(a); // b keeps it alive
    SysShm *c = sys_shm_open("life");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(((uint32_t *)sys_shm_data(c))[3], 77u);
    sys_shm_close(b);
    sys_shm_close(c);

    // The last close removed it: gone for open, fresh for create.
    EXPECT_EQ(sys_shm_open("life"), nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_FILE_NOT_FOUND);
    SysShm *d = sys_shm_create("life", 20);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_SUCCESS);
    EXPECT_EQ(((uint32_t *)sys_shm_data(d))[3], 0u);
    sys_shm_close(d);
}

TEST_F(SysShmTest, SectionOfDeadProcessIsFresh) {
    const pid_t pid = test_child_holding([] {
        SysShm *s = sys_shm_create("dead", 16);
        if (s) ((uint32_t *)sys_shm_data(s))[0] = 0xDEAD;
        return s != nullptr;
    });
    ASSERT_GT(pid, 0);
    SysShm *live = sys_shm_open("dead");
    const uint32_t seen = live ? ((uint32_t *)sys_shm_data(live))[0] : 0;
    if (live) sys_shm_close(live);
    test_kill_child(pid);
    ASSERT_NE(live, nullptr); // the child held it
    EXPECT_EQ(seen, 0xDEADu);

    EXPECT_EQ(sys_shm_open("dead"), nullptr);
    SysShm *s = sys_shm_create("dead", 16);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_SUCCESS);
    EXPECT_EQ(((uint32_t *)sys_shm_data(s))[0], 0u);
    sys_shm_close(s);
}

TEST_F(SysShmTest, BadNamesAndUnnamedSections) {
    EXPECT_EQ(sys_shm_create("a/b", 8), nullptr);
    EXPECT_EQ(sys_get_last_error(), SYS_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(sys_shm_create("x", 0), nullptr);
    SysShm *u1 = sys_shm_create(nullptr, 8);
    SysShm *u2 = sys_shm_create(nullptr, 8);
    ASSERT_NE(u1, nullptr);
    ASSERT_NE(u2, nullptr);
    EXPECT_NE(sys_shm_data(u1), sys_shm_data(u2));
    sys_shm_close(u1);
    sys_shm_close(u2);
    sys_shm_close(nullptr);
}

TEST_F(SysShmTest, AutoResetEventWakesOneWaiter) {
    SysEvent *ev = sys_event_create("ev", false, false);
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(sys_event_wait(ev, 0), SYS_WAIT_TIMEOUT);
    EXPECT_EQ(sys_event_wait(ev, 10), SYS_WAIT_TIMEOUT);
    sys_event_set(ev);
    EXPECT_EQ(sys_event_wait(ev, 0), SYS_WAIT_OBJECT_0);
    EXPECT_EQ(sys_event_wait(ev, 0), SYS_WAIT_TIMEOUT); // reset by the wait
    sys_event_set(ev);
    sys_event_reset(ev);
    EXPECT_EQ(sys_event_wait(ev, 0), SYS_WAIT_TIMEOUT);

    // Two waiters, one set: exactly one wakes.
    SysEvent *other = sys_event_open("ev");
    ASSERT_NE(other, nullptr);
    std::atomic<int> woke{0};
    std::thread t1([&] { woke += sys_event_wait(ev, 300) == SYS_WAIT_OBJECT_0; });
    std::thread t2([&] { woke += sys_event_wait(other, 300) == SYS_WAIT_OBJECT_0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    sys_event_set(ev);
    t1.join();
    t2.join();
    EXPECT_EQ(woke.load(), 1);
    sys_event_close(other);
    sys_event_close(ev);

    SysEvent *manual = sys_event_create(nullptr, true, true);
    EXPECT_EQ(sys_event_wait(manual, 0), SYS_WAIT_OBJECT_0);
    EXPECT_EQ(sys_event_wait(manual, 0), SYS_WAIT_OBJECT_0); // stays set
    sys_event_close(manual);
}

TEST(SysTime, ClocksAndHooks) {
    EXPECT_EQ(sys_perf_frequency(), 1000000000ull);
    uint64_t c0 = sys_perf_counter();
    uint32_t m0 = sys_time_ms();
    sys_sleep_ms(20);
    EXPECT_GE(sys_perf_counter() - c0, 20000000ull);
    EXPECT_GE(sys_time_ms() - m0, 19u);

    static uint32_t slept;
    SysTimeHooks h = {};
    h.perf_frequency = [] { return (uint64_t)0; };
    h.sleep_ms = [](uint32_t ms) { slept += ms; };
    sys_time_set_hooks(&h);
    EXPECT_EQ(sys_perf_frequency(), 0u);
    sys_sleep_ms(500); // hooked: returns at once
    EXPECT_EQ(slept, 500u);
    EXPECT_GT(sys_perf_counter(), c0); // unhooked members stay real
    sys_time_set_hooks(nullptr);
    EXPECT_EQ(sys_perf_frequency(), 1000000000ull);
}

TEST(SysMemory, StatusIsPlausible) {
    SysMemoryStatus s;
    ASSERT_TRUE(sys_get_memory_status(&s));
    EXPECT_GT(s.total_phys, 16ull << 20);
    EXPECT_LE(s.avail_phys, s.total_phys);
}
