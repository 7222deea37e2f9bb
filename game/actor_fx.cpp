// Short-lived decorations: exclamation captions that follow the target, and camera flashes.
#include <cmath>

#include "game/actors.h"
#include "game/game_util.h"
#include "math/mathf.h"
#include "resource/res_pools.h"
#include "scene/sprite2d.h"

namespace {

const char *const k_caption_names[CAPTION_COUNT] = {
    "moji_big",  "moji_cry1", "moji_cry2", "moji_cry3",
    "moji_cry4", "moji_cry5", "moji_cry6", "moji_cry7",
};

constexpr float k_pi = 3.14159265f;

struct CaptionData {
    int32_t index;
    int32_t t;
    int32_t duration;
    float ox, oy;
    float scale;
    uint32_t colour; // RGB kept, alpha from the fade
};

struct FlashData {
    int32_t t;
    float size;
};

int caption_update(SceneObject *o) {
    CaptionData *c = actor_data<CaptionData>(o);
    ++c->t;
    if (c->t >= c->duration) return 1;
    float jx = 0.0f, jy = 0.0f;
    if (c->index == 0) {
        c->scale += 0.001f;
        jx = (float)game_rand_int(-2, 2);
        jy = (float)game_rand_int(-2, 2);
    }
    const float fade = std::cos((float)c->t * k_pi / 2.0f / (float)c->duration);
    const uint32_t alpha = (uint32_t)(int32_t)(255.0f * fade) & 0xFFu;
    sprite2d_set_color(o, (alpha << 24) | (c->colour & 0x00FFFFFFu));
    sprite2d_set_position(o, board_screen_x() + c->ox + jx, board_y() + c->oy + jy);
    sprite2d_set_scale(o, c->scale, c->scale);
    return 0;
}

int flash_update(SceneObject *o) {
    FlashData *f = actor_data<FlashData>(o);
    ++f->t;
    if (f->t >= 5) return 1;
    const float s = f->size * (1.0f - (float)f->t / 4.0f);
    sprite2d_set_scale(o, s, s);
    return 0;
}

} // namespace

SceneObject *fx_caption(OwnerId owner, int32_t index, uint32_t colour, float x, float y,
                        float lift) {
    if (index < 0 || index >= CAPTION_COUNT) return nullptr;
    const ResourceHandle crop = res_find_crop("moji", k_caption_names[index]);
    // A random turn is drawn but not used (the tilt follows the offset); the draw keeps the
    // random sequence of a replayed game.
    game_rand_float(-0.5f, 0.5f);
    const float ox = game_rand_float(-30.0f, 30.0f);
    const float oy = game_rand_float(-30.0f, 30.0f) - lift;
    const float s = game_rand_float(0.5f, 0.8f);
    SceneObject *o =
        sprite2d_create_crop(owner, crop, colour, x + ox, y + oy, 0.5f, 0.5f, s, s, 16);
    if (!o) return nullptr;
    CaptionData *c = actor_data<CaptionData>(o);
    c->index = index;
    c->t = 0;
    c->duration = index == 0 ? 180 : 40;
    c->ox = ox;
    c->oy = oy;
    c->scale = s;
    c->colour = colour;
    sprite2d_set_rotation(o, -std::sin(ox * 0.31415927f / 30.0f));
    obj_set_update(o, caption_update);
    return o;
}

SceneObject *fx_camera_flash(OwnerId owner, float x, float y) {
    const ResourceHandle crop = res_find_crop("player", "camfla");
    const float size = game_rand_float(1.0f, 2.0f);
    SceneObject *o =
        sprite2d_create_crop(owner, crop, 0x40FFFFFFu, x, y, 0.5f, 0.5f, size, size, 15);
    if (!o) return nullptr;
    FlashData *f = actor_data<FlashData>(o);
    f->t = 0;
    f->size = size;
    obj_set_update(o, flash_update);
    return o;
}
