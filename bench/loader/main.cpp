// Loader benchmark: a texture-list category of 40 PNG images of 256 x 256 is loaded through the
// data loader (file, decode, texture upload, records), and the same files are decoded with
// libpng alone. Prints both times and their ratio; the loader should stay within 15% of the
// bare decode.
#include <SDL2/SDL.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "platform/image/image.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "resource/loader.h"
#include "resource/res_pools.h"

constexpr int IMAGE_COUNT = 40;
constexpr int SIDE = 256;
constexpr int ROUNDS = 9;

static double now_ms(void) {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A picture-like image: smooth gradients with a little noise, so it compresses like artwork.
static bool write_png(const std::string &path, int seed) {
    std::vector<uint8_t> rgba(SIDE * SIDE * 4);
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) {
            uint8_t *p = &rgba[(y * SIDE + x) * 4];
            int n = sys_rand() & 7;
            p[0] = static_cast<uint8_t>(x + seed * 3 + n);
            p[1] = static_cast<uint8_t>(y * 2 - seed + n);
            p[2] = static_cast<uint8_t>((x ^ y) / 2 + n);
            p[3] = static_cast<uint8_t>(255 - (x + y) / 4);
        }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = SIDE;
    image.height = SIDE;
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

static bool decode_with_libpng(const std::string &path, std::vector<uint8_t> &pixels) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGBA;
    pixels.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

int main() {
    const char *dir = bench_scratch_folder("tavok_bench_loader");
    if (!dir || chdir(dir) != 0 || mkdir("bin", 0755) != 0) return 1;

    std::string list = "cat bench\n";
    std::vector<std::string> files;
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        std::string name = "img" + std::to_string(i) + ".png";
        if (!write_png("bin/" + name, i)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
        files.push_back("bin/" + name);
        list += "tex " + name + "\nsize 256 256\ncrop 0 0 128 128 c" + std::to_string(i) + "\n";
    }
    FILE *f = std::fopen("bin/tex.lst", "w");
    if (!f) return 1;
    std::fputs(list.c_str(), f);
    std::fclose(f);

    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *window =
        SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    DisplayRecord *d = gfx_display();
    d->window = window;
    d->client_width = d->render_width = d->screen_width = 64;
    d->client_height = d->render_height = d->screen_height = 64;
    d->bits_per_pixel = 32;
    DeviceCreateParams params = {window, 64, 64, 32, 0, 0, nullptr, nullptr};
    if (!window || !gfx_create_device(&params)) {
        std::fprintf(stderr, "no drawing device\n");
        return 1;
    }
    loader_init();

    std::vector<double> loader_ms, libpng_ms, decoder_ms;
    std::vector<uint8_t> pixels;
    for (int round = 0; round < ROUNDS; ++round) {
        // The program's image decoder alone (file and decode, no texture), to show where the
        // loader's time goes.
        double d0 = now_ms();
        for (const std::string &file : files) {
            Image img = {};
            if (!image_load_file(file.c_str(), &img, nullptr, 0)) return 1;
            image_free(&img);
        }
        double d1 = now_ms();

        ResourceMark mark;
        res_mark(&mark);
        double t0 = now_ms();
        loader_enqueue("bench", 0);
        while (loader_step() == 1) {
        }
        double t1 = now_ms();
        if (res_texture_count() - mark.counts[RES_COUNT_TEXTURES] != IMAGE_COUNT) {
            std::fprintf(stderr, "the loader made %d textures\n",
                         res_texture_count() - mark.counts[RES_COUNT_TEXTURES]);
            return 1;
        }
        res_release_to_mark(&mark);

        double t2 = now_ms();
        for (const std::string &file : files)
            if (!decode_with_libpng(file, pixels)) return 1;
        double t3 = now_ms();
        // The first round warms the caches and is not counted.
        if (round > 0) {
            loader_ms.push_back(t1 - t0);
            libpng_ms.push_back(t3 - t2);
            decoder_ms.push_back(d1 - d0);
        }
    }
    std::sort(loader_ms.begin(), loader_ms.end());
    std::sort(libpng_ms.begin(), libpng_ms.end());
    std::sort(decoder_ms.begin(), decoder_ms.end());
    double loader = loader_ms[loader_ms.size() / 2];
    double bare = libpng_ms[libpng_ms.size() / 2];
    double ratio = loader / bare;
    std::printf("%d PNG textures of %dx%d, median of %d rounds\n", IMAGE_COUNT, SIDE, SIDE,
                ROUNDS - 1);
    std::printf("loader (category, upload, records): %8.2f ms\n", loader);
    std::printf("libpng decode alone:                %8.2f ms\n", bare);
    std::printf("(the program's image decoder alone: %8.2f ms)\n",
                decoder_ms[decoder_ms.size() / 2]);
    std::printf("ratio: %.3f (overhead %.1f%%, target below 15%%)\n", ratio, (ratio - 1.0) * 100.0);

    loader_shutdown();
    gfx_destroy_device();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return ratio < 1.15 ? 0 : 2;
}
