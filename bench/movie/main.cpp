// Movie benchmark: a generated 640 x 480 movie of 300 frames (raw BGR24 in AVI) decoded through
// the movie layer, alone and with each frame uploaded into a movie texture the way the players
// do it. Prints frames per second of each, the best of three rounds. Then the process time (CPU,
// every thread) per second of clock while 0 to 4 slots loop the movie and the main thread draws
// 60 frames a second: what the decode threads cost beyond the drawing. Run it under a display
// (Xvfb). Usage: bench_movie [rounds] [seconds per movie count]
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <time.h>

#include "app/config.h"
#include "bench/scratch_folder.h"
#include "platform/movie/movie_file.h"
#include "render/gfx_frame.h"
#include "render/movie.h"
#include "resource/res_texture.h"
#include "tests/movie/movie_writer.h"

namespace {

constexpr int WIDTH = 640, HEIGHT = 480, FRAMES = 300, FPS = 30;

double now_s(void) {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A diagonal gradient that moves by one pixel each frame.
void paint(int index, uint8_t *pixels, int pitch) {
    for (int y = 0; y < HEIGHT; ++y) {
        uint8_t *row = pixels + y * pitch;
        for (int x = 0; x < WIDTH; ++x) {
            row[x * 3 + 0] = (uint8_t)(x + index);
            row[x * 3 + 1] = (uint8_t)(y + index);
            row[x * 3 + 2] = (uint8_t)(x + y);
        }
    }
}

// Frames per second of one pass over the movie; each frame goes to `texture` unless it is 0.
// Negative when a frame fails.
double process_s(void) {
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// The movie slots read their files from the folder named by this key.
void set_movie_folder(const char *folder) {
    StartupConfig *cfg = cfg_get_config();
    for (ConfigEntry &row : cfg->rows) {
        if (row.key[0] && strcmp(row.key, "MVDATAP") != 0) continue;
        snprintf(row.key, sizeof row.key, "MVDATAP");
        snprintf(row.value, sizeof row.value, "%s/", folder);
        return;
    }
}

// Process milliseconds per second of clock with `movies` slots looping `name`, while the main
// thread draws a frame every 1/60 s for `seconds`. Negative when a slot does not start.
double process_ms_per_s(int movies, const char *name, double seconds) {
    for (int i = 0; i < movies; ++i) {
        MovieSlot *s = movie_play(1, name, MOVIE_MODE_LOOP);
        if (!s || !(s->flags & MOVIE_SLOT_THREAD)) {
            movie_stop_all();
            return -1.0;
        }
    }
    using clock = std::chrono::steady_clock;
    const auto tick = std::chrono::microseconds(16667);
    auto next = clock::now();
    for (int i = 0; i < 15; ++i) { // settle
        gfx_render_frame(0);
        std::this_thread::sleep_until(next += tick);
    }
    const double cpu0 = process_s(), clock0 = now_s();
    while (now_s() - clock0 < seconds) {
        gfx_render_frame(0);
        std::this_thread::sleep_until(next += tick);
    }
    const double cpu = process_s() - cpu0, wall = now_s() - clock0;
    movie_stop_all();
    return cpu / wall * 1000.0;
}

double run(const char *path, ResourceHandle texture) {
    MvlMovie *m = mvl_open(path);
    if (!m) return -1.0;
    const double start = now_s();
    for (uint32_t i = 0; i < mvl_frame_count(m); ++i) {
        const uint8_t *rows = mvl_fetch_frame(m, i);
        if (!rows || (texture && !res_texture_write_rect(texture, 0, 0, WIDTH, HEIGHT, rows, 3))) {
            mvl_close(m);
            return -1.0;
        }
    }
    const double fps = mvl_frame_count(m) / (now_s() - start);
    mvl_close(m);
    return fps;
}

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    const char *folder = bench_scratch_folder("bench_movie");
    if (!folder) return 1;
    const std::string path = std::string(folder) + "/movie.avi";
    if (!movie_write_avi(path, WIDTH, HEIGHT, FRAMES, FPS, paint)) {
        std::fprintf(stderr, "cannot write the movie\n");
        return 1;
    }
    set_movie_folder(folder);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *win =
        SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!win) return 1;
    gfx_init(win, 0, 64, 64, 32, nullptr);
    // A movie texture of the players' kind: powers of two, X8R8G8B8.
    const ResourceHandle texture = res_create_texture("bench", "movie", 1024, 512, 1);

    double decode = 0, upload = 0;
    for (int r = 0; r < rounds; ++r) {
        const double d = run(path.c_str(), 0), u = run(path.c_str(), texture);
        if (d < 0 || u < 0 || !texture) {
            std::fprintf(stderr, "a frame failed\n");
            return 1;
        }
        decode = d > decode ? d : decode;
        upload = u > upload ? u : upload;
    }
    std::printf("movie %dx%d, %d frames, best of %d rounds\n", WIDTH, HEIGHT, FRAMES, rounds);
    std::printf("decode:          %8.1f frames/s\n", decode);
    std::printf("decode + upload: %8.1f frames/s\n", upload);

    std::printf("looping movies, %.1f s each, 60 drawn frames/s: process ms per s of clock\n",
                seconds);
    for (int movies = 0; movies <= MOVIE_SLOT_COUNT; ++movies) {
        const double ms = process_ms_per_s(movies, "movie.avi", seconds);
        if (ms < 0) {
            std::fprintf(stderr, "a movie slot did not start\n");
            return 1;
        }
        std::printf("movies %d: %8.1f ms\n", movies, ms);
    }

    gfx_shutdown();
    SDL_DestroyWindow(win);
    SDL_Quit();
    return 0;
}
