// The movie layer without the device: header facts, frames fetched in any order upright with
// their markers, and damaged or unusable files refused (run under the sanitizers too).
#include <gtest/gtest.h>

#include "movie_test_env.h"
#include "platform/movie/movie_file.h"

namespace {

// ARGB of pixel (x, y), top row 0, of packed bottom-up BGR24 rows.
uint32_t row_pixel(const uint8_t *rows, int w, int h, int x, int y) {
    const uint8_t *p = rows + ((size_t)(h - 1 - y) * (size_t)w + (size_t)x) * 3;
    return 0xFF000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

} // namespace

TEST(MovieFile, OpensTheColourMovieAndFetchesFramesInAnyOrder) {
    MvlMovie *m = mvl_open(movie_files().colours.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(mvl_width(m), MOVIE_W);
    EXPECT_EQ(mvl_height(m), MOVIE_H);
    EXPECT_EQ(mvl_frame_count(m), (uint32_t)MOVIE_FRAMES);
    EXPECT_DOUBLE_EQ(mvl_rate(m), (double)MOVIE_FPS);
    // Forward, a skip, back by one and back to the start.
    for (int index : {0, 2, 1, 0}) {
        SCOPED_TRACE(index);
        const uint8_t *rows = mvl_fetch_frame(m, (uint32_t)index);
        ASSERT_NE(rows, nullptr);
        // Every pixel, so a row padded to 4 bytes (64 here, not 63) would shear the picture.
        for (int y = 0; y < MOVIE_H; ++y)
            for (int x = 0; x < MOVIE_W; ++x)
                ASSERT_EQ(row_pixel(rows, MOVIE_W, MOVIE_H, x, y), movie_pixel_argb(index, x, y))
                    << x << "," << y;
    }
    EXPECT_EQ(mvl_fetch_frame(m, MOVIE_FRAMES), nullptr);
    EXPECT_NE(mvl_fetch_frame(m, 1), nullptr); // a refused fetch leaves the movie usable
    mvl_close(m);
}

TEST(MovieFile, RefusesOrFailsDamagedAndUnusableFiles) {
    const MovieFiles &f = movie_files();
    EXPECT_EQ(mvl_open(f.not_avi.c_str()), nullptr);
    EXPECT_EQ(mvl_open(f.too_wide.c_str()), nullptr);
    EXPECT_EQ(mvl_open((f.folder + "missing.avi").c_str()), nullptr);
    EXPECT_EQ(mvl_open(""), nullptr);
    EXPECT_EQ(mvl_open(nullptr), nullptr);

    // The cut file opens or not, but cannot give every frame, and never crashes.
    if (MvlMovie *m = mvl_open(f.truncated.c_str())) {
        bool all = true;
        for (int pass = 0; pass < 2; ++pass)
            for (uint32_t i = 0; i < mvl_frame_count(m); ++i) all = mvl_fetch_frame(m, i) && all;
        EXPECT_FALSE(all);
        mvl_close(m);
    }
    mvl_close(nullptr);
}
