#include "image_test_util.h"

#include <cstring>

void test_pattern_pixel(int x, int y, uint8_t *rgba) {
    // Four flat quadrants so a lossy codec still has a clear value away from edges.
    bool right = x >= 50, bottom = y >= 30;
    static const uint8_t colours[4][4] = {
        {255, 0, 0, 255}, {0, 200, 0, 128}, {0, 0, 255, 64}, {250, 250, 250, 0}};
    memcpy(rgba, colours[(bottom ? 2 : 0) + (right ? 1 : 0)], 4);
}
