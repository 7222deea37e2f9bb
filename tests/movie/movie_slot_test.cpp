// The slots with their decode threads, through the graphics chains: a stepped movie drawn as a
// sprite, the slot pool, start and stop, owners, scene reset and graphics shutdown while movies
// loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <sys/wait.h>

#include <SDL2/SDL.h>

#include "movie_test_env.h"
#include "render/gfx_frame.h"
#include "render/movie.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/sprite2d.h"
#include "tests/support/test_render.h"

namespace {

class MovieSlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(movie_test_start());
        gfx_reset_scene();
    }
    void TearDown() override { gfx_reset_scene(); }
};

bool frame_pending(MovieSlot *slot) {
    std::lock_guard<std::mutex> guard(slot->player.lock);
    return slot->player.frame_pending != 0;
}

// Waits up to five seconds for the condition.
template <class F> bool wait_for(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST_F(MovieSlotTest, SteppedMovieIsDrawnUprightAsASprite) {
    const std::string name = movie_name(movie_files().colours);
    MovieSlot *slot = movie_play(1, name.c_str(), MOVIE_MODE_STEPPED);
    ASSERT_NE(slot, nullptr);
    ASSERT_TRUE(slot->flags & MOVIE_SLOT_THREAD);
    EXPECT_EQ(movie_get_frame_count(slot), (uint32_t)MOVIE_FRAMES);
    gfx_render_frame(0); // frame 0 from the open
    ASSERT_EQ(movie_step_to(slot, 1), 1);
    ASSERT_TRUE(wait_for([&] { return frame_pending(slot); }));
    gfx_render_frame(0);

    MoviePlayer *p = &slot->player;
    const ResourceHandle front = p->textures[p->front];
    // Texture row h - 1 holds the picture's top row.
    EXPECT_EQ(res_texture_read_pixel(front, 1, MOVIE_H - 2), 0xFFFFFFFFu);
    EXPECT_EQ(res_texture_read_pixel(front, MOVIE_W / 2, MOVIE_H / 2), movie_frame_argb(1));

    // Drawn through the layer target with the front crop, top-left corner at (10, 8).
    const int x0 = 10, y0 = 8;
    SceneObject *s = sprite2d_put_crop(0, movie_get_sprite(slot), 0xFFFFFFFFu, (float)x0, (float)y0,
                                       0.0f, 0.0f, 1.0f, 1.0f, 20);
    ASSERT_NE(s, nullptr);
    gfx_render_frame(0);
    EXPECT_EQ(test_pixel(x0 + 1, y0 + 1) & 0xFFFFFFu, 0xFFFFFFu); // white marker, top-left
    EXPECT_EQ(test_pixel(x0 + MOVIE_W / 2, y0 + MOVIE_H / 2) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(test_pixel(x0 + MOVIE_W - 2, y0 + MOVIE_H - 2) & 0xFFFFFFu, 0u); // black marker
}

TEST_F(MovieSlotTest, FourSlotsAtMostAndStopIgnoresFreeSlots) {
    MovieSlot *slots[MOVIE_SLOT_COUNT];
    for (MovieSlot *&s : slots) {
        // A file that does not open still takes its slot, without a thread.
        s = movie_play(2, "missing.avi", MOVIE_MODE_LOOP);
        ASSERT_NE(s, nullptr);
        EXPECT_FALSE(s->flags & MOVIE_SLOT_THREAD);
    }
    EXPECT_EQ(movie_play(2, movie_name(movie_files().colours).c_str(), MOVIE_MODE_LOOP), nullptr);
    EXPECT_EQ(movie_get_count(), MOVIE_SLOT_COUNT);
    movie_stop(slots[1]);
    movie_stop(slots[1]); // already free: nothing changes
    movie_stop(nullptr);
    EXPECT_EQ(movie_get_count(), MOVIE_SLOT_COUNT - 1);
    // The freed slot is the one handed out next.
    EXPECT_EQ(movie_play(2, "missing.avi", MOVIE_MODE_LOOP), slots[1]);
    EXPECT_EQ(movie_get_count(), MOVIE_SLOT_COUNT);
}

TEST_F(MovieSlotTest, ReleasingAnOwnerStopsItsMoviesOnly) {
    const std::string name = movie_name(movie_files().fast);
    MovieSlot *mine = movie_play(5, name.c_str(), MOVIE_MODE_LOOP);
    MovieSlot *other = movie_play(6, name.c_str(), MOVIE_MODE_LOOP);
    ASSERT_TRUE(mine && other);
    EXPECT_EQ(movie_live_decoders(), 2);
    obj_release_owner(5);
    EXPECT_FALSE(mine->flags & MOVIE_SLOT_IN_USE);
    EXPECT_TRUE(other->flags & MOVIE_SLOT_THREAD);
    EXPECT_EQ(movie_get_count(), 1);
    EXPECT_EQ(movie_live_decoders(), 1);
}

TEST_F(MovieSlotTest, StartAndStopAHundredTimes) {
    const std::string name = movie_name(movie_files().fast);
    for (int i = 0; i < 100; ++i) {
        MovieSlot *s = movie_play(3, name.c_str(), i % 2 ? MOVIE_MODE_LOOP : MOVIE_MODE_ONCE);
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(s->flags & MOVIE_SLOT_THREAD);
        // Every few rounds the decoder gets to run before the stop; otherwise it may not have
        // started yet.
        if (i % 10 == 0) gfx_render_frame(0);
        movie_stop(s);
    }
    EXPECT_EQ(movie_get_count(), 0);
    EXPECT_EQ(movie_live_decoders(), 0);
}

TEST_F(MovieSlotTest, SceneResetEndsEveryLoopingDecoder) {
    const std::string name = movie_name(movie_files().fast);
    for (int i = 0; i < 3; ++i) ASSERT_NE(movie_play(4, name.c_str(), MOVIE_MODE_LOOP), nullptr);
    EXPECT_EQ(movie_live_decoders(), 3);
    for (int i = 0; i < 5; ++i) gfx_render_frame(0);
    gfx_reset_scene();
    EXPECT_EQ(movie_live_decoders(), 0);
    EXPECT_EQ(movie_get_count(), 0);
    // The slots are usable again.
    ASSERT_NE(movie_play(4, name.c_str(), MOVIE_MODE_LOOP), nullptr);
    gfx_clear_scene();
    EXPECT_EQ(movie_live_decoders(), 0);
}

// A decoder waiting for a frame 10 s away, or for the main thread without a time limit, is
// reached at once by a stop, a step, a rewind and a consumed frame. The bounds are far above any
// scheduling delay and far below the frame time: they fail only when the thread waits it out.
TEST_F(MovieSlotTest, MainThreadChangesReachAWaitingDecoderAtOnce) {
    using clock = std::chrono::steady_clock;
    const auto bound = std::chrono::seconds(5);
    const std::string name = movie_name(movie_files().slow);
    const auto ground = [](MovieSlot *slot) {
        MoviePlayer *p = &slot->player;
        return res_texture_read_pixel(p->textures[p->front], MOVIE_W / 2, MOVIE_H / 2);
    };
    // Lets a decode thread reach its wait; nothing is asserted on this time.
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };

    MovieSlot *timed = movie_play(1, name.c_str(), MOVIE_MODE_LOOP);
    ASSERT_NE(timed, nullptr);
    ASSERT_TRUE(timed->flags & MOVIE_SLOT_THREAD);
    gfx_render_frame(0);
    settle();
    auto start = clock::now();
    movie_stop(timed);
    EXPECT_LT(clock::now() - start, bound);
    EXPECT_EQ(movie_live_decoders(), 0);

    MovieSlot *stepped = movie_play(1, name.c_str(), MOVIE_MODE_STEPPED);
    ASSERT_NE(stepped, nullptr);
    gfx_render_frame(0); // frame 0 uploaded and consumed
    settle();
    ASSERT_EQ(movie_step_to(stepped, 1), 1);
    ASSERT_TRUE(wait_for([&] { return frame_pending(stepped); }));
    // Stepped back while frame 1 still waits for upload: the decoder holds frame 0 back until
    // the frame pass has shown and consumed frame 1.
    settle();
    ASSERT_EQ(movie_step_to(stepped, 0), 1);
    settle();
    gfx_render_frame(0);
    EXPECT_EQ(ground(stepped), movie_frame_argb(1));
    ASSERT_TRUE(wait_for([&] { return frame_pending(stepped); }));
    gfx_render_frame(0);
    EXPECT_EQ(ground(stepped), movie_frame_argb(0));
    // From frame 1, a rewind brings frame 0 back.
    ASSERT_EQ(movie_step_to(stepped, 1), 1);
    ASSERT_TRUE(wait_for([&] { return frame_pending(stepped); }));
    gfx_render_frame(0);
    EXPECT_EQ(ground(stepped), movie_frame_argb(1));
    settle();
    movie_rewind(stepped);
    ASSERT_TRUE(wait_for([&] { return frame_pending(stepped); }));
    gfx_render_frame(0);
    EXPECT_EQ(ground(stepped), movie_frame_argb(0));
    settle();
    start = clock::now();
    movie_stop(stepped);
    EXPECT_LT(clock::now() - start, bound);
    EXPECT_EQ(movie_live_decoders(), 0);
}

// Run in a process of its own by the next test: the whole graphics chain started, movies looping,
// then shut down. Prints how many decoders started and how many outlived the shutdown; a decoder
// thread still joinable when the process exits would abort it.
TEST(MovieShutdownChild, DISABLED_LoopingMoviesThenShutdown) {
    movie_test_config();
    SDL_Window *window = test_window("movie shutdown", 64, 48);
    ASSERT_NE(window, nullptr);
    gfx_init(window, 0, 64, 48, 32, nullptr);
    const std::string name = movie_name(movie_files().fast);
    for (int i = 0; i < MOVIE_SLOT_COUNT; ++i) movie_play(1, name.c_str(), MOVIE_MODE_LOOP);
    const int32_t started = movie_live_decoders();
    for (int i = 0; i < 5; ++i) gfx_render_frame(0);
    test_keep_gl_driver(); // the leak checker then sees the driver's own blocks by name
    gfx_shutdown();
    const int32_t live = movie_live_decoders();
    SDL_DestroyWindow(window);
    SDL_Quit();
    printf("decoders started %d, alive after shutdown %d\n", (int)started, (int)live);
    fflush(stdout);
    // Static destructors run here: a decoder thread still joinable would abort the process.
    std::exit(0);
}

TEST(MovieShutdown, GraphicsShutdownWhileLoopingExitsZero) {
    char exe[1024];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = 0;
    const std::string command = std::string("'") + exe +
                                "' --gtest_also_run_disabled_tests"
                                " --gtest_filter=MovieShutdownChild.DISABLED_*";
    FILE *child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string output;
    char line[256];
    while (fgets(line, sizeof line, child)) output += line;
    const int status = pclose(child);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("decoders started 4, alive after shutdown 0"), std::string::npos)
        << output;
}
