#include "game/effect_list.h"

#include <cstring>

#include "audio/sound_manager.h"
#include "render/gfx_frame.h"
#include "render/view.h"
#include "scene/object_manager.h"

static EffectList g_fx;
static uint8_t g_fx_scene[72]; // the wrappers' scene record; nothing reads it yet

EffectList *fx_get(void) {
    return &g_fx;
}

void fx_init(void) {
    std::memset(&g_fx, 0, sizeof g_fx);
    fx_set_seed(1);
    g_fx.counters[0] = 0;
}

void fx_term(void) {}

void fx_set_seed(uint32_t seed) {
    g_fx.seed = seed;
}

int32_t fx_random_next(void) {
    g_fx.seed = g_fx.seed * 214013u + 2531011u;
    return (int32_t)((g_fx.seed >> 16) & 0x7FFF);
}

void fx_request(uint32_t slot, const Vec3 *position, uint32_t mode) {
    // An unknown slot is dropped before it can reach the per-slot tables.
    if (slot >= (uint32_t)FX_SLOT_COUNT) return;
    if (g_fx.count >= FX_REQUEST_COUNT) return;
    // Requests again in the frame that started the cool-down are allowed, later ones are not.
    const uint8_t cool = g_fx.cooldown[slot];
    if (cool != 0 && cool != 4) return;
    const Mat4 *camera = view_get_camera_matrix(0);
    const Vec3 c = {camera->m[3][0], camera->m[3][1], camera->m[3][2]};
    SoundRequest r = {};
    r.slot = slot;
    r.mode = mode;
    if (position) {
        const float dx = position->x - c.x, dy = position->y - c.y, dz = position->z - c.z;
        r.dist2 = dx * dx + dy * dy + dz * dz;
        r.x = position->x, r.y = position->y, r.z = position->z;
    } else {
        r.dist2 = 0.0f;
        r.x = c.x, r.y = c.y, r.z = c.z;
    }
    if (!(r.dist2 <= FX_MAX_DIST2)) return;
    g_fx.requests[g_fx.count] = r;
    g_fx.cooldown[slot] = 4;
    ++g_fx.count;
}

void fx_request_once(uint32_t slot, const Vec3 *position) {
    fx_request(slot, position, FX_MODE_ONCE);
}
void fx_request_restart(uint32_t slot, const Vec3 *position) {
    fx_request(slot, position, FX_MODE_RESTART);
}
void fx_request_loop(uint32_t slot, const Vec3 *position) {
    fx_request(slot, position, FX_MODE_LOOP);
}

// Quicksort by slot with an explicit stack that leaves partitions of 10 or fewer for one
// insertion-sort pass at the end.
static void sort_by_slot(SoundRequest **a, int32_t n) {
    int32_t stack[2 * FX_REQUEST_COUNT];
    int32_t top = 0;
    stack[top++] = 0;
    stack[top++] = n - 1;
    while (top > 0) {
        const int32_t hi = stack[--top];
        const int32_t lo = stack[--top];
        if (hi - lo + 1 <= 10) continue;
        const uint32_t pivot = a[lo + (hi - lo) / 2]->slot;
        int32_t i = lo, j = hi;
        while (i <= j) {
            while (a[i]->slot < pivot) ++i;
            while (a[j]->slot > pivot) --j;
            if (i <= j) {
                SoundRequest *t = a[i];
                a[i++] = a[j];
                a[j--] = t;
            }
        }
        if (lo < j) stack[top++] = lo, stack[top++] = j;
        if (i < hi) stack[top++] = i, stack[top++] = hi;
    }
    for (int32_t i = 1; i < n; ++i) {
        SoundRequest *v = a[i];
        int32_t j = i - 1;
        while (j >= 0 && a[j]->slot > v->slot) {
            a[j + 1] = a[j];
            --j;
        }
        a[j + 1] = v;
    }
}

static void play(const SoundRequest *r) {
    SoundManager *m = snd_get_manager();
    const Vec3 p = {r->x, r->y, r->z};
    const int32_t slot = (int32_t)r->slot;
    switch (r->mode) {
        case FX_MODE_ONCE:
            snd_play_slot_at(m, slot, false, &p, 0.0f, SND_EFFECT_DEFAULT);
            break;
        case FX_MODE_RESTART:
            snd_stop_slot(m, slot);
            snd_play_slot_at(m, slot, false, &p, 0.001f, SND_EFFECT_DEFAULT);
            break;
        case FX_MODE_LOOP:
            if (r->dist2 <= FX_LOOP_DIST2)
                snd_play_slot_at(m, slot, true, &p, 0.0f, SND_EFFECT_DEFAULT);
            else
                snd_stop_slot(m, slot);
            break;
        default:
            break;
    }
}

int32_t fx_pick_nearest(const SoundRequest **out) {
    const int32_t n = g_fx.count;
    for (int32_t i = 0; i < n; ++i) g_fx.order[i] = &g_fx.requests[i];
    if (n > 1) sort_by_slot(g_fx.order, n);
    int32_t picked = 0;
    for (int32_t i = 0; i < n;) {
        const SoundRequest *best = g_fx.order[i];
        int32_t j = i + 1;
        for (; j < n && g_fx.order[j]->slot == best->slot; ++j)
            if (g_fx.order[j]->dist2 < best->dist2) best = g_fx.order[j];
        out[picked++] = best;
        i = j;
    }
    return picked;
}

void fx_step(void) {
    const SoundRequest *picked[FX_REQUEST_COUNT];
    const int32_t n = fx_pick_nearest(picked);
    for (int32_t i = 0; i < n; ++i) play(picked[i]);
    for (uint8_t &c : g_fx.cooldown)
        if (c) --c;
    g_fx.count = 0;
    ++g_fx.frame;
}

int32_t fx_next_serial(void) {
    return g_fx.serial++;
}

uint32_t fx_get_frame(void) {
    return g_fx.frame;
}

int32_t fx_counter_get(int32_t index) {
    if (index < 0 || index >= FX_SLOT_COUNT) return 0;
    return g_fx.counters[index];
}

void fx_counter_inc(int32_t index) {
    if (index >= 0 && index < FX_SLOT_COUNT) ++g_fx.counters[index];
}

void fx_counter_dec(int32_t index) {
    if (index >= 0 && index < FX_SLOT_COUNT) --g_fx.counters[index];
}

bool fx_should_spawn(void) {
    const uint32_t k = ++g_fx.calls;
    const int32_t n = obj_get_live_count();
    if (n < 3096) return true;
    if (n < 3396) return (k % 2) != 0;
    if (n < 3696) return (k % 4) != 0;
    if (n < 3896) return (k % 8) != 0;
    return false;
}

void game_fx_scene_init(void) {
    std::memset(g_fx_scene, 0, sizeof g_fx_scene);
    gfx_reset_scene();
    fx_init();
    view_set_proj_center(0, 0.5f, 0.5f);
}

void game_fx_scene_step(void) {
    fx_step();
}

void game_fx_scene_term(void) {
    fx_term();
    gfx_clear_scene();
}

void game_fx_reset_views(void) {
    gfx_reset_views();
}
