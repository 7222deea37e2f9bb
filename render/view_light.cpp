// View lights and fog: setters, getters, and the per-frame transitions.
#include "render/view_light.h"

#include "math/vec.h"
#include "render/view_internal.h"

static ViewLight *light(int view) {
    return &view_block()->lights[view_index(view)];
}

static ViewFog *fog(int view) {
    return &view_record(view)->fog;
}

static const Vec3 k_up = {0.0f, 1.0f, 0.0f};

static void store_normalized(Vec3 *dst, const Vec3 *v) {
    vec3_normalize(dst, v ? v : &k_up);
}

// ---------------------------------------------------------------------------------------------
// Blends

float view_blend_fraction(int32_t n, int32_t total) {
    if (total == 1) return 0.0f;
    float t = (float)(n - total) / (float)(1 - total);
    if (t < 0.0f) return 0.0f;
    if (t > 1.0f) return 1.0f;
    return t;
}

static float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

uint32_t view_blend_color(uint32_t from, uint32_t to, float t) {
    t = clamp01(t);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        float a = (float)((from >> shift) & 0xFF) / 255.0f;
        float b = (float)((to >> shift) & 0xFF) / 255.0f;
        float c = clamp01(a + (b - a) * t);
        out |= ((uint32_t)(c * 255.0f) & 0xFF) << shift;
    }
    return out;
}

Vec4 *view_argb_to_float4(Vec4 *out, uint32_t argb) {
    out->x = (float)((argb >> 16) & 0xFF) / 255.0f;
    out->y = (float)((argb >> 8) & 0xFF) / 255.0f;
    out->z = (float)(argb & 0xFF) / 255.0f;
    out->w = (float)(argb >> 24) / 255.0f;
    return out;
}

static float blend(float a, float b, float t) {
    return a + (b - a) * t;
}

// ---------------------------------------------------------------------------------------------
// Light setters

void view_set_light_goal_dir(int view, const Vec3 *dir) {
    ViewLight *l = light(view);
    if (dir) vec3_normalize(&l->goal.direction, dir);
    l->remaining = 0;
}

void view_set_light_goal_axis(int view, const Vec3 *axis) {
    ViewLight *l = light(view);
    store_normalized(&l->goal.axis, axis);
    l->remaining = 0;
}

static void set_goal_color(int view, int i, uint32_t argb) {
    ViewLight *l = light(view);
    l->goal.color[i] = argb;
    l->remaining = 0;
}

void view_set_light_goal_color0(int view, uint32_t argb) {
    set_goal_color(view, 0, argb);
}
void view_set_light_goal_color1(int view, uint32_t argb) {
    set_goal_color(view, 1, argb);
}
void view_set_light_goal_color2(int view, uint32_t argb) {
    set_goal_color(view, 2, argb);
}
void view_set_light_goal_color3(int view, uint32_t argb) {
    set_goal_color(view, 3, argb);
}

static void start_transition(ViewLight *l, int32_t frames) {
    l->remaining = frames;
    l->total = frames;
}

void view_fade_light_dir(int view, const Vec3 *dir, int32_t frames) {
    ViewLight *l = light(view);
    if (dir) vec3_normalize(frames == 0 ? &l->goal.direction : &l->target.direction, dir);
    start_transition(l, frames);
}

void view_fade_light_axis(int view, const Vec3 *axis, int32_t frames) {
    ViewLight *l = light(view);
    store_normalized(frames == 0 ? &l->goal.axis : &l->target.axis, axis);
    start_transition(l, frames);
}

static void fade_color(int view, int i, uint32_t argb, int32_t frames) {
    ViewLight *l = light(view);
    (frames == 0 ? l->goal : l->target).color[i] = argb;
    start_transition(l, frames);
}

void view_fade_light_color0(int view, uint32_t argb, int32_t frames) {
    fade_color(view, 0, argb, frames);
}
void view_fade_light_color1(int view, uint32_t argb, int32_t frames) {
    fade_color(view, 1, argb, frames);
}
void view_fade_light_color2(int view, uint32_t argb, int32_t frames) {
    fade_color(view, 2, argb, frames);
}
void view_fade_light_color3(int view, uint32_t argb, int32_t frames) {
    fade_color(view, 3, argb, frames);
}

void view_light_goal_to_target(int view) {
    ViewLight *l = light(view);
    l->target = l->goal;
}

void view_set_light_direct_dir(int view, const Vec3 *dir, int32_t frames) {
    ViewLight *l = light(view);
    if (dir) vec3_normalize(&l->direct.direction, dir);
    l->direct_frames = frames;
}

static void set_direct_color(int view, int i, uint32_t argb, int32_t frames) {
    ViewLight *l = light(view);
    l->direct.color[i] = argb;
    l->direct_frames = frames;
}

void view_set_light_direct_color0(int view, uint32_t argb, int32_t frames) {
    set_direct_color(view, 0, argb, frames);
}
void view_set_light_direct_color1(int view, uint32_t argb, int32_t frames) {
    set_direct_color(view, 1, argb, frames);
}
void view_set_light_direct_color2(int view, uint32_t argb, int32_t frames) {
    set_direct_color(view, 2, argb, frames);
}
void view_set_light_direct_color3(int view, uint32_t argb, int32_t frames) {
    set_direct_color(view, 3, argb, frames);
}

void view_set_light_direct_axis(int view, const Vec3 *axis) {
    ViewLight *l = light(view);
    store_normalized(&l->direct.axis, axis);
    l->direct_frames = 0;
}

void view_light_goal_to_direct(int view) {
    ViewLight *l = light(view);
    l->direct = l->goal;
}

// ---------------------------------------------------------------------------------------------
// Light getters

ViewLight *view_get_light(int view) {
    return light(view);
}
uint32_t view_get_light_color0(int view) {
    return light(view)->current.color[0];
}
uint32_t view_get_light_color1(int view) {
    return light(view)->current.color[1];
}
uint32_t view_get_light_color2(int view) {
    return light(view)->current.color[2];
}
uint32_t view_get_light_color3(int view) {
    return light(view)->current.color[3];
}
const Vec4 *view_get_light_float_color0(int view) {
    return &light(view)->color_f[0];
}
const Vec4 *view_get_light_float_color1(int view) {
    return &light(view)->color_f[1];
}
const Vec4 *view_get_light_float_color2(int view) {
    return &light(view)->color_f[2];
}
const Vec4 *view_get_light_float_color3(int view) {
    return &light(view)->color_f[3];
}
const Vec3 *view_get_light_axis(int view) {
    return &light(view)->current.axis;
}

// ---------------------------------------------------------------------------------------------
// Fog setters and getters

void view_set_fog_mode(int view, uint32_t mode) {
    ViewFog *f = fog(view);
    f->mode = mode;
    f->fade_counter = 0;
}

void view_set_fog_start(int view, float start) {
    ViewFog *f = fog(view);
    f->start = f->from_start = f->to_start = start;
    f->fade_counter = 0;
}

void view_set_fog_end(int view, float end) {
    ViewFog *f = fog(view);
    f->end = f->from_end = f->to_end = end;
    f->fade_counter = 0;
}

void view_set_fog_color(int view, uint32_t argb) {
    ViewFog *f = fog(view);
    f->color = f->from_color = f->to_color = argb;
    view_argb_to_float4(&f->color_f, argb);
    f->fade_counter = 0;
}

void view_fade_fog_start(int view, float start, int32_t frames) {
    ViewFog *f = fog(view);
    f->fade_counter = f->fade_total = frames;
    f->from_start = f->start;
    f->to_start = start;
}

void view_fade_fog_end(int view, float end, int32_t frames) {
    ViewFog *f = fog(view);
    f->fade_counter = f->fade_total = frames;
    f->from_end = f->end;
    f->to_end = end;
}

void view_fade_fog_color(int view, uint32_t argb, int32_t frames) {
    ViewFog *f = fog(view);
    f->fade_counter = f->fade_total = frames;
    f->from_color = f->color;
    f->to_color = argb;
}

void view_set_fog2_mode(int view, uint32_t mode) {
    fog(view)->mode2 = mode;
}
void view_set_fog2_start(int view, float start) {
    fog(view)->start2 = start;
}
void view_set_fog2_end(int view, float end) {
    fog(view)->end2 = end;
}

uint32_t view_get_fog_mode(int view) {
    return fog(view)->mode;
}
float view_get_fog_start(int view) {
    return fog(view)->start;
}
float view_get_fog_end(int view) {
    return fog(view)->end;
}
uint32_t view_get_fog_color(int view) {
    return fog(view)->color;
}
const Vec4 *view_get_fog_color_f(int view) {
    return &fog(view)->color_f;
}
uint32_t view_get_fog2_mode(int view) {
    return fog(view)->mode2;
}
float view_get_fog2_start(int view) {
    return fog(view)->start2;
}
float view_get_fog2_end(int view) {
    return fog(view)->end2;
}

// ---------------------------------------------------------------------------------------------
// Defaults and per-frame steps

void view_light_set_defaults(int view) {
    Vec3 dir = {1.0f, -1.0f, 1.0f};
    view_set_light_goal_dir(view, &dir);
    view_set_light_goal_axis(view, &k_up);
    view_set_light_goal_color0(view, 0xFF646478);
    view_set_light_goal_color1(view, 0xFF646450);
    view_set_light_goal_color2(view, 0xFFFFFFFF);
    view_set_light_goal_color3(view, 0xFFFFFFFF);
    view_light_goal_to_target(view);
    view_light_goal_to_direct(view);
    light(view)->remaining = 0;
}

void view_fog_set_defaults(int view) {
    view_set_fog_mode(view, 0);
    view_set_fog_start(view, 0.0f);
    view_set_fog_end(view, 100.0f);
    view_set_fog_color(view, 0xFFFFFFFF);
    view_set_fog2_mode(view, 0);
    view_set_fog2_start(view, 0.0f);
    view_set_fog2_end(view, 0.0f);
}

static void blend_direction(Vec3 *out, const Vec3 *a, const Vec3 *b, float t) {
    Vec3 v = {blend(a->x, b->x, t), blend(a->y, b->y, t), blend(a->z, b->z, t)};
    vec3_normalize(out, &v);
}

void view_step_light(int view) {
    ViewLight *l = light(view);
    if (l->direct_frames >= 1) {
        l->direct_frames -= 1;
        l->current = l->direct;
    } else if (l->remaining < 1) {
        l->current = l->goal;
    } else {
        l->remaining -= 1;
        if (l->remaining == 0) {
            l->goal = l->target;
            l->current = l->goal;
        } else {
            float t = view_blend_fraction(l->remaining, l->total);
            blend_direction(&l->current.direction, &l->goal.direction, &l->target.direction, t);
            blend_direction(&l->current.axis, &l->goal.axis, &l->target.axis, t);
            for (int i = 0; i < 4; ++i)
                l->current.color[i] = view_blend_color(l->goal.color[i], l->target.color[i], t);
        }
    }
    for (int i = 0; i < 4; ++i) view_argb_to_float4(&l->color_f[i], l->current.color[i]);
}

void view_step_fog(int view) {
    ViewFog *f = fog(view);
    if (f->fade_counter <= 0) return;
    if (f->fade_counter == 1) {
        f->start = f->to_start;
        f->end = f->to_end;
        f->color = f->to_color;
    } else {
        float t = view_blend_fraction(f->fade_counter, f->fade_total);
        f->start = blend(f->from_start, f->to_start, t);
        f->end = blend(f->from_end, f->to_end, t);
        f->color = view_blend_color(f->from_color, f->to_color, t);
    }
    view_argb_to_float4(&f->color_f, f->color);
    f->fade_counter -= 1;
}
