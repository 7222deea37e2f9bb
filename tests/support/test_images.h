// Small PNG and JPEG files made in memory, and a tolerant colour compare.
#pragma once
#include <cstdint>
#include <vector>

struct PngSpec {
    int width = 0, height = 0;
    int colour_type = 6; // libpng colour type
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<uint8_t> palette; // RGB triples for palette images
    std::vector<uint8_t> trns;    // palette alphas, or one grey/RGB key (16-bit values)
    std::vector<uint8_t> rows;    // packed rows as libpng wants them, top row first
};

// Empty when libpng refuses the description.
std::vector<uint8_t> test_encode_png(const PngSpec &spec);

// 8-bit pixels of 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA) components, top row first.
std::vector<uint8_t> test_encode_png_pixels(int w, int h, int components,
                                            const std::vector<uint8_t> &pixels);

// RGB (components 3) or grey (components 1) pixels, top row first.
std::vector<uint8_t> test_encode_jpeg(const uint8_t *pixels, int w, int h, int components,
                                      int quality, bool progressive = false);

// Largest difference of the four channels of two ARGB words.
int test_color_distance(uint32_t a, uint32_t b);
