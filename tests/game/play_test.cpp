// Whole chases driven through the virtual buttons: a bot that catches the target, fills the
// meter, watches the finish and uses the picture viewer; a chase that runs out of time; and the
// actors' rules on their own.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "app/input.h"
#include "audio/dx_sound.h"
#include "audio/sound_manager.h"
#include "audio/sound_queue.h"
#include "game/actors.h"
#include "game/game_scene.h"
#include "game/stage_map.h"
#include "game_test_env.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_frame.h"
#include "scene/object_manager.h"
#include "scene/sprite2d.h"

namespace {

GameSceneRecord &game() {
    return *game_scene_record();
}

// Title, selection of entry `entry` (the save opens it) and the first frame of play.
void start_chase(int entry, int open) {
    sys_srand(1);
    game_test_remove_save();
    if (open > 0) game_test_write_save((uint32_t)open);
    obj_reset_all();
    game_scene_init();
    game_test_hold({}, 2);
    game_test_hold({'Z'}, 1);
    game_test_hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_SELECT);
    game().selected = entry;
    game_test_press({'Z'});
    game_test_hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_PLAY);
}

class Chase : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(game_test_engine()); }
    void TearDown() override {
        game_scene_exit();
        game_test_remove_save();
    }
};

// Waits up to two seconds for the audio worker to bring the music channel to this state. The
// channel's fields are read only once the worker has run every queued command: it counts each
// off under the queue's lock, which this count takes too, so its writes come before the reads
// (and this thread posts nothing meanwhile).
bool music_becomes(int32_t id, bool playing) {
    SoundManager *m = snd_get_manager();
    for (int i = 0; i < 200; ++i) {
        if (m && snd_queue_count() == 0 && m->music) {
            std::lock_guard<std::recursive_mutex> g(m->music->guard);
            if (m->music_id == id && m->music->IsPlaying() == playing) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Time-bar segments drawn by the scene in this frame.
int bar_segments(void) {
    static int n;
    n = 0;
    obj_for_each([](SceneObject *o) {
        if (o->owner == game_scene_record()->owner && o->layer == 22) ++n;
    });
    return n;
}

} // namespace

TEST_F(Chase, BotCatchesTheTargetFillsTheMeterAndOpensThePicture) {
    start_chase(0, 0);
    ASSERT_NE(board_data(), nullptr);
    EXPECT_EQ(board_data()->max_hits, 20);

    // The count-in: nobody moves and no time is used.
    for (int i = 0; i < 180; ++i) {
        game_test_keys({'Z', VK_RIGHT, VK_DOWN});
        game_test_frame();
    }
    EXPECT_FLOAT_EQ(stage_get_scroll_x(), 0.0f);
    EXPECT_FLOAT_EQ(player_y(), 360.0f);
    EXPECT_EQ(game().time_left, GAME_PLAY_TIME);

    int frames = 0, hits_seen = 0, last_hits = board_data()->hits;
    while (!board_is_stopped() && frames < 5000) {
        game_test_chase_keys();
        game_test_frame();
        ++frames;
        if (board_data()->hits < last_hits) ++hits_seen;
        last_hits = board_data()->hits;
    }
    ASSERT_TRUE(board_is_stopped()) << "hits left " << board_data()->hits;
    EXPECT_EQ(hits_seen, 20);
    EXPECT_GT(game().time_left, 0);
    const int time_at_stop = game().time_left;

    // The catch: each press of button 1 adds one back to the meter until it is full.
    int presses = 0;
    while (board_finish_counter() == 0 && board_data()->state != BOARD_FINISH && presses < 40) {
        game_test_press({'Z'});
        ++presses;
    }
    EXPECT_EQ(board_data()->state, BOARD_FINISH);
    EXPECT_EQ(board_data()->hits, 20);
    EXPECT_GE(presses, 20);
    EXPECT_LE(presses, 21);
    EXPECT_EQ(game().time_left, time_at_stop); // the clock stands while the target is stopped

    // The finish runs 600 frames, then the picture of entry 0 is shown.
    int finish_frames = 0;
    while (game().phase == GAME_PHASE_PLAY && finish_frames < 700) {
        game_test_hold({}, 1);
        ++finish_frames;
    }
    EXPECT_GE(finish_frames, 600);
    EXPECT_LE(finish_frames, 603);
    EXPECT_EQ(board_object(), nullptr);
    game_test_hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_PICTURE);

    // Pan with button 2 held, then zoom and turn without it.
    game_test_hold({'X', VK_LEFT, VK_DOWN}, 10);
    EXPECT_FLOAT_EQ(game().pan_x, 40.0f);
    EXPECT_FLOAT_EQ(game().pan_y, 40.0f);
    const float angle = game().picture_angle;
    game_test_hold({VK_UP, VK_RIGHT}, 200);
    EXPECT_FLOAT_EQ(game().picture_zoom, 3.0f); // 1.01^200 is clamped
    EXPECT_NEAR(game().picture_angle, angle - 200 * 0.06283186f, 1e-3);
    EXPECT_NEAR(game().picture_ease, 1.0f, 0.01f);

    game_test_press({'Z'});
    EXPECT_EQ(game().phase, GAME_PHASE_TO_SELECT);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_SELECT);
}

TEST_F(Chase, RunningOutOfTimeReturnsToTheSelection301FramesLater) {
    start_chase(9, 9);
    EXPECT_EQ(board_data()->max_hits, 29);
    int frames = 0;
    while (game().time_left > 0 && frames < 7000) {
        const int before = game().time_left;
        game_test_keys({});
        game_scene_update();
        // The bar loses one of its 20 segments every 300 frames.
        const int expected = before == 6000 || before == 5701   ? 20
                             : before == 5700 || before == 5401 ? 19
                             : before == 5400                   ? 18
                                                                : -1;
        if (expected >= 0) {
            EXPECT_EQ(bar_segments(), expected) << before;
        }
        gfx_render_frame(0);
        sys_rand();
        ++frames;
        if (frames == GAME_COUNT_IN) {
            EXPECT_TRUE(music_becomes(0, true)); // the chase music from the end of the count-in
        }
    }
    // The count-in uses no time.
    EXPECT_EQ(frames, GAME_COUNT_IN + GAME_PLAY_TIME);
    EXPECT_EQ(game().end_counter, 1);
    EXPECT_TRUE(music_becomes(0, false));
    game_test_hold({}, 299);
    EXPECT_EQ(game().phase, GAME_PHASE_PLAY);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_TO_SELECT);
    EXPECT_EQ(board_object(), nullptr);
    EXPECT_EQ(player_object(), nullptr);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_SELECT);
    EXPECT_TRUE(music_becomes(1, true)); // the selection's music again
}

TEST_F(Chase, HitTestKnocksTheTargetAwayOncePerCoolDown) {
    start_chase(0, 0);
    TargetActorData *d = board_data();
    ASSERT_NE(d, nullptr);
    const float px = player_x(), py = player_y();
    // Before the run starts the target cannot be hit.
    EXPECT_FALSE(board_hit_test(board_screen_x(), board_y()));
    d->state = BOARD_RUN;
    // The target was drawn 20 right of and 15 below the player on a stage scrolled by 200;
    // the player has since run 40 further.
    const auto place = [&](float dx, float dy) {
        d->x = 200.0f + px + dx;
        d->y = py + dy;
        sprite2d_set_position(board_object(), px + dx, py + dy);
    };
    place(20.0f, 15.0f);
    stage_set_scroll(240.0f, 0.0f);
    EXPECT_FALSE(board_hit_test(px - 20.0f, py)); // 40 pixels away
    ASSERT_TRUE(board_hit_test(px, py));
    EXPECT_EQ(d->hits, 19);
    EXPECT_EQ(d->hit_cooldown, 20);
    // Away from the player on the screen, whatever the scroll.
    EXPECT_NEAR(d->push_x, 12.0f * 20.0f / 25.0f, 1e-4);
    EXPECT_NEAR(d->push_y, 12.0f * 15.0f / 25.0f, 1e-4);
    EXPECT_FALSE(board_hit_test(px, py)); // cooling down
    d->hit_cooldown = 0;
    place(20.0f, 0.0f); // straight across: a random vertical part of 3 before normalising
    ASSERT_TRUE(board_hit_test(px, py));
    EXPECT_NEAR(std::fabs(d->push_y), 12.0f * 3.0f / std::hypot(20.0f, 3.0f), 1e-4);
    d->hit_cooldown = 0;
    d->hits = 1;
    ASSERT_TRUE(board_hit_test(px, py));
    EXPECT_EQ(d->hits, 0);
    d->hit_cooldown = 0;
    game().end_counter = 1; // the time is up: no more hits
    EXPECT_FALSE(board_hit_test(px, py));
    game().end_counter = 0;
}

TEST_F(Chase, AllOpenNeedsBothButtonsToEndTheCatch) {
    start_chase(0, 10);
    TargetActorData *d = board_data();
    d->state = BOARD_RUN;
    d->hits = 0;
    game_test_hold({}, 3); // run -> stopped -> catch
    ASSERT_EQ(d->state, BOARD_CATCH);
    for (int i = 0; i < 25; ++i) game_test_press({'Z'});
    EXPECT_EQ(d->hits, 20);
    EXPECT_EQ(d->state, BOARD_CATCH);
    game_test_press({'Z', 'X'});
    EXPECT_EQ(d->state, BOARD_FINISH);
}

TEST_F(Chase, AJumpKeepsTheHurdleSlowdownUntilItLands) {
    start_chase(0, 0);
    game_test_hold({}, 182); // past the player's count-in
    StageMap *m = stage_get();
    const int32_t row = (int32_t)player_y() / 64;
    auto set_row = [&](uint8_t id) {
        for (int32_t c = 0; c < m->columns; ++c) m->cells[c * STAGE_MAX_ROWS + row] = id;
    };
    set_row(1);
    game_test_hold({}, 1);
    ASSERT_TRUE(player_data()->flags & PLAYER_FLAG_SLOWED);
    game_test_press({'X'});
    set_row(0);
    ASSERT_GT(player_data()->jump_counter, 30);
    game_test_hold({VK_RIGHT}, 20); // in the air: still slowed, running at 0.3 of the speed
    EXPECT_TRUE(player_data()->flags & PLAYER_FLAG_SLOWED);
    const float slow_step = stage_get_scroll_x();
    game_test_hold({VK_RIGHT}, 25); // landed on floor
    EXPECT_EQ(player_data()->jump_counter, 0);
    EXPECT_FALSE(player_data()->flags & PLAYER_FLAG_SLOWED);
    // Slowed, the first 20 frames of the run cover about 6 pixels; unslowed about 19.
    EXPECT_LT(slow_step, 10.0f);
    EXPECT_GT(slow_step, 3.0f);
}

namespace {

// A target of `entry` brought to the catch at once.
TargetActorData *to_catch(int entry) {
    start_chase(entry, 9);
    TargetActorData *d = board_data();
    d->state = BOARD_RUN;
    d->hits = 0;
    game_test_hold({}, 3); // run -> stopped -> catch
    EXPECT_EQ(d->state, BOARD_CATCH);
    return d;
}

uint32_t board_set(const TargetActorData *d) {
    return (d->flags & BOARD_FLAG_SET_MASK) >> BOARD_FLAG_SET_SHIFT;
}

uint32_t player_set(void) {
    return (player_data()->flags & PLAYER_FLAG_SET_MASK) >> PLAYER_FLAG_SET_SHIFT;
}

} // namespace

TEST_F(Chase, CatchStylesFollowTheEntryKind) {
    // Kind 1 (entry 1) and kind 2 (entry 4): only button 1 counts, the target stands to the
    // player's left facing right.
    const struct {
        int entry;
        uint32_t set;
        float offset;
    } styles[] = {{1, 2, 90.0f}, {4, 3, 70.0f}};
    for (const auto &s : styles) {
        TargetActorData *d = to_catch(s.entry);
        game_test_press({'X'});
        EXPECT_EQ(d->hits, 0) << s.entry;
        game_test_press({'Z'});
        EXPECT_EQ(d->hits, 1) << s.entry;
        EXPECT_EQ(board_set(d), s.set);
        EXPECT_EQ(player_set(), s.set);
        EXPECT_TRUE(d->flags & BOARD_FLAG_FACING_RIGHT);
        EXPECT_FLOAT_EQ(d->x, player_x() + stage_get_scroll_x() - s.offset);
        EXPECT_FLOAT_EQ(d->y, player_y());
        game_scene_exit();
    }

    // Kind 0: button 2 alone turns both to the second pose set, facing each other; either
    // button counts.
    TargetActorData *d = to_catch(0);
    game_test_press({'X'});
    EXPECT_EQ(d->hits, 1);
    EXPECT_EQ(board_set(d), 1u);
    EXPECT_EQ(player_set(), 1u);
    EXPECT_FALSE(d->flags & BOARD_FLAG_FACING_RIGHT);
    EXPECT_FLOAT_EQ(d->x, player_x() + stage_get_scroll_x() - 37.0f);
    EXPECT_FLOAT_EQ(d->y, player_y() - 16.0f);
    game_test_press({'Z'});
    EXPECT_EQ(d->hits, 2);
    EXPECT_EQ(board_set(d), 0u);
    // F1 makes the player see-through during the catch, and opaque again.
    game_test_press({VK_F1});
    EXPECT_EQ(sprite2d_get_color(player_object()), 0x80FFFFFFu);
    game_test_press({VK_F1});
    EXPECT_EQ(sprite2d_get_color(player_object()), 0xFFFFFFFFu);
    EXPECT_TRUE(d->flags & BOARD_FLAG_FACING_RIGHT);
    EXPECT_FLOAT_EQ(d->x, player_x() + stage_get_scroll_x() - 50.0f);
    EXPECT_FLOAT_EQ(d->y, player_y() - 8.0f);

    // Filled with button 2 last, the finish keeps the second set beside the player and shows
    // six camera flashes; the chase is won after 600 frames.
    for (int i = 0; i < 25 && d->state == BOARD_CATCH; ++i) game_test_press({'X'});
    ASSERT_EQ(d->state, BOARD_FINISH);
    static OwnerId owner;
    static int flashes_now;
    owner = board_object()->owner;
    int flashes = 0, frames = 0;
    bool was_flashing = false;
    while (game().phase == GAME_PHASE_PLAY && frames < 700) {
        game_test_hold({}, 1);
        ++frames;
        if (!board_object()) break;
        EXPECT_FLOAT_EQ(d->x, player_x() + stage_get_scroll_x() - 60.0f);
        EXPECT_EQ(player_data()->state, board_finish_counter() > 0 ? PLAYER_END : PLAYER_CATCH);
        flashes_now = 0;
        obj_for_each([](SceneObject *o) { flashes_now += o->owner == owner && o->layer == 15; });
        if (flashes_now > 0 && !was_flashing) ++flashes;
        was_flashing = flashes_now > 0;
    }
    EXPECT_EQ(flashes, 6);
    EXPECT_GE(frames, 600);
    EXPECT_LE(frames, 603);
}

namespace {

// A chase of `entry` (all entries open) past the count-in, the stage all floor (no hurdle slows
// anyone), the player at (screen 240, y 160) and not moving, and the stage scrolled by 500.
constexpr float k_scroll = 500.0f;

void to_run(int entry) {
    start_chase(entry, 10);
    game_test_hold({}, GAME_COUNT_IN + 2);
    StageMap *m = stage_get();
    std::fill(std::begin(m->cells), std::end(m->cells), (uint8_t)0);
}

void still_player(float scroll, float y) {
    PlayerActorData *p = player_data();
    p->scroll = scroll, p->vx = 0.0f;
    p->y = y, p->vy = 0.0f;
    p->jump_counter = 0;
    stage_set_scroll(scroll, 0.0f);
}

// One frame of a running target at world x, far below the player (no hit), turn flag as given.
TargetActorData *run_frame(float x, uint8_t turn, float speed = 0.0f, uint8_t cooldown = 0) {
    TargetActorData *d = board_data();
    d->state = BOARD_RUN;
    d->turn = turn;
    d->edge = 0;
    d->x = x, d->y = 480.0f;
    d->speed = speed;
    d->push_x = d->push_y = 0.0f;
    d->hit_cooldown = cooldown;
    d->hold = 0;
    game_test_hold({}, 1);
    return d;
}

// Eases v toward t by the share k of the difference, as the actors do.
float eased(float v, float t, float k) {
    return v + (t - v) * k;
}

} // namespace

TEST_F(Chase, TargetTurnsAwayOnceThePlayerIsPastItsLead) {
    // The lead by entry: 20 for entries 0 and 1, 10 for 2 to 5, 3 for 6, 1 for 7 to 9.
    const struct {
        int entry;
        float lead;
    } leads[] = {{0, 20.0f}, {1, 20.0f}, {2, 10.0f}, {5, 10.0f}, {6, 3.0f}, {7, 1.0f}, {9, 1.0f}};
    for (const auto &l : leads) {
        to_run(l.entry);
        const float px = player_x();
        ASSERT_FLOAT_EQ(px, 240.0f);
        // Running left, it turns right once the player is more than the lead to its left.
        const float left = k_scroll + px + l.lead; // the player exactly at the lead
        still_player(k_scroll, 160.0f);
        EXPECT_EQ(run_frame(left + 0.5f, 0)->turn, 1) << l.entry;
        still_player(k_scroll, 160.0f);
        EXPECT_EQ(run_frame(left - 0.5f, 0)->turn, 0) << l.entry;
        // Running right, it turns left once the player is more than the lead to its right.
        const float right = k_scroll + px - l.lead;
        still_player(k_scroll, 160.0f);
        EXPECT_EQ(run_frame(right - 0.5f, 1)->turn, 0) << l.entry;
        still_player(k_scroll, 160.0f);
        EXPECT_EQ(run_frame(right + 0.5f, 1)->turn, 1) << l.entry;
        game_scene_exit();
    }
}

TEST_F(Chase, TargetSpeedEasesTowardItsEntrysPaceAndPushesFade) {
    for (int entry : {0, 9}) {
        to_run(entry);
        const float base = 3.0f + 0.1f * (float)entry, fast = 4.0f + 0.1f * (float)entry;
        // Running right from a standstill, the player far behind: a tenth of the way to +base.
        still_player(k_scroll, 160.0f);
        TargetActorData *d = run_frame(1000.0f, 1);
        float speed = eased(0.0f, base, 0.1f);
        EXPECT_NEAR(d->speed, speed, 1e-5f) << entry;
        EXPECT_NEAR(d->x, 1000.0f + speed, 1e-4f) << entry;
        EXPECT_TRUE(d->flags & BOARD_FLAG_FACING_RIGHT);
        // A second frame with a push: the push moves it too and fades by 0.9.
        d->push_x = 5.0f;
        const float x = d->x;
        game_test_hold({}, 1);
        speed = eased(speed, base, 0.1f);
        EXPECT_NEAR(d->speed, speed, 1e-5f) << entry;
        EXPECT_NEAR(d->x, x + speed + 5.0f, 1e-3f) << entry;
        EXPECT_NEAR(d->push_x, 4.5f, 1e-5f);
        // Cooling down after a hit it runs at the fast pace, here leftwards (the player no
        // further left than the lead: no turn).
        still_player(k_scroll, 160.0f);
        d = run_frame(k_scroll + player_x() + 1.0f, 0, -1.0f, 10);
        EXPECT_NEAR(d->speed, eased(-1.0f, -fast, 0.1f), 1e-5f) << entry;
        EXPECT_FALSE(d->flags & BOARD_FLAG_FACING_RIGHT);
        game_scene_exit();
    }
}

TEST_F(Chase, TargetKeepsWithinTheStageEndsAndTurnsPastAClosePlayerThere) {
    to_run(0);
    // Running into the left end with the player far away: held at 250, facing right.
    still_player(k_scroll, 160.0f);
    TargetActorData *d = run_frame(251.0f, 0, -3.0f);
    EXPECT_FLOAT_EQ(d->x, 250.0f);
    EXPECT_TRUE(d->flags & BOARD_FLAG_FACING_RIGHT);
    EXPECT_EQ(d->turn, 0);
    EXPECT_EQ(d->edge, 0);
    // The right end likewise at 1750, facing left.
    still_player(0.0f, 160.0f);
    d = run_frame(1749.0f, 1, 3.0f);
    EXPECT_FLOAT_EQ(d->x, 1750.0f);
    EXPECT_FALSE(d->flags & BOARD_FLAG_FACING_RIGHT);
    // Near the left end (below 260) a player within 100 pixels turns it, and the edge flag
    // is set.
    still_player(0.0f, 160.0f);
    d = run_frame(255.0f, 0, -3.0f);
    EXPECT_EQ(d->turn, 1);
    EXPECT_EQ(d->edge, 1);
    // While the edge flag is set the lead is not looked at (the player is well past it here)
    // and the flag stays outside 400..1600; inside, it clears.
    d->turn = 0;
    d->x = 300.0f;
    still_player(0.0f, 160.0f);
    game_test_hold({}, 1);
    EXPECT_EQ(d->turn, 0);
    EXPECT_EQ(d->edge, 1);
    d->x = 1000.0f;
    still_player(k_scroll, 160.0f);
    game_test_hold({}, 1);
    EXPECT_EQ(d->edge, 0);
}

TEST_F(Chase, PlayerEasesIntoARunDashesWithButtonOneAndStaysOnTheStage) {
    to_run(0);
    PlayerActorData *p = player_data();
    still_player(700.0f, 300.0f);
    // Right eases vx toward 4 by 0.03 of the difference, toward 8 with button 1 held.
    game_test_hold({VK_RIGHT}, 1);
    float vx = eased(0.0f, 4.0f, 0.03f);
    EXPECT_NEAR(p->vx, vx, 1e-6f);
    EXPECT_NEAR(p->scroll, 700.0f + vx, 1e-4f);
    EXPECT_TRUE(p->flags & PLAYER_FLAG_FACING_RIGHT);
    game_test_hold({VK_RIGHT, 'Z'}, 1);
    vx = eased(vx, 8.0f, 0.03f);
    EXPECT_NEAR(p->vx, vx, 1e-6f);
    // No key: back toward 0 by a tenth; left turns the player round.
    game_test_hold({}, 1);
    vx = eased(vx, 0.0f, 0.1f);
    EXPECT_NEAR(p->vx, vx, 1e-6f);
    game_test_hold({VK_LEFT}, 1);
    EXPECT_NEAR(p->vx, eased(vx, -4.0f, 0.03f), 1e-6f);
    EXPECT_FALSE(p->flags & PLAYER_FLAG_FACING_RIGHT);
    // Up and down ease vy by a tenth toward -4 / 4 (-8 / 8 with button 1).
    still_player(700.0f, 300.0f);
    game_test_hold({VK_UP}, 1);
    EXPECT_NEAR(p->vy, -0.4f, 1e-6f);
    EXPECT_NEAR(p->y, 299.6f, 1e-4f);
    game_test_hold({VK_DOWN, 'Z'}, 1);
    EXPECT_NEAR(p->vy, eased(-0.4f, 8.0f, 0.1f), 1e-6f);
    // The scroll stays within 0..1500 and y within 160..480.
    const struct {
        float scroll, vx, y, vy;
        int key_x, key_y;
        float want_scroll, want_y;
    } edges[] = {{1499.5f, 8.0f, 161.0f, -8.0f, VK_RIGHT, VK_UP, 1500.0f, 160.0f},
                 {0.5f, -8.0f, 479.0f, 8.0f, VK_LEFT, VK_DOWN, 0.0f, 480.0f}};
    for (const auto &e : edges) {
        still_player(e.scroll, e.y);
        p->vx = e.vx, p->vy = e.vy;
        game_test_hold({e.key_x, e.key_y, 'Z'}, 1);
        EXPECT_FLOAT_EQ(p->scroll, e.want_scroll);
        EXPECT_FLOAT_EQ(p->y, e.want_y);
    }
}

namespace {

// The slots the game plays, each with the chase's play frame and the target's finish counter
// at that moment.
struct Cue {
    int32_t slot, play_frame, finish;
    bool operator==(const Cue &o) const {
        return slot == o.slot && play_frame == o.play_frame && finish == o.finish;
    }
};
std::vector<Cue> g_cues;

void record_cue(int32_t slot) {
    const TargetActorData *d = board_data();
    g_cues.push_back({slot, game_scene_record()->play_frames, d ? d->finish_counter : -1});
}

std::vector<int32_t> cue_slots(void) {
    std::vector<int32_t> slots;
    for (const Cue &c : g_cues) slots.push_back(c.slot);
    return slots;
}

class Cues : public Chase {
  protected:
    void SetUp() override {
        Chase::SetUp();
        g_cues.clear();
        game_set_slot_hook(record_cue);
    }
    void TearDown() override {
        game_set_slot_hook(nullptr);
        Chase::TearDown();
    }
};

} // namespace

TEST_F(Cues, SelectionAndCountIn) {
    sys_srand(1);
    game_test_write_save(2);
    obj_reset_all();
    game_scene_init();
    game_test_hold({}, 2);
    game_test_press({'Z'});
    game_test_hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_SELECT);
    EXPECT_TRUE(g_cues.empty());
    // A move to an open entry plays slot 6; a refused one (closed, or wrapped round to 9)
    // plays nothing.
    game_test_press({VK_RIGHT});
    game_test_press({VK_RIGHT});
    game_test_press({VK_RIGHT});
    game_test_press({VK_DOWN});
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>{6, 6}));
    EXPECT_EQ(game().selected, 2);
    // Button 1: slot 7, then the count-in: slot 5 at play frames 0, 59 and 119, slot 1 at 179.
    g_cues.clear();
    game_test_press({'Z'});
    game_test_hold({}, 260);
    ASSERT_EQ(game().phase, GAME_PHASE_PLAY);
    ASSERT_GE(g_cues.size(), 5u);
    EXPECT_EQ(g_cues[0].slot, 7);
    const std::vector<Cue> count_in = {{5, 0, 0}, {5, 59, 0}, {5, 119, 0}, {1, 179, 0}};
    EXPECT_EQ(std::vector<Cue>(g_cues.begin() + 1, g_cues.end()), count_in);
}

TEST_F(Cues, HitsCatchPressesFlashesAndThePicture) {
    to_run(0);
    TargetActorData *d = board_data();
    g_cues.clear();
    // Slot 2 for a hit that leaves hits, slot 3 for the last.
    d->hits = 2;
    const float px = player_x(), py = player_y();
    sprite2d_set_position(board_object(), px, py);
    ASSERT_TRUE(board_hit_test(px, py));
    d->hit_cooldown = 0;
    ASSERT_TRUE(board_hit_test(px, py));
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>{2, 3}));
    // The catch of kind 0: slot 9 for each press of either button.
    g_cues.clear();
    d->state = BOARD_RUN;
    game_test_hold({}, 3);
    ASSERT_EQ(d->state, BOARD_CATCH);
    game_test_press({'Z'});
    game_test_press({'X'});
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>{9, 9}));
    // The finish (all entries open: both buttons at once end the catch): slot 8 with a flash
    // at finish counters 30, 60, 140, 180, 210 and 240.
    game_test_press({'Z', 'X'});
    ASSERT_EQ(d->state, BOARD_FINISH);
    g_cues.clear();
    while (game().phase == GAME_PHASE_PLAY && g_cues.size() < 10) game_test_hold({}, 1);
    std::vector<int32_t> finish_counters;
    for (const Cue &c : g_cues)
        if (c.finish >= 0) finish_counters.push_back(c.finish);
    EXPECT_EQ(finish_counters, (std::vector<int32_t>{30, 60, 140, 180, 210, 240}));
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>(6, 8)));
    // The won chase opens the picture with slot 8.
    g_cues.clear();
    game_test_hold({}, 400);
    EXPECT_EQ(game().phase, GAME_PHASE_PICTURE);
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>{8}));
}

TEST_F(Cues, CatchOfKindTwoIsSilentAndTimeUpPlaysSlotOne) {
    TargetActorData *d = to_catch(4);
    g_cues.clear();
    game_test_press({'Z'});
    EXPECT_EQ(d->hits, 1);
    EXPECT_TRUE(g_cues.empty());
    game_scene_exit();
    // The time running out: slot 1 once, when the end counter becomes 1.
    to_run(0);
    g_cues.clear();
    game().time_left = 1;
    game_test_hold({}, 5); // the first frame uses the last unit of time and counts the end
    EXPECT_EQ(game().end_counter, 5);
    EXPECT_EQ(cue_slots(), (std::vector<int32_t>{1}));
}
