// Shared by the movie tests: the sample movies, written once per test program into a scratch
// folder, and the colours and markers their frames carry.
#pragma once
#include <cstdint>
#include <string>

// The colour movie: 21 x 11 pixels (odd row bytes), 3 frames at 10 per second. Frame i is solid
// red, green or blue; a white marker covers its top-left corner and a black one its bottom-right.
constexpr int MOVIE_W = 21;
constexpr int MOVIE_H = 11;
constexpr int MOVIE_FRAMES = 3;
constexpr int MOVIE_FPS = 10;
constexpr int MOVIE_MARK = 3; // marker side in pixels

// ARGB of frame i's ground.
uint32_t movie_frame_argb(int index);
// ARGB the colour movie's frame i carries at pixel (x, y), top row 0.
uint32_t movie_pixel_argb(int index, int x, int y);

struct MovieFiles {
    std::string folder;    // with a trailing slash
    std::string colours;   // the colour movie
    std::string one;       // one frame of the colour movie's size
    std::string fast;      // four frames of the colour movie at 1,000 per second
    std::string slow;      // two frames of the colour movie at one per 10 seconds
    std::string truncated; // the colour movie cut short
    std::string not_avi;   // a text file named .avi
    std::string too_wide;  // 1 pixel high, one wider than the layer allows
};
// Written on first call; the test fails when they cannot be.
const MovieFiles &movie_files(void);
// The name of a file of movie_files() inside its folder.
std::string movie_name(const std::string &path);
// A movie `width` pixels wide and 1 high, one frame, in the folder; its name.
std::string movie_write_wide(int width);

// Points the movie folder key at the sample movies' folder (before the graphics start).
void movie_test_config(void);
// The configuration above, then the window and the whole graphics start-up chain, once per test
// program; false when impossible.
bool movie_test_start(void);
// A movie one pixel wider than the device's largest texture, in the sample folder; its name.
std::string movie_test_too_wide_for_device(void);
