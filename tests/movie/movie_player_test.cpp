// The players with the device but without their threads: the test runs the decode steps and the
// uploads, and drives the clock through the time hooks.
#include <gtest/gtest.h>

#include "movie_test_env.h"
#include "platform/sys/sys_time.h"
#include "render/gfx_frame.h"
#include "render/movie.h"
#include "resource/res_texture.h"

namespace {

uint32_t s_now_ms;

class MoviePlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(movie_test_start());
        gfx_reset_scene();
        s_now_ms = 1000;
        SysTimeHooks hooks = {};
        hooks.time_ms = [] { return s_now_ms; };
        hooks.sleep_ms = [](uint32_t) {};
        sys_time_set_hooks(&hooks);
        player = &movie_slot_at(0)->player;
    }
    void TearDown() override {
        // Closed and stopped, as a join leaves it: the slot tests start threads on this player.
        movie_close_player(player);
        player->state = MOVIE_STATE_STOPPED;
        sys_time_set_hooks(nullptr);
    }
    bool open(const std::string &path, uint32_t mode) {
        if (!movie_open_player(player, path.c_str())) return false;
        movie_set_mode(slot(), mode);
        movie_play_on(slot());
        return movie_get_mode(slot()) == mode;
    }
    // Runs one decode step at the given time.
    int32_t step_at(uint32_t ms) {
        s_now_ms = ms;
        return movie_decode_step(player);
    }
    // One drawn frame: upload what is pending, then the shown frame is done with.
    int32_t frame() {
        const int32_t uploaded = movie_upload_frame(player);
        movie_consume_frame(player);
        return uploaded;
    }
    // The front texture's pixel (x, y) of the picture, top row 0 (the rows are stored bottom-up).
    uint32_t front_pixel(int x, int y) {
        return res_texture_read_pixel(player->textures[player->front], x, player->height - 1 - y);
    }
    uint32_t front_ground() { return front_pixel(MOVIE_W / 2, MOVIE_H / 2); }
    MovieSlot *slot() { return movie_slot_at(0); }

    MoviePlayer *player = nullptr;
};

} // namespace

TEST_F(MoviePlayerTest, FrameZeroIsShownRightAfterOpenUprightThroughTheCrop) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE));
    EXPECT_EQ(player->frame_count, (uint32_t)MOVIE_FRAMES);
    EXPECT_EQ(player->texture_width, 32u);
    EXPECT_EQ(player->texture_height, 16u);
    EXPECT_EQ(movie_upload_frame(player), 1);
    EXPECT_EQ(movie_upload_frame(player), 0);
    for (int y = 0; y < MOVIE_H; ++y)
        for (int x = 0; x < MOVIE_W; ++x)
            ASSERT_EQ(front_pixel(x, y), movie_pixel_argb(0, x, y)) << x << "," << y;
    // The crop runs from the picture's top row (texture row h - 1) down to row 0.
    const CropRecord *c = res_get_crop(player->crops[player->front]);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->texture, player->textures[player->front]);
    EXPECT_FLOAT_EQ(c->u0, 0.0f);
    EXPECT_FLOAT_EQ(c->v0, 11.0f / 16.0f);
    EXPECT_FLOAT_EQ(c->u_size, 21.0f / 32.0f);
    EXPECT_FLOAT_EQ(c->v_size, -11.0f / 16.0f);
}

TEST_F(MoviePlayerTest, TwoStepsWithoutAnUpdateHandOverOnce) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE));
    frame();
    EXPECT_EQ(step_at(1050), 1); // still frame 0: nothing new
    EXPECT_EQ(frame(), 0);
    EXPECT_EQ(step_at(1100), 1); // frame 1 pending
    EXPECT_EQ(step_at(1200), 1); // frame 2 dropped: frame 1 still waits
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(frame(), 0);
    EXPECT_EQ(front_ground(), movie_frame_argb(1));
}

TEST_F(MoviePlayerTest, OnceStopsOnTheLastFrameEvenWhenItWasDroppedOnTheWay) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE));
    frame();
    step_at(1100);               // frame 1 pending
    step_at(1200);               // frame 2 dropped
    EXPECT_EQ(step_at(1300), 0); // past the end
    EXPECT_EQ(player->current_frame.load(), 2u);
    EXPECT_EQ(player->busy.load(), 0u);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(1));
    EXPECT_EQ(step_at(1400), 0); // the last frame is handed over late
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(2));
    for (uint32_t t = 1500; t < 3000; t += 100) EXPECT_EQ(step_at(t), 0);
    EXPECT_EQ(frame(), 0);
    EXPECT_EQ(front_ground(), movie_frame_argb(2));
}

TEST_F(MoviePlayerTest, LoopRestartsAtFrameZeroWithANewStartTime) {
    // Four frames at 1,000 per second: frame n is due n ms after the start.
    ASSERT_TRUE(open(movie_files().fast, MOVIE_MODE_LOOP));
    frame();
    EXPECT_EQ(step_at(1003), 1);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(3));
    EXPECT_EQ(step_at(1004), 1); // past the end: frame 0 again, started now
    EXPECT_EQ(player->current_frame.load(), 0u);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(0));
    // Timed from the restart (an old start time would put this past the end again).
    EXPECT_EQ(step_at(1006), 1);
    EXPECT_EQ(player->current_frame.load(), 2u);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(2));
}

TEST_F(MoviePlayerTest, PauseThenPlayResumesAtTheFrameAfterTheLastShown) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE));
    frame();
    step_at(1100);
    EXPECT_EQ(frame(), 1);
    movie_pause(slot());
    EXPECT_EQ(step_at(1150), 0);
    EXPECT_EQ(step_at(9000), 0); // time passes while paused
    EXPECT_EQ(frame(), 0);
    movie_play_on(slot());
    EXPECT_EQ(step_at(9001), 1);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(2));
    // The start time was put back so frame 2 is due now: the end follows a frame later.
    EXPECT_EQ(step_at(9050), 1);
    EXPECT_EQ(step_at(9101), 0);
}

TEST_F(MoviePlayerTest, SteppedModeHandsOverOnlyWhatWasSteppedTo) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_STEPPED));
    EXPECT_EQ(movie_upload_frame(player), 1); // frame 0 on screen, not yet consumed
    EXPECT_EQ(step_at(5000), 1);
    EXPECT_EQ(movie_upload_frame(player), 0); // time alone moves nothing
    // Stepped while frame 0 is still on screen unconsumed: kept, not dropped.
    EXPECT_EQ(movie_step_to(slot(), 1), 1);
    EXPECT_EQ(step_at(5001), 1);
    EXPECT_EQ(movie_upload_frame(player), 0);
    movie_consume_frame(player);
    EXPECT_EQ(step_at(5002), 1);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(1));
    EXPECT_EQ(step_at(5003), 1);
    EXPECT_EQ(frame(), 0);
    // Only frames below the count.
    EXPECT_EQ(movie_step_to(slot(), MOVIE_FRAMES), 0);
    EXPECT_EQ(movie_step_to(slot(), 2), 1);
    step_at(5004);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(2));
}

TEST_F(MoviePlayerTest, RewindShowsFrameZeroOnceTheScreenIsFree) {
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE));
    frame();
    step_at(1200);
    EXPECT_EQ(movie_upload_frame(player), 1); // frame 2 on screen, unconsumed
    movie_rewind(slot());
    EXPECT_EQ(step_at(1250), 1);
    movie_consume_frame(player);
    EXPECT_EQ(step_at(1260), 1);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(front_ground(), movie_frame_argb(0));
    EXPECT_EQ(step_at(1270), 1); // holds at frame 0
    EXPECT_EQ(frame(), 0);
}

TEST_F(MoviePlayerTest, EachStepSaysHowLongTheThreadMayWait) {
    // Frame n of a movie at r frames per second is due n * 1000 / r ms after frame 0.
    ASSERT_TRUE(open(movie_files().colours, MOVIE_MODE_ONCE)); // frame 0 at 1000, 10 per second
    frame();
    EXPECT_EQ(step_at(1030), 1);
    EXPECT_EQ(player->wait_ms, 70u); // frame 1 at 1100
    EXPECT_EQ(step_at(1099), 1);
    EXPECT_EQ(player->wait_ms, 1u);
    EXPECT_EQ(step_at(1100), 1); // frame 1 handed over
    EXPECT_EQ(player->wait_ms, 100u);
    EXPECT_EQ(step_at(1250), 1); // frame 2, late: the end is due at 1300 all the same
    EXPECT_EQ(player->wait_ms, 50u);
    EXPECT_EQ(step_at(1300), 0); // past the end: no frame comes due by itself any more
    EXPECT_EQ(player->wait_ms, MOVIE_WAIT_SIGNAL);
    // Paused, rewound and stepped movies move only when the main thread says so.
    movie_pause(slot());
    EXPECT_EQ(step_at(1400), 0);
    EXPECT_EQ(player->wait_ms, MOVIE_WAIT_SIGNAL);
    movie_rewind(slot());
    step_at(1500);
    EXPECT_EQ(player->wait_ms, MOVIE_WAIT_SIGNAL);
    movie_set_mode(slot(), MOVIE_MODE_STEPPED);
    movie_play_on(slot());
    step_at(1600);
    EXPECT_EQ(player->wait_ms, MOVIE_WAIT_SIGNAL);

    // A loop restarts its timing: four frames at 1,000 per second, restarted at 2004.
    s_now_ms = 2000;
    ASSERT_TRUE(open(movie_files().fast, MOVIE_MODE_LOOP)); // frame 0 at 2000
    frame();
    EXPECT_EQ(step_at(2004), 1);
    EXPECT_EQ(player->current_frame.load(), 0u);
    EXPECT_EQ(player->wait_ms, 1u); // frame 1 at 2005
}

TEST_F(MoviePlayerTest, UnusableMoviesAreRefusedAndLeaveThePlayerClosed) {
    const std::string too_wide = movie_test_too_wide_for_device();
    ASSERT_FALSE(too_wide.empty());
    for (const std::string &path : {movie_files().not_avi, movie_files().folder + too_wide}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(movie_open_player(player, movie_files().colours.c_str()), 1);
        EXPECT_EQ(movie_open_player(player, path.c_str()), 0);
        EXPECT_EQ(player->movie, nullptr);
        EXPECT_EQ(player->frame_count, 1u);
        EXPECT_EQ(movie_upload_frame(player), 0);
        EXPECT_EQ(res_get_texture(player->textures[0])->texture, nullptr);
    }
}

TEST(MovieNextPow2, SmallestPowerOfTwoNotBelow) {
    const uint32_t cases[][2] = {
        {0, 1},           {1, 1},          {2, 2},       {3, 4},
        {21, 32},         {1024, 1024},    {1025, 2048}, {0x80000000u, 0x80000000u},
        {0x80000001u, 0}, {0xFFFFFFFFu, 0}};
    for (const auto &c : cases) EXPECT_EQ(movie_next_pow2(c[0]), c[1]) << c[0];
}
