// AVI movies through the movie layer, as a movie texture opens its file and fetches frames.
#include "platform/movie/movie_file.h"
#include "tests/fuzz/fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_enter_scratch();
    fuzz_write("fz.avi", data, size);
    MvlMovie *movie = mvl_open("fz.avi");
    if (!movie) return 0;
    const int64_t w = mvl_width(movie), h = mvl_height(movie);
    if (w < 1 || h < 1 || w > MVL_MAX_SIDE || h > MVL_MAX_SIDE || w * h > MVL_MAX_PIXELS)
        __builtin_trap();
    // The first frames in order, the last, then back to the first (a seek).
    const uint32_t count = mvl_frame_count(movie);
    const uint32_t order[] = {0, 1, 2, count - 1, 0};
    for (uint32_t n : order)
        if (const uint8_t *rows = mvl_fetch_frame(movie, n)) fuzz_touch(rows, (size_t)(w * h * 3));
    mvl_close(movie);
    return 0;
}
