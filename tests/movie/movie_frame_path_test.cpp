// A stepped movie shown by two sprites, one among layers 10-39 and one on layer 6 over the layer
// target's sprite, played frame by frame with layers 10-39 straight into the back buffer and
// through the layer target: every presented window the same, and the movie's own colours.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "movie_test_env.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/movie.h"
#include "scene/sprite2d.h"

namespace {

// The top-left corners of the two pictures; the layer-6 one, at half alpha, covers the
// bottom-right part of the other, its black marker included.
constexpr int LOW_X = 6, LOW_Y = 6, LOW_LAYER = 20;
constexpr int HIGH_X = 20, HIGH_Y = 12, HIGH_LAYER = 6;
constexpr int HIGH_ALPHA = 0x80;

// Movie frames in the order they are shown: steps forward, a frame held, a step back.
constexpr int SHOWN[] = {0, 1, 2, 2, 0, 1};

class MovieFramePathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(movie_test_start());
        gfx_reset_scene();
        gpu_debug_capture_window(true);
    }
    void TearDown() override {
        gpu_debug_capture_window(false);
        gfx_allow_direct_layers(true);
        gfx_reset_scene();
    }
};

bool frame_pending(MovieSlot *slot) {
    std::lock_guard<std::mutex> guard(slot->player.lock);
    return slot->player.frame_pending != 0;
}

// Waits up to five seconds for the decode thread to hand a frame over.
bool wait_pending(MovieSlot *slot) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!frame_pending(slot)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Window {
    int w = 0, h = 0;
    std::vector<uint32_t> px; // RGB, top row first
    uint32_t at(int x, int y) const { return px[(size_t)y * w + x]; }
};

// The window as the last present left it.
Window presented(void) {
    Window win;
    gpu_debug_window_size(&win.w, &win.h);
    win.px.assign((size_t)win.w * win.h, 0);
    for (int y = 0; y < win.h; ++y)
        for (int x = 0; x < win.w; ++x) {
            uint32_t argb = 0xDEADBEEFu;
            EXPECT_TRUE(gpu_debug_window_pixel(x, y, &argb));
            win.px[(size_t)y * win.w + x] = argb & 0xFFFFFFu;
        }
    return win;
}

// One frame with the movie's front picture on both sprites, through the path asked for.
Window show(MovieSlot *slot, bool direct) {
    const ResourceHandle crop = movie_get_sprite(slot);
    EXPECT_NE(sprite2d_put_crop(0, crop, 0xFFFFFFFFu, LOW_X, LOW_Y, 0, 0, 1, 1, LOW_LAYER),
              nullptr);
    EXPECT_NE(sprite2d_put_crop(0, crop, (uint32_t)HIGH_ALPHA << 24 | 0xFFFFFFu, HIGH_X, HIGH_Y, 0,
                                0, 1, 1, HIGH_LAYER),
              nullptr);
    gfx_allow_direct_layers(direct);
    gfx_render_frame(0);
    EXPECT_EQ(gfx_last_frame_path(), direct ? GFX_PATH_DIRECT : GFX_PATH_LAYER_TARGET);
    return presented();
}

// The whole run: the movie stepped through SHOWN from a fresh start. Each new movie frame takes
// two presented windows: the one whose frame pass uploads it (the sprites still show the
// picture that was in front when they were put) and the next, which shows it. Returns the
// windows; `showing` gets the second window's index for each entry of SHOWN.
std::vector<Window> run(bool direct, std::vector<size_t> *showing) {
    std::vector<Window> windows;
    gfx_reset_scene();
    gfx_set_clear_color(0x203040); // covered by the layer target's sprite either way
    MovieSlot *slot = movie_play(1, movie_name(movie_files().colours).c_str(), MOVIE_MODE_STEPPED);
    EXPECT_NE(slot, nullptr);
    if (!slot) return windows;
    EXPECT_TRUE(slot->flags & MOVIE_SLOT_THREAD);
    int previous = -1;
    for (int frame : SHOWN) {
        if (frame != previous) {
            if (previous >= 0) { // frame 0 comes with the open
                EXPECT_EQ(movie_step_to(slot, (uint32_t)frame), 1);
            }
            EXPECT_TRUE(wait_pending(slot)) << "movie frame " << frame;
            windows.push_back(show(slot, direct));
        }
        previous = frame;
        showing->push_back(windows.size());
        windows.push_back(show(slot, direct));
    }
    movie_stop(slot);
    return windows;
}

// What the two pictures of movie frame `frame` make at one window pixel, per channel in double
// precision: the layer target's clear colour (black) under everything, the low picture over it,
// the high one blended at its alpha over that. `blended` says whether the high one covers it.
struct Expected {
    double rgb[3];
    bool blended;
    bool operator==(const Expected &o) const {
        return rgb[0] == o.rgb[0] && rgb[1] == o.rgb[1] && rgb[2] == o.rgb[2] &&
               blended == o.blended;
    }
};

bool inside(int x, int y, int left, int top) {
    return x >= left && x < left + MOVIE_W && y >= top && y < top + MOVIE_H;
}

Expected expected_at(int frame, int x, int y) {
    Expected e = {{0, 0, 0}, false};
    const auto channels = [](uint32_t argb, double out[3]) {
        for (int c = 0; c < 3; ++c) out[c] = (double)((argb >> (16 - 8 * c)) & 0xFF);
    };
    if (inside(x, y, LOW_X, LOW_Y)) channels(movie_pixel_argb(frame, x - LOW_X, y - LOW_Y), e.rgb);
    if (inside(x, y, HIGH_X, HIGH_Y)) {
        double src[3];
        channels(movie_pixel_argb(frame, x - HIGH_X, y - HIGH_Y), src);
        const double a = HIGH_ALPHA / 255.0;
        for (int c = 0; c < 3; ++c) e.rgb[c] = src[c] * a + e.rgb[c] * (1 - a);
        e.blended = true;
    }
    return e;
}

// Pixels that differ from the movie frame's expected picture, among those whose neighbours all
// expect the same (no picture or marker edge): exact where nothing blends, within 1 per channel
// where the high picture does. `checked` counts the pixels looked at.
int wrong_pixels(const Window &win, int frame, int *checked) {
    int wrong = 0;
    *checked = 0;
    for (int y = 1; y + 1 < win.h; ++y)
        for (int x = 1; x + 1 < win.w; ++x) {
            const Expected e = expected_at(frame, x, y);
            bool interior = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    interior = interior && expected_at(frame, x + dx, y + dy) == e;
            if (!interior) continue;
            ++*checked;
            const uint32_t got = win.at(x, y);
            const double tolerance = e.blended ? 1.0 : 0.0;
            bool ok = true;
            for (int c = 0; c < 3; ++c) {
                const double channel = (double)((got >> (16 - 8 * c)) & 0xFF);
                ok = ok && std::fabs(channel - e.rgb[c]) <= tolerance + 0.5;
            }
            if (!ok && wrong < 5)
                ADD_FAILURE() << "movie frame " << frame << " at (" << x << ", " << y
                              << "): " << std::hex << got;
            wrong += !ok;
        }
    return wrong;
}

} // namespace

TEST_F(MovieFramePathTest, BothPathsShowTheSameMovieFrames) {
    std::vector<size_t> shown_direct, shown_target;
    const std::vector<Window> direct = run(true, &shown_direct);
    const std::vector<Window> target = run(false, &shown_target);
    ASSERT_EQ(direct.size(), target.size());
    ASSERT_EQ(shown_direct, shown_target);
    ASSERT_EQ(shown_direct.size(), std::size(SHOWN));

    for (size_t i = 0; i < direct.size(); ++i) {
        ASSERT_EQ(direct[i].w, target[i].w);
        ASSERT_EQ(direct[i].h, target[i].h);
        int differing = 0;
        for (size_t p = 0; p < direct[i].px.size(); ++p)
            differing += direct[i].px[p] != target[i].px[p];
        EXPECT_EQ(differing, 0) << "presented window " << i;
    }

    // The pictures are the movie's: its grounds and markers, blended where the high one lies.
    for (size_t n = 0; n < shown_direct.size(); ++n) {
        const Window &win = direct[shown_direct[n]];
        ASSERT_GE(win.w, HIGH_X + MOVIE_W + 1);
        ASSERT_GE(win.h, HIGH_Y + MOVIE_H + 1);
        int checked = 0;
        EXPECT_EQ(wrong_pixels(win, SHOWN[n], &checked), 0) << "shown entry " << n;
        // The grounds' interiors alone are well over this.
        EXPECT_GT(checked, 2 * (MOVIE_W - 8) * (MOVIE_H - 8));
    }
}
