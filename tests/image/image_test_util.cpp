#include "image_test_util.h"

#include <cstring>

void test_pattern_pixel(int x, int y, uint8_t *rgba) {
    // Four flat quadrants so a lossy codec still has a clear value away from edges.
    bool right = x >= 50, bottom = y >= 30;
    static const uint8_t colours[4][4] = {
        {255, 0, 0, 255}, {0, 200, 0, 128}, {0, 0, 255, 64}, {250, 250, 250, 0}};
    memcpy(rgba, colours[(bottom ? 2 : 0) + (right ? 1 : 0)], 4);
}

void test_put16(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    v[at] = uint8_t(x), v[at + 1] = uint8_t(x >> 8);
}

void test_put32(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    for (int k = 0; k < 4; ++k) v[at + size_t(k)] = uint8_t(x >> (8 * k));
}

std::vector<uint8_t> test_dds_file(int w, int h, int mips, uint32_t pf_flags, uint32_t code,
                                   uint32_t bits, const uint32_t masks[4],
                                   const std::vector<uint8_t> &data) {
    std::vector<uint8_t> f(128, 0);
    memcpy(f.data(), "DDS ", 4);
    test_put32(f, 4, 124);
    test_put32(f, 8, 0x1007 | (mips ? 0x20000u : 0));
    test_put32(f, 12, uint32_t(h));
    test_put32(f, 16, uint32_t(w));
    test_put32(f, 28, uint32_t(mips));
    test_put32(f, 76, 32);
    test_put32(f, 80, pf_flags);
    test_put32(f, 84, code);
    test_put32(f, 88, bits);
    for (int k = 0; k < 4 && masks; ++k) test_put32(f, 92 + size_t(k) * 4, masks[k]);
    test_put32(f, 108, 0x1000);
    f.insert(f.end(), data.begin(), data.end());
    return f;
}
