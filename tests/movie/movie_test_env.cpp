#include "movie_test_env.h"

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "app/config.h"
#include "movie_writer.h"
#include "platform/gpu/gpu.h"
#include "platform/movie/movie_file.h"
#include "tests/support/test_files.h"
#include "tests/support/test_render.h"

namespace {

void paint_colour_frame(int index, uint8_t *pixels, int pitch) {
    for (int y = 0; y < MOVIE_H; ++y) {
        for (int x = 0; x < MOVIE_W; ++x) {
            const uint32_t argb = movie_pixel_argb(index, x, y);
            uint8_t *p = pixels + y * pitch + x * 3;
            p[0] = (uint8_t)argb, p[1] = (uint8_t)(argb >> 8), p[2] = (uint8_t)(argb >> 16);
        }
    }
}

// The scratch folder with a trailing slash; empty when it cannot be made.
const std::string &scratch_folder(void) {
    static const std::string folder = [] {
        const std::string f = test_temp_folder("movie");
        return f.empty() ? f : f + "/";
    }();
    return folder;
}

MovieFiles make_files(void) {
    MovieFiles f;
    if (scratch_folder().empty()) return f;
    f.folder = scratch_folder();
    f.colours = f.folder + "colours.avi";
    f.one = f.folder + "one.avi";
    f.fast = f.folder + "fast.avi";
    f.slow = f.folder + "slow.avi";
    f.truncated = f.folder + "truncated.avi";
    f.not_avi = f.folder + "text.avi";
    bool ok =
        movie_write_avi(f.colours, MOVIE_W, MOVIE_H, MOVIE_FRAMES, MOVIE_FPS, paint_colour_frame) &&
        movie_write_avi(f.one, MOVIE_W, MOVIE_H, 1, MOVIE_FPS, paint_colour_frame) &&
        movie_write_avi(f.fast, MOVIE_W, MOVIE_H, 4, 1000, paint_colour_frame) &&
        movie_write_avi(f.slow, MOVIE_W, MOVIE_H, 2, 1, paint_colour_frame, 10);
    const std::string whole = test_read_file(f.colours);
    // Cut inside the second frame: the header and frame 0 stay whole, the index is lost.
    ok = ok && whole.size() > 1000 &&
         test_write_file(f.truncated, whole.substr(0, whole.size() * 9 / 10)) &&
         test_write_file(f.not_avi, std::string("RIFF, but only in words; no movie here.\n"));
    const std::string wide = ok ? movie_write_wide(MVL_MAX_SIDE + 1) : std::string();
    if (wide.empty()) return MovieFiles{};
    f.too_wide = f.folder + wide;
    return f;
}

} // namespace

uint32_t movie_frame_argb(int index) {
    static const uint32_t ground[MOVIE_FRAMES] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    return ground[index % MOVIE_FRAMES];
}

uint32_t movie_pixel_argb(int index, int x, int y) {
    if (x < MOVIE_MARK && y < MOVIE_MARK) return 0xFFFFFFFFu;
    if (x >= MOVIE_W - MOVIE_MARK && y >= MOVIE_H - MOVIE_MARK) return 0xFF000000u;
    return movie_frame_argb(index);
}

const MovieFiles &movie_files(void) {
    static const MovieFiles files = make_files();
    EXPECT_FALSE(files.folder.empty()) << "the sample movies cannot be written";
    return files;
}

std::string movie_name(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string movie_write_wide(int width) {
    const std::string &folder = scratch_folder();
    const std::string name = "wide" + std::to_string(width) + ".avi";
    const bool ok =
        movie_write_avi(folder + name, width, 1, 1, MOVIE_FPS, [width](int, uint8_t *pixels, int) {
            memset(pixels, 0x80, (size_t)width * 3);
        });
    return ok ? name : std::string();
}

void movie_test_config(void) {
    StartupConfig *cfg = cfg_get_config();
    for (ConfigEntry &row : cfg->rows) {
        if (row.key[0] && strcmp(row.key, "MVDATAP") != 0) continue;
        snprintf(row.key, sizeof row.key, "MVDATAP");
        snprintf(row.value, sizeof row.value, "%s", movie_files().folder.c_str());
        return;
    }
}

bool movie_test_start(void) {
    static const bool started = [] {
        movie_test_config();
        return test_render_start("movie test", 64, 48);
    }();
    return started;
}

std::string movie_test_too_wide_for_device(void) {
    GpuCaps caps = {};
    if (!gpu_get_device_caps(&caps) || caps.max_texture_size == 0) return std::string();
    return movie_write_wide((int)caps.max_texture_size + 1);
}
