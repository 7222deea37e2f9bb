// Texture creation from images: 40 PNG images of 256 x 256 in memory, decoded alone and made
// into textures (decode, storage, upload), with one level and with a full chain, and the same
// from files. Prints medians and the layer's share over the bare decode.
// Usage: bench_gpu_textures [rounds]; run under a display (Xvfb).
#include "bench/scratch_folder.h"
#include "bench_device.h"
#include "platform/gpu/gpu.h"
#include "platform/image/image.h"
#include "platform/sys/sys_rand.h"

#include <SDL2/SDL.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

enum { IMAGES = 40, SIDE = 256 };

static double now_ms(void) {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Smooth gradients with a little noise, so the files compress like artwork.
static std::vector<uint8_t> make_png(int seed) {
    std::vector<uint8_t> rgba(SIDE * SIDE * 4);
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            uint8_t *p = &rgba[(size_t)(y * SIDE + x) * 4];
            int n = sys_rand() & 7;
            p[0] = (uint8_t)(x + seed * 3 + n);
            p[1] = (uint8_t)(y * 2 - seed + n);
            p[2] = (uint8_t)((x ^ y) / 2 + n);
            p[3] = (uint8_t)(255 - (x + y) / 4);
        }
    png_image img = {};
    img.version = PNG_IMAGE_VERSION;
    img.width = SIDE;
    img.height = SIDE;
    img.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&img, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&img, out.data(), &size, 0, rgba.data(), 0, nullptr))
        out.clear();
    out.resize(size);
    return out;
}

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main(int argc, char **argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    if (rounds < 2) {
        std::fprintf(stderr, "bad arguments\n");
        return 1;
    }
    SDL_Window *win = bench_open_device(64, 64);
    if (!win) return 1;
    std::vector<std::vector<uint8_t>> files;
    std::vector<std::string> paths;
    const char *dir = bench_scratch_folder("bench_gpu_textures");
    if (!dir) return 1;
    for (int i = 0; i < IMAGES; i++) {
        files.push_back(make_png(i));
        if (files.back().empty()) return 1;
        paths.push_back(std::string(dir) + "/img" + std::to_string(i) + ".png");
        std::FILE *f = std::fopen(paths.back().c_str(), "wb");
        if (!f) return 1;
        std::fwrite(files.back().data(), 1, files.back().size(), f);
        std::fclose(f);
    }

    std::vector<double> decode, one, chain, from_file;
    GpuTexture *tex[IMAGES];
    for (int round = 0; round < rounds; round++) {
        double t0 = now_ms();
        for (const std::vector<uint8_t> &f : files) {
            Image img = {};
            if (!image_decode(f.data(), f.size(), &img, nullptr, 0)) return 1;
            image_free(&img);
        }
        double t1 = now_ms();
        for (int i = 0; i < IMAGES; i++)
            if (!(tex[i] =
                      gpu_texture_create_from_memory(files[i].data(), files[i].size(), 1, nullptr)))
                return 1;
        double t2 = now_ms();
        for (GpuTexture *t : tex) gpu_texture_release(t);
        double t3 = now_ms();
        for (int i = 0; i < IMAGES; i++)
            if (!(tex[i] =
                      gpu_texture_create_from_memory(files[i].data(), files[i].size(), 0, nullptr)))
                return 1;
        double t4 = now_ms();
        for (GpuTexture *t : tex) gpu_texture_release(t);
        double t5 = now_ms();
        for (int i = 0; i < IMAGES; i++)
            if (!(tex[i] = gpu_texture_create_from_file(paths[i].c_str(), 1, nullptr))) return 1;
        double t6 = now_ms();
        for (GpuTexture *t : tex) gpu_texture_release(t);
        if (round == 0) continue; // warm-up
        decode.push_back(t1 - t0);
        one.push_back(t2 - t1);
        chain.push_back(t4 - t3);
        from_file.push_back(t6 - t5);
    }
    double d = median(decode);
    std::printf("%d PNG images of %dx%d, median of %d rounds\n", IMAGES, SIDE, SIDE, rounds - 1);
    std::printf("decode alone:                 %8.2f ms\n", d);
    std::printf("texture, one level:           %8.2f ms (+%.1f%%)\n", median(one),
                (median(one) / d - 1) * 100);
    std::printf("texture, full chain:          %8.2f ms (+%.1f%%)\n", median(chain),
                (median(chain) / d - 1) * 100);
    std::printf("texture from file, one level: %8.2f ms (+%.1f%%)\n", median(from_file),
                (median(from_file) / d - 1) * 100);
    bench_close_device(win);
    return 0;
}
