// Encoders the image tests use to make their own small files in memory.
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

std::vector<uint8_t> test_encode_png(const PngSpec &spec);

// RGB (components 3) or grey (components 1) pixels, top row first.
std::vector<uint8_t> test_encode_jpeg(const uint8_t *pixels, int w, int h, int components,
                                      int quality, bool progressive = false);

// A 100x60 RGBA picture whose pixels follow from their position.
void test_pattern_pixel(int x, int y, uint8_t *rgba);
