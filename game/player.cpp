// The player: runs along the stage (driving its scroll), jumps, is slowed on hurdles, catches
// the target with the button poses and watches the finish.
#include "app/app.h"
#include "app/input.h"
#include "game/actors.h"
#include "game/game_scene.h"
#include "game/game_util.h"
#include "game/stage_map.h"
#include "math/mathf.h"
#include "render/gfx_display.h"
#include "resource/res_pools.h"
#include "scene/sprite2d.h"

namespace {

const char *const k_pose_names[PLAYER_POSE_COUNT] = {
    "run01",   "run02",   "wait01",  "run02",   "ppose04", "ppose05", "ppose06",
    "ppose07", "ppose08", "ppose09", "ppose10", "ppose11", "cam01",   "cam02",
};

constexpr float k_pi = 3.14159265f;
constexpr float k_jump_height = 92.0f;

SceneObject *g_object;
OwnerId g_owner;
ResourceHandle g_poses[PLAYER_POSE_COUNT];

PlayerActorData *data(void) {
    return g_object ? actor_data<PlayerActorData>(g_object) : nullptr;
}

void face(PlayerActorData *d, bool right) {
    if (right)
        d->flags |= PLAYER_FLAG_FACING_RIGHT;
    else
        d->flags &= ~PLAYER_FLAG_FACING_RIGHT;
}

float ease(float v, float target, float rate) {
    return v + (target - v) * rate;
}

// Moves and jumps while the chase runs; returns the pose and the jump height.
int32_t update_run(PlayerActorData *d, float *height) {
    bool moving = false;
    if (d->frame > 180 && game_get_end_counter() == 0) {
        const int fast = input_button1_held();
        const float slow = (d->flags & PLAYER_FLAG_SLOWED) ? 0.3f : 1.0f;
        const float run = fast ? 8.0f : 4.0f;
        if (input_right_held()) {
            d->vx = ease(d->vx, run, 0.03f);
            face(d, true);
            moving = true;
        } else if (input_left_held()) {
            d->vx = ease(d->vx, -run, 0.03f);
            face(d, false);
            moving = true;
        } else {
            d->vx = ease(d->vx, 0.0f, 0.1f);
        }
        d->scroll = game_clampf(d->scroll + d->vx * slow, 0.0f, 1500.0f);
        if (input_up_held()) {
            d->vy = ease(d->vy, -run, 0.1f);
            moving = true;
        } else if (input_down_held()) {
            d->vy = ease(d->vy, run, 0.1f);
            moving = true;
        } else {
            d->vy = ease(d->vy, 0.0f, 0.1f);
        }
        d->y = game_clampf(d->y + d->vy * slow, 160.0f, 480.0f);
        if (input_button2_pressed() && d->jump_counter < 2)
            d->jump_counter = (int16_t)d->jump_length;
    }
    const bool jumping = d->jump_counter != 0;
    if (jumping) {
        *height = mathf_sin_table((float)d->jump_counter * k_pi / (float)d->jump_length);
        --d->jump_counter;
    }
    if (board_is_stopped()) d->state = PLAYER_CATCH;
    if (moving || jumping) return d->frame % 15 > 6 ? 1 : 0;
    return d->frame % 40 > 19 ? 3 : 2;
}

int32_t update_catch(PlayerActorData *d) {
    if (input_key_pressed(VK_F1)) d->flags ^= PLAYER_FLAG_OPAQUE;
    const int b1 = input_button1_held(), b2 = input_button2_held();
    uint32_t set = (d->flags & PLAYER_FLAG_SET_MASK) >> PLAYER_FLAG_SET_SHIFT;
    switch (game_selected_kind()) {
        case 0:
            if (b1)
                set = 0;
            else if (b2)
                set = 1;
            break;
        case 1:
            set = 2;
            break;
        default:
            set = 3;
            break;
    }
    d->flags = (d->flags & ~PLAYER_FLAG_SET_MASK) | (set << PLAYER_FLAG_SET_SHIFT);
    face(d, false);
    if (board_finish_counter() != 0) d->state = PLAYER_END;
    switch (set) {
        case 0:
            return 4 + b1;
        case 1:
            return 6 + b2;
        case 2:
            return 9 - b1;
        default:
            return 11 - b1;
    }
}

} // namespace

SceneObject *player_object(void) {
    return g_object;
}

PlayerActorData *player_data(void) {
    return data();
}

SceneObject *player_create(void) {
    player_destroy();
    g_owner = owner_alloc();
    for (int32_t i = 0; i < PLAYER_POSE_COUNT; ++i)
        g_poses[i] = res_find_crop("player", k_pose_names[i]);
    const float x = 0.3f * (float)gfx_get_screen_width();
    const float y = 0.6f * (float)gfx_get_screen_height();
    g_object = sprite2d_create_crop(g_owner, g_poses[1], 0xFFFFFFFFu, x, y, 0.5f, ACTOR_ANCHOR_Y,
                                    1.0f, 1.0f, 17);
    if (!g_object) return nullptr;
    obj_set_update(g_object, player_update);
    PlayerActorData *d = data();
    face(d, true);
    d->flags |= PLAYER_FLAG_OPAQUE;
    d->x = x;
    d->y = y;
    d->jump_length = 42;
    d->shadow = res_find_crop("bg", "shadow");
    return g_object;
}

void player_destroy(void) {
    if (g_owner) {
        obj_release_owner(g_owner);
        owner_free(g_owner);
    }
    g_owner = 0;
    g_object = nullptr;
}

float player_x(void) {
    const PlayerActorData *d = data();
    return d ? d->x : 0.0f;
}

float player_y(void) {
    const PlayerActorData *d = data();
    return d ? d->y : 0.0f;
}

int player_update(SceneObject *o) {
    PlayerActorData *d = actor_data<PlayerActorData>(o);
    float h = 0.0f;
    int32_t pose;
    uint32_t colour = (d->flags & PLAYER_FLAG_OPAQUE) ? 0xFFFFFFFFu : 0x80FFFFFFu;
    switch (d->state) {
        case PLAYER_RUN:
            pose = update_run(d, &h);
            break;
        case PLAYER_CATCH:
            pose = update_catch(d);
            colour = (d->flags & PLAYER_FLAG_OPAQUE) ? 0xFFFFFFFFu : 0x80FFFFFFu;
            break;
        default:
            colour = 0xFFFFFFFFu;
            pose = d->frame % 40 > 19 ? 13 : 12;
            break;
    }
    sprite2d_set_crop(o, g_poses[pose]);
    sprite2d_set_color(o, colour);
    sprite2d_set_scale(o, (d->flags & PLAYER_FLAG_FACING_RIGHT) ? -1.0f : 1.0f, 1.0f);
    const float sy = d->y - k_jump_height * h;
    sprite2d_set_position(o, d->x, sy);
    // The hurdle under the feet slows the run; a jump keeps the state it took off with.
    if (d->jump_counter == 0) {
        if (stage_probe_a(d->x, d->y, 0.0f) == 1)
            d->flags |= PLAYER_FLAG_SLOWED;
        else
            d->flags &= ~PLAYER_FLAG_SLOWED;
    }
    stage_set_scroll(d->scroll, 0.0f);
    const int32_t ch = app_get_client_height();
    if (ch > 0) obj_set_sub_order(o, 255 - (int32_t)d->y * 255 / ch);
    sprite2d_put_crop(o->owner, d->shadow, 0x80FFFFFFu, d->x, d->y, 0.5f, 0.5f, 1.0f, 1.0f, 19);
    board_hit_test(d->x, sy);
    ++d->frame;
    return 0;
}
