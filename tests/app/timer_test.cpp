#include "app/timer.h"
#include "platform/sys/sys_time.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// A fake clock: time moves only by sleeping (and a small step per yield) or by "work".
struct FakeClock {
    uint64_t ns = 5000000000ull;
    bool has_counter = true;
    std::vector<uint32_t> sleeps;
};
FakeClock g_fake;

class PacingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake = FakeClock();
        SysTimeHooks h;
        h.perf_counter = []() -> uint64_t { return g_fake.has_counter ? g_fake.ns : 0; };
        h.perf_frequency = []() -> uint64_t { return g_fake.has_counter ? 1000000000 : 0; };
        h.time_ms = [] { return (uint32_t)(g_fake.ns / 1000000ull); };
        h.sleep_ms = [](uint32_t ms) {
            g_fake.sleeps.push_back(ms);
            g_fake.ns += ms ? ms * 1000000ull : 10000ull; // a yield takes 0.01 ms
        };
        sys_time_set_hooks(&h);
    }
    void TearDown() override { sys_time_set_hooks(nullptr); }
    void start() {
        timer_init_perf_clock(60);
        timer_init(60);
    }
    void work_ms(double ms) { g_fake.ns += (uint64_t)(ms * 1e6); }
};

} // namespace

TEST(Clock, WrapRules) {
    EXPECT_EQ(timer_elapsed_ms(0xFFFFFFF0u, 0x10u), 0x1Fu);
    EXPECT_EQ(timer_elapsed_ms(100, 250), 150u);
    EXPECT_EQ(timer_elapsed_ms(7, 7), 0u);
    const int64_t max = INT64_MAX;
    EXPECT_EQ(timer_tick_diff(10, 25), 15);
    EXPECT_EQ(timer_tick_diff(5, 5), max);
    EXPECT_EQ(timer_tick_diff(0, 0), max);
    // Backwards readings: (2^63 - 1) - later + earlier, wrapping in 64 bits.
    EXPECT_EQ(timer_tick_diff(30, 20), INT64_MIN + 9);
    EXPECT_EQ(timer_tick_diff(max - 1, 2), -5);
}

TEST_F(PacingTest, PerFrameValues) {
    start();
    FrameTimer *t = timer_get_frame_timer();
    EXPECT_EQ(t->whole_ms_per_frame, 16);
    EXPECT_FLOAT_EQ(t->us_per_frame, 1e6f / 60);
    EXPECT_EQ(timer_get_rate(), 60u);
    timer_set_rate(0); // no division by zero
    EXPECT_EQ(t->whole_ms_per_frame, 0);
    timer_set_rate(30);
    EXPECT_EQ(t->whole_ms_per_frame, 32);
}

TEST_F(PacingTest, WithCounterEndsAtTheSixtiethOfASecond) {
    start();
    FrameTimer *t = timer_get_frame_timer();
    for (int frame = 0; frame < 120; ++frame) {
        int64_t boundary = t->previous_ticks;
        g_fake.sleeps.clear();
        work_ms(2 + (frame % 7)); // work of varying length, always under a frame
        timer_wait_next_frame();
        int64_t took = t->previous_ticks - boundary;
        ASSERT_GE(took, 16666667) << frame;
        ASSERT_LT(took, 16666667 + 10001) << frame;
        ASSERT_FALSE(g_fake.sleeps.empty());
        for (uint32_t s : g_fake.sleeps) ASSERT_LE(s, 13u);
    }
    EXPECT_EQ(timer_get_frame_count(), 120u);
    float fps;
    uint32_t rate;
    timer_get_fps(&fps, &rate);
    EXPECT_NEAR(fps, 60.0f, 0.1f);
    EXPECT_EQ(rate, 60u);
}

TEST_F(PacingTest, LateFrameReturnsAfterOneYield) {
    start();
    FrameTimer *t = timer_get_frame_timer();
    work_ms(20);
    timer_wait_next_frame();
    ASSERT_EQ(g_fake.sleeps.size(), 1u);
    EXPECT_EQ(g_fake.sleeps[0], 0u);
    // Lateness is not made up: the next frame is a full frame from the end of this one.
    int64_t boundary = t->previous_ticks;
    timer_wait_next_frame();
    EXPECT_GE(t->previous_ticks - boundary, 16666667);
}

TEST_F(PacingTest, WithoutCounterTheMillisecondsDecide) {
    g_fake.has_counter = false;
    start();
    EXPECT_EQ(timer_read_counter(), 0);
    EXPECT_EQ(timer_frequency(), 0);
    EXPECT_EQ(timer_frame_load_percent(), 0.0f);
    uint32_t begin_ms = (uint32_t)(g_fake.ns / 1000000ull);
    work_ms(1);
    timer_wait_next_frame();
    uint32_t took = (uint32_t)(g_fake.ns / 1000000ull) - begin_ms;
    EXPECT_EQ(took, 17u); // more than 16 whole milliseconds
    for (uint32_t s : g_fake.sleeps) EXPECT_LE(s, 13u);
}

TEST_F(PacingTest, StoppedTimerReturnsAtOnceAndFpsIsCapped) {
    start();
    timer_set_started(0);
    timer_wait_next_frame();
    EXPECT_TRUE(g_fake.sleeps.empty());
    timer_set_started(1);
    timer_get_frame_timer()->measured_fps = 75.0f;
    float fps;
    timer_get_fps(&fps, nullptr);
    EXPECT_EQ(fps, 60.0f);
}

TEST_F(PacingTest, FrameLoadPercent) {
    start();
    timer_begin_frame_clock();
    work_ms(16.666667 / 2);
    EXPECT_NEAR(timer_frame_load_percent(), 50.0f, 0.01f);
    timer_stamp_b();
    work_ms(16.666667 / 2);
    EXPECT_NEAR(timer_stamp_b_percent(), 50.0f, 0.01f);
    int64_t stamp;
    timer_stamp(&stamp);
    work_ms(16.666667 / 4);
    EXPECT_NEAR(timer_percent_since(&stamp), 25.0f, 0.01f);
    EXPECT_EQ(timer_percent_since(nullptr), 0.0f);
}
