// Shared by the image tests: the encoders that make their small files in memory, and one
// picture whose pixels follow from their position.
#pragma once

#include <cstdint>

#include "tests/support/test_images.h"

// A 100x60 RGBA picture whose pixels follow from their position.
void test_pattern_pixel(int x, int y, uint8_t *rgba);
