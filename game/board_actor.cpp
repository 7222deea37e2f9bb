// The chased target: runs ahead of the player along free lanes, loses a hit per catch, stops
// when its hits are gone, takes the button-mashing catch phase and ends with the finish.
#include <cmath>

#include "app/input.h"
#include "game/actors.h"
#include "game/asset_groups.h"
#include "game/game_scene.h"
#include "game/game_util.h"
#include "game/stage_map.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_display.h"
#include "resource/loader.h"
#include "scene/sprite2d.h"

namespace {

const char *const k_pose_names[BOARD_POSE_COUNT] = {
    "run01",  "run02",  "wait01",   "run02",    "guard01",  "guard02",  "back02", "back01",
    "back03", "back04", "normal01", "normal02", "normal03", "normal04", "pose14", "pose15",
    "pose16", "pose17", "pose18",   "pose19",   "pose20",   "pose21",
};

constexpr float k_left_end = 250.0f, k_right_end = 1750.0f;
constexpr float k_lane_top = 160.0f, k_lane_bottom = 480.0f;
constexpr float k_caption_lift = 96.0f;
const int32_t k_flash_counters[] = {30, 60, 140, 180, 210, 240};

SceneObject *g_object;
OwnerId g_owner;
ResourceHandle g_poses[BOARD_POSE_COUNT];
float g_last_screen_x, g_last_y; // where captions follow once the target is gone

TargetActorData *data(void) {
    return g_object ? actor_data<TargetActorData>(g_object) : nullptr;
}

uint32_t pose_set(const TargetActorData *d) {
    return (d->flags & BOARD_FLAG_SET_MASK) >> BOARD_FLAG_SET_SHIFT;
}

void set_pose_set(TargetActorData *d, uint32_t set) {
    d->flags =
        (d->flags & ~BOARD_FLAG_SET_MASK) | ((set << BOARD_FLAG_SET_SHIFT) & BOARD_FLAG_SET_MASK);
}

void face(TargetActorData *d, bool right) {
    if (right)
        d->flags |= BOARD_FLAG_FACING_RIGHT;
    else
        d->flags &= ~BOARD_FLAG_FACING_RIGHT;
}

bool facing_right(const TargetActorData *d) {
    return (d->flags & BOARD_FLAG_FACING_RIGHT) != 0;
}

int32_t alternate(int32_t frame, int32_t first) {
    return first + (frame % 40 > 19 ? 1 : 0);
}

void show_caption(const TargetActorData *d, int32_t index) {
    const float sx = d->x - stage_get_scroll_x();
    fx_caption(g_owner, index, 0xFFFFFFFFu, sx, d->y, k_caption_lift);
}

void choose_direction(TargetActorData *d) {
    const float lead = board_lead(d->entry);
    const float px = player_x();
    const float sx = d->x - stage_get_scroll_x();
    if (!d->turn && d->x >= 260.0f) {
        if (px < sx - lead) d->turn = 1;
    } else if (d->turn && d->x <= 1740.0f) {
        if (sx + lead < px) d->turn = 0;
    } else if (std::fabs(px - sx) < 100.0f) {
        // At an end of the stage the target turns back past a close player.
        d->turn ^= 1;
        d->edge = 1;
    }
}

int32_t update_run(TargetActorData *d) {
    if (!d->edge) choose_direction(d);
    if (d->x > 400.0f && d->x < 1600.0f) d->edge = 0;
    face(d, d->turn != 0);
    const float base = (float)d->entry * 0.1f + (d->hit_cooldown ? 4.0f : 3.0f);
    const float target = d->turn ? base : -base;
    d->speed += (target - d->speed) * 0.1f;
    d->x += d->speed + d->push_x;
    d->y += d->push_y;
    d->push_x *= 0.9f;
    d->push_y *= 0.9f;
    d->y = game_clampf(d->y, k_lane_top, k_lane_bottom);
    int32_t pose;
    if (d->x <= k_left_end) {
        d->x = k_left_end;
        face(d, true);
        pose = alternate(d->frame, 4);
    } else if (d->x >= k_right_end) {
        d->x = k_right_end;
        face(d, false);
        pose = alternate(d->frame, 4);
    } else {
        pose = alternate(d->frame, 0);
    }
    if (d->hold) pose = alternate(d->frame, 4);
    if (d->hits <= 0) {
        d->flags |= BOARD_FLAG_STOPPED;
        d->state = BOARD_STOPPED;
    }
    return pose;
}

int32_t update_catch(TargetActorData *d) {
    const float px = player_x(), py = player_y();
    const float scroll = stage_get_scroll_x();
    const int b1 = input_button1_held(), b2 = input_button2_held();
    const int p1 = input_button1_pressed(), p2 = input_button2_pressed();
    bool press = false;
    int32_t pose = 0;
    switch (game_entry_kind(d->entry)) {
        case 0:
            if (b1 && !b2)
                set_pose_set(d, 0);
            else if (b2 && !b1)
                set_pose_set(d, 1);
            if (pose_set(d) == 0) {
                d->x = px + scroll - 50.0f, d->y = py - 8.0f;
                pose = 11 - b1;
                face(d, true);
            } else {
                d->x = px + scroll - 37.0f, d->y = py - 16.0f;
                pose = 7 - b2;
                face(d, false);
            }
            press = p1 || p2;
            if (press) game_play_slot(9);
            break;
        case 1:
            set_pose_set(d, 2);
            d->x = px + scroll - 90.0f, d->y = py;
            pose = 15 - b1;
            face(d, true);
            press = p1;
            if (press) game_play_slot(9);
            break;
        default:
            set_pose_set(d, 3);
            d->x = px + scroll - 70.0f, d->y = py;
            pose = 19 - b1;
            face(d, true);
            press = p1;
            break;
    }
    if (press) {
        show_caption(d, game_rand_int(1, 7));
        if (d->hits < d->max_hits) ++d->hits;
    }
    // With every entry open the meter alone does not end the catch: both buttons at once do.
    const bool done =
        game_get_open_count() == GAME_ENTRY_COUNT ? (p1 && p2) : d->hits >= d->max_hits;
    if (done) {
        d->finish_counter = 0;
        d->state = BOARD_FINISH;
    }
    return pose;
}

int32_t update_finish(TargetActorData *d) {
    const bool second = d->frame % 30 < 15;
    int32_t pose;
    switch (pose_set(d)) {
        case 0:
            pose = 12, face(d, true);
            break;
        case 1:
            pose = 8, face(d, false);
            d->x = player_x() + stage_get_scroll_x() - 60.0f, d->y = player_y();
            break;
        case 2:
            pose = 16;
            break;
        default:
            pose = 20;
            break;
    }
    if (second) ++pose;
    if (d->finish_counter == 1) show_caption(d, 0);
    for (int32_t at : k_flash_counters) {
        if (d->finish_counter != at) continue;
        game_play_slot(8);
        const float fx = d->x - stage_get_scroll_x() + game_rand_float(80.0f, 120.0f);
        const float fy = d->y - game_rand_float(64.0f, 128.0f);
        fx_camera_flash(g_owner, fx, fy);
    }
    ++d->finish_counter;
    return pose;
}

} // namespace

float board_lead(int32_t entry) {
    if (entry <= 1) return 20.0f;
    if (entry <= 5) return 10.0f;
    if (entry == 6) return 3.0f;
    return 1.0f;
}

SceneObject *board_object(void) {
    return g_object;
}

TargetActorData *board_data(void) {
    return data();
}

SceneObject *board_create(int32_t entry) {
    board_destroy();
    const char *face_name = game_entry_face_name(entry);
    if (!face_name) return nullptr;
    game_load_texture_group(face_name, 0);
    while (loader_step() != 0) {
    }
    g_owner = owner_alloc();
    for (int32_t i = 0; i < BOARD_POSE_COUNT; ++i)
        g_poses[i] = res_find_crop(face_name, k_pose_names[i]);
    const float x = 0.5f * (float)gfx_get_screen_width();
    const float y = 0.6f * (float)gfx_get_screen_height();
    g_object = sprite2d_create_crop(g_owner, g_poses[4], 0xFFFFFFFFu, x, y, 0.5f, ACTOR_ANCHOR_Y,
                                    1.0f, 1.0f, 17);
    if (!g_object) return nullptr;
    obj_set_update(g_object, board_update);
    TargetActorData *d = data();
    d->entry = entry;
    face(d, false);
    d->x = x;
    d->y = y;
    d->shadow = res_find_crop("bg", "shadow");
    d->hits = d->max_hits = (int16_t)(entry + 20);
    g_last_screen_x = x - stage_get_scroll_x();
    g_last_y = y;
    return g_object;
}

void board_destroy(void) {
    if (g_owner) {
        obj_release_owner(g_owner);
        owner_free(g_owner);
    }
    g_owner = 0;
    g_object = nullptr;
}

bool board_is_stopped(void) {
    const TargetActorData *d = data();
    return d && (d->flags & BOARD_FLAG_STOPPED) != 0;
}

int32_t board_finish_counter(void) {
    const TargetActorData *d = data();
    return d && d->state == BOARD_FINISH ? d->finish_counter : 0;
}

float board_screen_x(void) {
    const TargetActorData *d = data();
    return d ? d->x - stage_get_scroll_x() : g_last_screen_x;
}

float board_y(void) {
    const TargetActorData *d = data();
    return d ? d->y : g_last_y;
}

bool board_hit_test(float px, float py) {
    TargetActorData *d = data();
    if (!d || d->state != BOARD_RUN) return false;
    // Where the target was drawn: its last update placed the sprite with the scroll of that
    // frame, which the player may have moved since.
    const float sx = sprite2d_get_x(g_object), sy = sprite2d_get_y(g_object);
    if (!(game_dist2(px, py, sx, sy) < 1024.0f)) return false;
    if (d->hit_cooldown != 0 || game_get_end_counter() != 0) return false;
    d->hit_cooldown = 20;
    // Knocked straight away from the player's point, 12 pixels long. Both parts are taken
    // between screen points: a world x against the player's screen x would push the target
    // rightwards wherever the stage has scrolled. Straight across gets a random vertical part
    // so the target leaves the lane.
    float dx = sx - px, dy = sy - py;
    if (dy == 0.0f) dy = (sys_rand() & 1) ? 3.0f : -3.0f;
    const float len = std::sqrt(dx * dx + dy * dy);
    d->push_x = dx * 12.0f / len;
    d->push_y = dy * 12.0f / len;
    show_caption(d, game_rand_int(1, 7));
    if (d->hits > 0) --d->hits;
    game_play_slot(d->hits > 0 ? 2 : 3);
    return true;
}

int board_update(SceneObject *o) {
    TargetActorData *d = actor_data<TargetActorData>(o);
    int32_t pose = 4;
    switch (d->state) {
        case BOARD_INTRO:
            pose = alternate(d->frame, 4);
            if (d->frame > 180) {
                face(d, true);
                d->turn = 1;
                d->state = BOARD_RUN;
            }
            break;
        case BOARD_RUN:
            pose = update_run(d);
            break;
        case BOARD_STOPPED:
            pose = alternate(d->frame, 4);
            d->state = BOARD_CATCH;
            break;
        case BOARD_CATCH:
            pose = update_catch(d);
            break;
        default:
            pose = update_finish(d);
            break;
    }
    const float scroll = stage_get_scroll_x();
    const int32_t layer = d->state == BOARD_FINISH ? 16 : (d->y <= player_y() ? 18 : 16);
    obj_set_layer(o, layer);
    sprite2d_set_crop(o, g_poses[pose]);
    sprite2d_set_scale(o, facing_right(d) ? -1.0f : 1.0f, 1.0f);
    const float sx = d->x - scroll;
    sprite2d_set_position(o, sx, d->y);
    sprite2d_put_crop(o->owner, d->shadow, 0x80FFFFFFu, sx, d->y, 0.5f, 0.5f, 1.0f, 1.0f, 19);
    stage_probe_b(sx, d->y, 0.0f);
    if (d->state == BOARD_RUN) {
        const float lane = stage_pick_lane(facing_right(d) ? 1u : 0u);
        const float step = std::fabs(d->speed);
        d->y += game_clampf(lane - d->y, -step, step);
    }
    // Hit bar above the target.
    const float w = (float)d->max_hits * 4.0f;
    const float filled = d->max_hits > 0 ? w * (float)d->hits / (float)d->max_hits : 0.0f;
    const float bx = sx - w / 2.0f;
    const float by = std::fmax(d->y - 180.0f, 0.0f);
    sprite2d_put_rect(o->owner, 0xFF00FF00u, bx, by, filled, 8.0f, 0.0f, 0.5f, 1.0f, 1.0f, layer);
    sprite2d_put_rect(o->owner, 0xFF400000u, bx + filled, by, w - filled, 8.0f, 0.0f, 0.5f, 1.0f,
                      1.0f, layer);
    if (d->hit_cooldown) --d->hit_cooldown;
    ++d->frame;
    g_last_screen_x = sx;
    g_last_y = d->y;
    return 0;
}
