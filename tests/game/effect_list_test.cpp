// The effect list: one play per slot, the nearest request winning, the distance limit and the
// cool-down; the private generator and the load-shedding test.
#include <gtest/gtest.h>

#include "audio/dx_sound.h"
#include "audio/sound_manager.h"
#include "game/effect_list.h"
#include "game_test_env.h"
#include "render/view.h"
#include "platform/sound/sound_buffer.h"
#include "scene/object_manager.h"

namespace {

Vec3 at(float x) {
    return Vec3{x, 0.0f, 0.0f};
}

class EffectListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(game_test_engine());
        const Vec3 zero = {0.0f, 0.0f, 0.0f};
        view_set_camera_mode(0, 0);
        view_set_position_angles(0, &zero, &zero);
        fx_init();
    }
    int32_t picked(const SoundRequest **out) { return fx_pick_nearest(out); }
};

} // namespace

TEST_F(EffectListTest, NearestRequestOfEachSlotWins) {
    const Vec3 a = at(10.0f), b = at(5.0f), c = at(20.0f), d = at(1.0f);
    fx_request_once(5, &a);
    fx_request_loop(2, &d);
    fx_request_once(5, &b);
    fx_request_once(5, &c);
    EXPECT_EQ(fx_get()->count, 4);
    const SoundRequest *out[FX_REQUEST_COUNT];
    ASSERT_EQ(picked(out), 2);
    EXPECT_EQ(out[0]->slot, 2u);
    EXPECT_EQ(out[0]->mode, (uint32_t)FX_MODE_LOOP);
    EXPECT_EQ(out[1]->slot, 5u);
    EXPECT_FLOAT_EQ(out[1]->x, 5.0f);
    EXPECT_FLOAT_EQ(out[1]->dist2, 25.0f);
    fx_step();
    EXPECT_EQ(fx_get()->count, 0);
    EXPECT_EQ(fx_get_frame(), 1u);
}

TEST_F(EffectListTest, ManyRequestsSortBySlotAndTheListHoldsSixtyFour) {
    // 64 requests over all eleven slots in a scrambled order: one winner per slot, each the
    // nearest of its slot.
    for (int i = 0; i < 70; ++i) {
        const int slot = (i * 7) % 11;
        const Vec3 p = at((float)((i * 37) % 101));
        fx_request_once((uint32_t)slot, &p);
    }
    EXPECT_EQ(fx_get()->count, FX_REQUEST_COUNT);
    const SoundRequest *out[FX_REQUEST_COUNT];
    ASSERT_EQ(picked(out), FX_SLOT_COUNT);
    for (int s = 0; s < FX_SLOT_COUNT; ++s) {
        EXPECT_EQ(out[s]->slot, (uint32_t)s);
        for (int i = 0; i < fx_get()->count; ++i) {
            if (fx_get()->requests[i].slot == (uint32_t)s) {
                EXPECT_LE(out[s]->dist2, fx_get()->requests[i].dist2);
            }
        }
    }
}

TEST_F(EffectListTest, FarRequestsAndUnknownSlotsAreDropped) {
    const Vec3 far = at(601.0f), edge = at(600.0f);
    fx_request_once(3, &far);
    EXPECT_EQ(fx_get()->count, 0);
    EXPECT_EQ(fx_get()->cooldown[3], 0); // no cool-down from a dropped request
    fx_request_once(3, &edge);
    EXPECT_EQ(fx_get()->count, 1);
    fx_request_once(11, nullptr);
    fx_request_once(0xFFFFFFFFu, nullptr);
    EXPECT_EQ(fx_get()->count, 1);
    fx_request_restart(4, nullptr); // no position: at the camera
    EXPECT_EQ(fx_get()->requests[1].dist2, 0.0f);
}

TEST_F(EffectListTest, CoolDownBlocksThreeFramesAfterARequest) {
    const Vec3 p = at(1.0f);
    fx_request_once(7, &p);
    fx_request_once(7, &p); // same frame: allowed
    EXPECT_EQ(fx_get()->count, 2);
    for (int frame = 1; frame <= 3; ++frame) {
        fx_step();
        fx_request_once(7, &p);
        EXPECT_EQ(fx_get()->count, 0) << frame;
    }
    fx_step();
    fx_request_once(7, &p);
    EXPECT_EQ(fx_get()->count, 1);
}

TEST_F(EffectListTest, GeneratorCountersAndLoadShedding) {
    fx_set_seed(1);
    EXPECT_EQ(fx_random_next(), 41);
    EXPECT_EQ(fx_random_next(), 18467);
    EXPECT_EQ(fx_next_serial(), 0);
    EXPECT_EQ(fx_next_serial(), 1);
    fx_counter_inc(10);
    fx_counter_inc(10);
    fx_counter_dec(10);
    fx_counter_inc(11); // outside the table: nothing
    EXPECT_EQ(fx_counter_get(10), 1);
    EXPECT_EQ(fx_counter_get(11), 0);

    obj_reset_all();
    EXPECT_TRUE(fx_should_spawn());
    // 3400 live objects: every fourth call is refused.
    for (int i = 0; i < 3400; ++i) obj_create(1);
    fx_init();
    int yes = 0;
    for (int i = 0; i < 8; ++i) yes += fx_should_spawn();
    EXPECT_EQ(yes, 6);
    for (int i = 3400; i < 3900; ++i) obj_create(1);
    EXPECT_FALSE(fx_should_spawn());
    obj_reset_all();
}

TEST_F(EffectListTest, StepStartsTheSlotsAndStopsALoopOutOfReach) {
    SoundManager *m = snd_get_manager();
    ASSERT_NE(m, nullptr);
    ASSERT_NE(m->slots[4], nullptr);
    ASSERT_NE(m->slots[6], nullptr);
    snd_stop_effects();
    auto status = [m](int slot) {
        uint32_t s = 0;
        m->slots[slot]->GetStatus(&s);
        return s;
    };
    const Vec3 near = at(500.0f), beyond = at(590.0f);
    fx_request_loop(4, &near);
    fx_request_once(6, &beyond);
    fx_step();
    EXPECT_EQ(status(4), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    EXPECT_EQ(status(6), SNDL_STATUS_PLAYING);
    for (int i = 0; i < 3; ++i) fx_step();
    // Still within the 600 units a request needs, but beyond where a loop keeps playing.
    fx_request_loop(4, &beyond);
    EXPECT_EQ(fx_get()->count, 1);
    fx_step();
    EXPECT_EQ(status(4), 0u);
    snd_stop_effects();
}
