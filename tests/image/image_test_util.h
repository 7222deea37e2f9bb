// Shared by the image tests: the encoders that make their small files in memory, and one
// picture whose pixels follow from their position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/test_images.h"

// A 100x60 RGBA picture whose pixels follow from their position.
void test_pattern_pixel(int x, int y, uint8_t *rgba);

// Little-endian words written into a file being made.
void test_put16(std::vector<uint8_t> &v, size_t at, uint32_t x);
void test_put32(std::vector<uint8_t> &v, size_t at, uint32_t x);

// A DDS file: the 128-byte header of a w x h picture with `mips` levels (0 = none declared) in
// the given pixel format (flags, four-character code, bits, four masks or null), then `data`.
std::vector<uint8_t> test_dds_file(int w, int h, int mips, uint32_t pf_flags, uint32_t code,
                                   uint32_t bits, const uint32_t masks[4],
                                   const std::vector<uint8_t> &data);
