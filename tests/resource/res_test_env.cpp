#include "res_test_env.h"

#include <SDL2/SDL.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "resource/loader.h"

static SDL_Window *s_window;
static bool s_tried, s_ok;

bool res_test_device(void) {
    if (s_tried) return s_ok;
    s_tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    s_window =
        SDL_CreateWindow("resource test", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) return false;
    DisplayRecord *d = gfx_display();
    d->window = s_window;
    d->client_width = d->render_width = d->screen_width = 64;
    d->client_height = d->render_height = d->screen_height = 64;
    d->bits_per_pixel = 32;
    DeviceCreateParams p = {s_window, 64, 64, 32, 0, 0, nullptr, nullptr};
    s_ok = gfx_create_device(&p);
    return s_ok;
}

void res_test_start_pools(bool large_3d) {
    ResourcePoolSizes s = *res_default_sizes();
    if (large_3d) {
        for (ResourcePoolSize *p :
             {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
            *p = ResourcePoolSize{8, 1024, 65536};
        s.models = s.model_subsets = s.model_bones = 8;
        s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    }
    res_init(&s);
}

std::string res_test_folder(void) {
    const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = ::testing::TempDir();
    if (base.empty() || base.back() != '/') base += '/';
    std::string path = base + "res_" + std::to_string(getpid()) + "_" +
                       (t ? std::string(t->test_suite_name()) + "_" + t->name() : "x") + "/";
    std::string cmd = "rm -rf '" + path + "' && mkdir -p '" + path + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot make " << path;
    return path;
}

void res_test_write(const std::string &path, const std::string &text) {
    res_test_write(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void res_test_write(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

static void png_write_to_vector(png_structp png, png_bytep data, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> res_test_png(int width, int height, const std::vector<uint8_t> &rgba) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, png_write_to_vector, nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> res_test_pattern(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x * 7);
            p[1] = static_cast<uint8_t>(y * 5);
            p[2] = static_cast<uint8_t>(x ^ y);
            p[3] = 255;
        }
    return rgba;
}

uint32_t res_test_pattern_argb(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(static_cast<uint8_t>(x * 7)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(y * 5)) << 8 | static_cast<uint8_t>(x ^ y);
}
