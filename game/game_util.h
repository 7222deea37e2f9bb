// Small helpers of the game: clamps and wraps, ARGB colour blends, the game's random numbers
// (drawn from the C runtime generator, so a recorded input replays the same game) and distances.
#pragma once
#include <cstdint>

float game_clampf(float v, float lo, float hi);
// Wraps v into lo..hi by adding or subtracting the range's width; lo when the range has one value.
int32_t game_wrap_int(int32_t v, int32_t lo, int32_t hi);

// Channel of an ARGB word as 0..1: index 0 alpha, 1 red, 2 green, 3 blue.
float game_colour_channel(uint32_t argb, int32_t index);
float game_clamp01(float v);
float game_lerpf(float a, float b, float t);
// Four 0..1 floats packed into an ARGB word, each clamped to 0..1, scaled by 255 and truncated.
uint32_t game_pack_colour(float a, float r, float g, float b);
// Channel-wise blend from a to b, t clamped to 0..1.
uint32_t game_colour_lerp(uint32_t a, uint32_t b, float t);

// rand() mod (hi - lo + 1) + lo.
int32_t game_rand_int(int32_t lo, int32_t hi);
// (rand() mod 10000) x (hi - lo) / 10000 + lo.
float game_rand_float(float lo, float hi);
float game_dist2(float x0, float y0, float x1, float y1);
