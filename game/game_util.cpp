#include "game/game_util.h"

#include "platform/sys/sys_rand.h"

float game_clampf(float v, float lo, float hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

int32_t game_wrap_int(int32_t v, int32_t lo, int32_t hi) {
    if (hi <= lo) return lo;
    const int64_t width = (int64_t)hi + 1 - lo;
    int64_t r = ((int64_t)v - lo) % width;
    if (r < 0) r += width;
    return (int32_t)(r + lo);
}

float game_colour_channel(uint32_t argb, int32_t index) {
    const int shift = 24 - 8 * (index & 3);
    return (float)((argb >> shift) & 0xFFu) / 255.0f;
}

float game_clamp01(float v) {
    return game_clampf(v, 0.0f, 1.0f);
}

float game_lerpf(float a, float b, float t) {
    return a + (b - a) * t;
}

uint32_t game_pack_colour(float a, float r, float g, float b) {
    const float c[4] = {a, r, g, b};
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) out = (out << 8) | (uint32_t)(game_clamp01(c[i]) * 255.0f);
    return out;
}

uint32_t game_colour_lerp(uint32_t a, uint32_t b, float t) {
    t = game_clamp01(t);
    float c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = game_lerpf(game_colour_channel(a, i), game_colour_channel(b, i), t);
    return game_pack_colour(c[0], c[1], c[2], c[3]);
}

int32_t game_rand_int(int32_t lo, int32_t hi) {
    const int32_t width = hi - lo + 1;
    // An empty or reversed range would divide by zero or give a negative remainder.
    if (width <= 0) return lo;
    return sys_rand() % width + lo;
}

float game_rand_float(float lo, float hi) {
    return (float)(sys_rand() % 10000) * (hi - lo) / 10000.0f + lo;
}

float game_dist2(float x0, float y0, float x1, float y1) {
    const float dx = x1 - x0, dy = y1 - y0;
    return dx * dx + dy * dy;
}
