// The directional light and the distance fog of each view, with their timed transitions.
// Both are advanced once per frame by view_step_light and view_step_fog (the renderer's
// per-frame view step); the begin-3D-pass set-up and the shader constants read the results.
#pragma once

#include <cstdint>

#include "math/math_types.h"

// Ten values drawn together: a direction, a second vector (the axis) and four ARGB colours.
// Colour 0 and 1 light the ambient terms, 2 the diffuse term, 3 the specular term.
struct ViewLightSet {
    Vec3 direction;
    Vec3 axis;
    uint32_t color[4];
};

struct ViewLight {
    ViewLightSet current; // what is drawn this frame, rebuilt by the light step
    ViewLightSet goal;    // the settled light
    ViewLightSet target;  // destination of a running transition
    ViewLightSet direct;  // override shown while direct frames remain
    Vec4 color_f[4];      // current colours as R, G, B, A in 0..1
    int32_t remaining;    // frames left in the transition, 0 = none
    int32_t total;        // length of the transition
    int32_t direct_frames;
};

// The fog fields of a view record.
struct ViewFog {
    uint32_t mode; // 0 off, anything else on
    float start, end;
    uint32_t color;
    Vec4 color_f;
    int32_t fade_counter; // frames left in a fade, 0 = none
    int32_t fade_total;
    float from_start, from_end;
    uint32_t from_color;
    float to_start, to_end;
    uint32_t to_color;
    uint32_t mode2; // the second range, read only by the shaders
    float start2, end2;
};

// Light: goal setters cancel a running transition.
void view_set_light_goal_dir(int view, const Vec3 *dir);
void view_set_light_goal_axis(int view, const Vec3 *axis); // null = (0, 1, 0)
void view_set_light_goal_color0(int view, uint32_t argb);
void view_set_light_goal_color1(int view, uint32_t argb);
void view_set_light_goal_color2(int view, uint32_t argb);
void view_set_light_goal_color3(int view, uint32_t argb);
// Timed setters: 0 frames sets the goal value, otherwise the target value; then the transition
// restarts with remaining = total = frames.
void view_fade_light_dir(int view, const Vec3 *dir, int32_t frames);
void view_fade_light_axis(int view, const Vec3 *axis, int32_t frames); // null = (0, 1, 0)
void view_fade_light_color0(int view, uint32_t argb, int32_t frames);
void view_fade_light_color1(int view, uint32_t argb, int32_t frames);
void view_fade_light_color2(int view, uint32_t argb, int32_t frames);
void view_fade_light_color3(int view, uint32_t argb, int32_t frames);
void view_light_goal_to_target(int view);
// Direct override, shown for the given number of frames; a transition pauses meanwhile.
void view_set_light_direct_dir(int view, const Vec3 *dir, int32_t frames);
void view_set_light_direct_color0(int view, uint32_t argb, int32_t frames);
void view_set_light_direct_color1(int view, uint32_t argb, int32_t frames);
void view_set_light_direct_color2(int view, uint32_t argb, int32_t frames);
void view_set_light_direct_color3(int view, uint32_t argb, int32_t frames);
void view_set_light_direct_axis(int view, const Vec3 *axis); // null = (0, 1, 0); frames = 0
void view_light_goal_to_direct(int view);

ViewLight *view_get_light(int view);
uint32_t view_get_light_color0(int view);
uint32_t view_get_light_color1(int view);
uint32_t view_get_light_color2(int view);
uint32_t view_get_light_color3(int view);
const Vec4 *view_get_light_float_color0(int view);
const Vec4 *view_get_light_float_color1(int view);
const Vec4 *view_get_light_float_color2(int view);
const Vec4 *view_get_light_float_color3(int view);
const Vec3 *view_get_light_axis(int view);

// Fog: none of these marks the view for recomputation.
void view_set_fog_mode(int view, uint32_t mode);
void view_set_fog_start(int view, float start);
void view_set_fog_end(int view, float end);
void view_set_fog_color(int view, uint32_t argb);
void view_fade_fog_start(int view, float start, int32_t frames);
void view_fade_fog_end(int view, float end, int32_t frames);
void view_fade_fog_color(int view, uint32_t argb, int32_t frames);
void view_set_fog2_mode(int view, uint32_t mode);
void view_set_fog2_start(int view, float start);
void view_set_fog2_end(int view, float end);

uint32_t view_get_fog_mode(int view);
float view_get_fog_start(int view);
float view_get_fog_end(int view);
uint32_t view_get_fog_color(int view);
const Vec4 *view_get_fog_color_f(int view);
uint32_t view_get_fog2_mode(int view);
float view_get_fog2_start(int view);
float view_get_fog2_end(int view);

// Defaults written by view_set_defaults.
void view_light_set_defaults(int view);
void view_fog_set_defaults(int view);
// Per-frame steps (light before fog).
void view_step_light(int view);
void view_step_fog(int view);

// Blend helpers shared by both transitions.
// Fraction for counter n of length total: 0 when total is 1, else (total - n) / (total - 1)
// clamped to 0..1.
float view_blend_fraction(int32_t n, int32_t total);
// Each 8-bit channel blended as a fraction of 255, clamped, scaled back and truncated.
uint32_t view_blend_color(uint32_t from, uint32_t to, float t);
Vec4 *view_argb_to_float4(Vec4 *out, uint32_t argb);
