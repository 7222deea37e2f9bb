// The effect list: positional requests to play the sound manager's effect slots, collected during
// a frame and played once per slot at its end (the request nearest to camera 0 wins), with a
// per-slot cool-down. Beside it a private random generator, frame counters and a load-shedding
// test by the number of live scene objects.
#pragma once
#include <cstdint>

#include "math/math_types.h"

constexpr int32_t FX_REQUEST_COUNT = 64;
constexpr int32_t FX_SLOT_COUNT = 11;
constexpr float FX_MAX_DIST2 = 360000.0f;  // 600 units
constexpr float FX_LOOP_DIST2 = 342000.0f; // a looping slot keeps playing within this

enum SoundRequestMode : uint32_t {
    FX_MODE_ONCE = 0,
    FX_MODE_RESTART = 1,
    FX_MODE_LOOP = 2,
};

struct SoundRequest {
    uint32_t slot;
    uint32_t mode;
    float dist2; // squared distance to camera 0
    float x, y, z;
};

struct EffectList {
    int32_t serial;
    uint32_t frame;
    uint32_t calls;
    uint32_t seed;
    SoundRequest requests[FX_REQUEST_COUNT];
    SoundRequest *order[FX_REQUEST_COUNT];
    int32_t count;
    int32_t counters[FX_SLOT_COUNT];
    uint8_t cooldown[FX_SLOT_COUNT];
};

void fx_init(void);
void fx_term(void);
void fx_set_seed(uint32_t seed);
int32_t fx_random_next(void);

void fx_request(uint32_t slot, const Vec3 *position, uint32_t mode);
void fx_request_once(uint32_t slot, const Vec3 *position);
void fx_request_restart(uint32_t slot, const Vec3 *position);
void fx_request_loop(uint32_t slot, const Vec3 *position);
// The request nearest to camera 0 of each requested slot, in slot order (up to 64); returns
// how many.
int32_t fx_pick_nearest(const SoundRequest **out);
// Plays the frame's requests, counts the cool-downs down and empties the list.
void fx_step(void);

int32_t fx_next_serial(void);
uint32_t fx_get_frame(void);
int32_t fx_counter_get(int32_t index);
void fx_counter_inc(int32_t index);
void fx_counter_dec(int32_t index);
bool fx_should_spawn(void);

EffectList *fx_get(void);

// Scene-level wrappers for a scene that wants positional sound requests.
void game_fx_scene_init(void);
void game_fx_scene_step(void);
void game_fx_scene_term(void);
void game_fx_reset_views(void);
