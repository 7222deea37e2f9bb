// View lights and fog: transitions, direct overrides and fog fades, frame by frame.
#include <gtest/gtest.h>

#include <cmath>

#include "render/gfx_display.h"
#include "render/view.h"
#include "view_test_env.h"

namespace {

class ViewLightTest : public ViewFixture {
  protected:
    void SetUp() override {
        ViewFixture::SetUp();
        view_step_light(0);
    }
};

TEST_F(ViewLightTest, DefaultsAreShownAfterOneStep) {
    const ViewLight *l = view_get_light(0);
    const float inv = 1.0f / std::sqrt(3.0f);
    EXPECT_NEAR(l->current.direction.x, inv, 1e-6f);
    EXPECT_NEAR(l->current.direction.y, -inv, 1e-6f);
    EXPECT_NEAR(l->current.direction.z, inv, 1e-6f);
    EXPECT_EQ(view_get_light_axis(0)->y, 1.0f);
    EXPECT_EQ(view_get_light_color0(0), 0xFF646478u);
    EXPECT_EQ(view_get_light_color1(0), 0xFF646450u);
    EXPECT_EQ(view_get_light_color2(0), 0xFFFFFFFFu);
    const Vec4 *c0 = view_get_light_float_color0(0);
    EXPECT_FLOAT_EQ(c0->x, 100.0f / 255.0f);
    EXPECT_FLOAT_EQ(c0->z, 120.0f / 255.0f);
    EXPECT_FLOAT_EQ(c0->w, 1.0f);
}

TEST_F(ViewLightTest, ColourFadeShowsQuarterStepsThenSettles) {
    view_set_light_goal_color0(0, 0xFF000000);
    view_light_goal_to_target(0);
    view_fade_light_color0(0, 0xFFFFFFFF, 5);
    const uint32_t expected[] = {0xFF3F3F3F, 0xFF7F7F7F, 0xFFBFBFBF, 0xFFFFFFFF};
    for (uint32_t c : expected) {
        view_step_light(0);
        EXPECT_EQ(view_get_light_color0(0), c);
        EXPECT_EQ(view_get_light_color1(0), 0xFF646450u); // target equals goal: unchanged
        EXPECT_EQ(view_get_light_color2(0), 0xFFFFFFFFu);
    }
    EXPECT_EQ(view_get_light(0)->goal.color[0], 0xFF000000u);
    view_step_light(0);
    EXPECT_EQ(view_get_light(0)->goal.color[0], 0xFFFFFFFFu);
    EXPECT_EQ(view_get_light_color0(0), 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(view_get_light_float_color0(0)->x, 1.0f);
}

TEST_F(ViewLightTest, DirectionFadeStaysNormalised) {
    Vec3 to = {0, 0, 3};
    view_fade_light_dir(0, &to, 3);
    view_step_light(0);
    const Vec3 &d = view_get_light(0)->current.direction;
    EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z, 1.0f, 1e-5f);
    EXPECT_GT(d.z, 1.0f / std::sqrt(3.0f));
    view_step_light(0);
    view_step_light(0);
    EXPECT_FLOAT_EQ(view_get_light(0)->current.direction.z, 1.0f);
}

TEST_F(ViewLightTest, OneFrameAndNegativeCounts) {
    view_fade_light_color2(0, 0xFF102030, 1);
    view_step_light(0);
    EXPECT_EQ(view_get_light_color2(0), 0xFF102030u);
    EXPECT_EQ(view_get_light(0)->goal.color[2], 0xFF102030u);

    view_fade_light_color3(0, 0xFF0000FF, -4);
    view_step_light(0);
    EXPECT_EQ(view_get_light_color3(0), 0xFFFFFFFFu);
    EXPECT_EQ(view_get_light(0)->target.color[3], 0xFF0000FFu);
}

TEST_F(ViewLightTest, GoalSetterStopsTransition) {
    view_fade_light_color0(0, 0xFFFFFFFF, 10);
    view_step_light(0);
    EXPECT_NE(view_get_light_color0(0), 0xFF646478u);
    view_set_light_goal_color1(0, 0xFF010203);
    view_step_light(0);
    EXPECT_EQ(view_get_light_color0(0), 0xFF646478u); // the goal lacks the target colour
    EXPECT_EQ(view_get_light_color1(0), 0xFF010203u);
}

TEST_F(ViewLightTest, DirectOverridePausesTransition) {
    view_set_light_goal_color0(0, 0xFF000000);
    view_light_goal_to_target(0);
    view_fade_light_color0(0, 0xFFFFFFFF, 5);
    view_step_light(0); // t = 1/4
    EXPECT_EQ(view_get_light_color0(0), 0xFF3F3F3Fu);
    view_light_goal_to_direct(0);
    view_set_light_direct_color0(0, 0xFFFF0000, 2);
    for (int i = 0; i < 2; ++i) {
        view_step_light(0);
        EXPECT_EQ(view_get_light_color0(0), 0xFFFF0000u);
    }
    view_step_light(0); // resumes where it stood: t = 2/4
    EXPECT_EQ(view_get_light_color0(0), 0xFF7F7F7Fu);
}

TEST_F(ViewLightTest, RestartedFadeBlendsFromGoalAgain) {
    view_set_light_goal_color0(0, 0xFF000000);
    view_light_goal_to_target(0);
    view_fade_light_color0(0, 0xFFFFFFFF, 5);
    view_step_light(0);
    view_step_light(0);
    EXPECT_EQ(view_get_light_color0(0), 0xFF7F7F7Fu);
    view_fade_light_color0(0, 0xFFFFFFFF, 5);
    view_step_light(0);
    EXPECT_EQ(view_get_light_color0(0), 0xFF3F3F3Fu);
}

TEST(ViewBlend, FractionAndColourBlend) {
    EXPECT_EQ(view_blend_fraction(1, 1), 0.0f);
    EXPECT_FLOAT_EQ(view_blend_fraction(3, 4), 1.0f / 3.0f);
    EXPECT_EQ(view_blend_fraction(4, 4), 0.0f);
    EXPECT_EQ(view_blend_fraction(0, 4), 1.0f);
    EXPECT_EQ(view_blend_fraction(9, 4), 0.0f); // clamped
    EXPECT_EQ(view_blend_color(0x00000000, 0xFFFFFFFF, 2.0f), 0xFFFFFFFFu);
    EXPECT_EQ(view_blend_color(0x80FF0040, 0x00000000, 0.5f), 0x407F0020u);
}

TEST_F(ViewLightTest, FogEndFadesOverFourFrames) {
    view_fade_fog_end(0, 50.0f, 4);
    const float ends[] = {100.0f, 83.333336f, 66.66667f, 50.0f};
    for (float e : ends) {
        view_step_fog(0);
        EXPECT_NEAR(view_get_fog_end(0), e, 1e-3f);
        EXPECT_EQ(view_get_fog_start(0), 0.0f);
    }
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_end(0), 50.0f);
}

TEST_F(ViewLightTest, FogColourFadeAndShortCounts) {
    view_fade_fog_color(0, 0xFF000000, 1);
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_color(0), 0xFF000000u);
    EXPECT_EQ(view_get_fog_color_f(0)->x, 0.0f);

    view_fade_fog_start(0, 20.0f, 0); // stores the destination only
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_start(0), 0.0f);
    view_fade_fog_start(0, 20.0f, -3);
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_start(0), 0.0f);

    // A setter stops a running fade.
    view_fade_fog_end(0, 10.0f, 3);
    view_set_fog_end(0, 70.0f);
    view_step_fog(0);
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_end(0), 70.0f);
}

TEST_F(ViewLightTest, FogStartFadeAlsoReblendsACompletedEndFade) {
    view_fade_fog_end(0, 50.0f, 1);
    view_step_fog(0);
    EXPECT_EQ(view_get_fog_end(0), 50.0f);
    view_fade_fog_start(0, 30.0f, 3);
    view_step_fog(0); // t = 0
    EXPECT_EQ(view_get_fog_end(0), 100.0f);
    view_step_fog(0); // t = 1/2
    EXPECT_FLOAT_EQ(view_get_fog_start(0), 15.0f);
    EXPECT_FLOAT_EQ(view_get_fog_end(0), 75.0f);
}

TEST_F(ViewLightTest, PerFrameStepRunsBothViews) {
    view_fade_fog_end(1, 0.0f, 2);
    view_set_light_goal_color0(1, 0xFF123456);
    view_step_frame(1);
    view_step_frame(1);
    EXPECT_EQ(view_get_fog_end(1), 0.0f);
    EXPECT_EQ(view_get_light_color0(1), 0xFF123456u);
    EXPECT_EQ(view_get_fog_end(0), 100.0f);
}

} // namespace
