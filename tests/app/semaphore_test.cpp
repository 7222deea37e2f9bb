#include "app/semaphore.h"
#include "platform/sys/sys_error.h"
#include "platform/sys/sys_shm.h"
#include "tests/support/test_process.h"
#include "tests/support/test_shm.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

class SemaphoreTest : public ShmNamesTest {};

} // namespace

TEST_F(SemaphoreTest, CountTimeOutAndRelease) {
    SharedSemaphore *s = msect_create(1, 1, "sound");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(msect_wait(s, 0xFFFFFFFFu), 0u);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(msect_wait(s, 10), 258u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(9));
    int32_t previous = -1;
    EXPECT_TRUE(msect_release(s, 1, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(msect_wait(s, 10), 0u);
    EXPECT_TRUE(msect_release(s, 1, nullptr));
    // At its maximum: refused, the count stays.
    sys_set_last_error(0);
    EXPECT_FALSE(msect_release(s, 1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_EQ(sys_get_last_error(), 87u);
    EXPECT_FALSE(msect_release(s, -1, nullptr));
    EXPECT_EQ(msect_wait(s, 0), 0u);
    EXPECT_EQ(msect_wait(s, 0), 258u);
    msect_close(s);
    msect_close(nullptr);
}

TEST_F(SemaphoreTest, BadArgumentsGiveError87) {
    sys_set_last_error(0);
    EXPECT_EQ(msect_create(2, 1, "x"), nullptr);
    EXPECT_EQ(sys_get_last_error(), 87u);
    sys_set_last_error(0);
    EXPECT_EQ(msect_create(0, 0, "x"), nullptr);
    EXPECT_EQ(sys_get_last_error(), 87u);
    EXPECT_EQ(msect_create(-1, 1, "x"), nullptr);
    sys_set_last_error(0);
    EXPECT_EQ(msect_create(1, 1, "seventeen-chars-x"), nullptr);
    EXPECT_EQ(sys_get_last_error(), 87u);
    SharedSemaphore *s = msect_create(1, 1, "sixteen-chars-xx");
    EXPECT_NE(s, nullptr);
    msect_close(s);
    EXPECT_EQ(msect_open(nullptr), nullptr);
    EXPECT_EQ(msect_open("nobody"), nullptr);
}

TEST_F(SemaphoreTest, SameNameSharesTheCount) {
    SharedSemaphore *a = msect_create(1, 1, "disp");
    ASSERT_NE(a, nullptr);
    SharedSemaphore *b = msect_create(0, 5, "disp"); // attaches: its arguments are ignored
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sys_get_last_error(), 183u);
    SharedSemaphore *c = msect_open("disp");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(msect_wait(b, 0), 0u);
    EXPECT_EQ(msect_wait(a, 0), 258u);
    EXPECT_FALSE(msect_release(c, 2, nullptr)); // the first creator's maximum 1 holds
    EXPECT_TRUE(msect_release(c, 1, nullptr));

    // A waiter on one handle is woken by a release through another.
    EXPECT_EQ(msect_wait(a, 0), 0u);
    std::atomic<uint32_t> result{99};
    std::thread t([&] { result = msect_wait(b, 2000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(msect_release(c, 1, nullptr));
    t.join();
    EXPECT_EQ(result.load(), 0u);
    msect_close(a);
    msect_close(b);
    msect_close(c);
    EXPECT_EQ(msect_open("disp"), nullptr); // gone with its last user
}

TEST_F(SemaphoreTest, MutualExclusionUnderContention) {
    SharedSemaphore *s = msect_create(1, 1, "mutex");
    ASSERT_NE(s, nullptr);
    int inside = 0, max_inside = 0, total = 0;
    auto body = [&] {
        for (int i = 0; i < 2000; ++i) {
            msect_wait(s, 0xFFFFFFFFu);
            int now = ++inside;
            if (now > max_inside) max_inside = now;
            ++total;
            --inside;
            msect_release(s, 1, nullptr);
        }
    };
    std::thread t1(body), t2(body), t3(body);
    t1.join();
    t2.join();
    t3.join();
    EXPECT_EQ(max_inside, 1);
    EXPECT_EQ(total, 6000);
    msect_close(s);
}

TEST_F(SemaphoreTest, TwoProcessesShareOneName) {
    SharedSemaphore *s = msect_create(1, 1, "sound");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(msect_wait(s, 0), 0u); // held by this process
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        SharedSemaphore *c = msect_create(1, 1, "sound");
        if (!c || sys_get_last_error() != 183) _exit(2);
        if (msect_wait(c, 20) != 258) _exit(3); // the parent holds it
        if (msect_wait(c, 5000) != 0) _exit(4); // woken by the parent's release
        if (!msect_release(c, 1, nullptr)) _exit(5);
        msect_close(c);
        _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(msect_release(s, 1, nullptr));
    EXPECT_EQ(test_wait_child(pid), 0);
    EXPECT_EQ(msect_wait(s, 1000), 0u); // the child gave it back
    msect_close(s);
}

TEST_F(SemaphoreTest, CreatorKilledWhileHoldingIt) {
    const pid_t pid = test_child_holding([] {
        SharedSemaphore *c = msect_create(1, 1, "sound");
        return c && msect_wait(c, 0) == 0;
    });
    ASSERT_GT(pid, 0);
    test_kill_child(pid);
    // The next run does not hang: the dead creator's section is initialised afresh.
    SharedSemaphore *s = msect_create(1, 1, "sound");
    ASSERT_NE(s, nullptr);
    EXPECT_NE(sys_get_last_error(), 183u);
    EXPECT_EQ(msect_wait(s, 100), 0u);
    msect_close(s);
}

// Names of /dev/shm objects that carry the process id `pid` in the program's own prefix.
static std::vector<std::string> objects_of(pid_t pid) {
    std::vector<std::string> out;
    const std::string mark = "." + std::to_string(pid) + ".";
    if (DIR *d = opendir("/dev/shm")) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.rfind("tavok.", 0) == 0 && name.find(mark) != std::string::npos)
                out.push_back(name);
        }
        closedir(d);
    }
    return out;
}

// Two copies of the program run by one user, with the program's own names: the first is killed
// while it holds "disp", the second goes on taking and giving back its locks frame after frame
// and ends normally. What the dead copy left in /dev/shm goes at the next start.
TEST(SemaphoreCopies, CopyKilledHoldingDispStallsNoOther) {
    sys_shm_set_name_prefix(nullptr);
    int go[2], ready[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(ready), 0);
    const pid_t first = test_child_holding([] {
        SharedSemaphore *disp = msect_create(1, 1, "disp");
        SharedSemaphore *sound = msect_create(1, 1, "sound");
        return disp && sound && msect_wait(disp, 0) == 0;
    });
    ASSERT_GT(first, 0);
    EXPECT_EQ(objects_of(first).size(), 4u); // two sections, two events
    const pid_t second = fork();
    ASSERT_GE(second, 0);
    if (second == 0) {
        close(go[1]);
        close(ready[0]);
        SharedSemaphore *disp = msect_create(1, 1, "disp");
        SharedSemaphore *sound = msect_create(1, 1, "sound");
        if (!disp || !sound || sys_get_last_error() == 183) _exit(2);
        const char up = 1;
        if (write(ready[1], &up, 1) != 1) _exit(5);
        for (int frame = 0; frame < 200; ++frame) {
            if (frame == 100) { // the first copy dies here
                char c;
                if (read(go[0], &c, 1) != 1) _exit(3);
            }
            if (msect_wait(disp, 2000) != 0 || msect_wait(sound, 2000) != 0) _exit(4);
            msect_release(sound, 1, nullptr);
            msect_release(disp, 1, nullptr);
        }
        msect_close(sound);
        msect_close(disp);
        _exit(0);
    }
    close(go[0]);
    close(ready[1]);
    char c = 0;
    EXPECT_EQ(read(ready[0], &c, 1), 1); // started (and swept) while the first copy lived
    close(ready[0]);
    test_kill_child(first);
    EXPECT_EQ(write(go[1], &c, 1), 1);
    close(go[1]);
    EXPECT_EQ(test_wait_child(second), 0);
    EXPECT_TRUE(objects_of(second).empty()); // closed on the way out
    EXPECT_EQ(objects_of(first).size(), 4u);

    // The next start removes the dead copy's objects.
    const pid_t next = fork();
    ASSERT_GE(next, 0);
    if (next == 0) {
        SharedSemaphore *disp = msect_create(1, 1, "disp");
        _exit(disp && msect_wait(disp, 0) == 0 ? 0 : 1);
    }
    EXPECT_EQ(test_wait_child(next), 0);
    EXPECT_TRUE(objects_of(first).empty());
}
