// The stage set: view 0's fog, light and projection from the row, the model set built once the
// texture set has loaded, the marker lookups, and everything given back when the set ends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/game_3d.h"
#include "modelset_test_env.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/model_set.h"

namespace {

class StageSet : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(modelset_test_begin()); }
    void TearDown() override {
        game_stage_end();
        modelset_test_end();
    }
};

struct Counts {
    ResourceMark mark;
    int32_t objects, owners;
    bool operator==(const Counts &o) const {
        return objects == o.objects && owners == o.owners &&
               std::memcmp(mark.counts, o.mark.counts, sizeof mark.counts) == 0;
    }
};

Counts counts(void) {
    Counts c;
    res_mark(&c.mark);
    c.objects = obj_get_live_count();
    c.owners = owner_count();
    return c;
}

// World matrix of a frame of the stage hierarchy, from the description.
Mat4 frame_world(const char *name) {
    const SampleHierarchy &h = modelset_test_file("s1").hierarchies[0];
    for (size_t i = 0; i < h.frames.size(); ++i)
        if (h.frames[i].name == name) return modelset_test_world(h, (int)i);
    ADD_FAILURE() << name;
    return Mat4{};
}

void expect_position(const Vec3 &got, const Mat4 &want, const char *what) {
    EXPECT_NEAR(got.x, want.m[3][0], 1e-5) << what;
    EXPECT_NEAR(got.y, want.m[3][1], 1e-5) << what;
    EXPECT_NEAR(got.z, want.m[3][2], 1e-5) << what;
}

bool run_to_finish(void) {
    for (int guard = 0; guard < 1000; ++guard)
        if (game_stage_step()) return true;
    return false;
}

} // namespace

TEST_F(StageSet, StartStepAndEndGiveEverythingBack) {
    const Counts before = counts();
    ASSERT_TRUE(game_stage_start(0, 0));
    EXPECT_EQ(game_stage_index(), 0);
    EXPECT_STREQ(game_stage_row_name(), "stage");
    EXPECT_STREQ(game_stage_state()->node_name, "stage_dummy");

    EXPECT_FALSE(game_stage_step());
    EXPECT_EQ(view_get_fog_mode(0), 1u);
    EXPECT_EQ(view_get_fog_start(0), 500.0f);
    EXPECT_EQ(view_get_fog_end(0), 1000.0f);
    EXPECT_EQ(view_get_fog_color(0), 0xFFFFFFFFu);
    const ViewLightSet &goal = view_get_light(0)->goal;
    const double r = std::sqrt(2.0);
    EXPECT_NEAR(goal.direction.x, -1 / r, 1e-6);
    EXPECT_NEAR(goal.direction.y, -1 / r, 1e-6);
    EXPECT_NEAR(goal.direction.z, 0.0, 1e-6);
    EXPECT_EQ(goal.color[0], 0x00141414u);
    EXPECT_EQ(goal.color[1], 0x00141414u);
    EXPECT_EQ(goal.color[2], 0xFFFFFFFFu);
    EXPECT_EQ(goal.color[3], 0xFFFFFFFFu);
    EXPECT_NEAR(view_get_fov(0), M_PI / 3, 1e-6);
    EXPECT_NEAR(view_get_near(0), 0.1, 1e-7);
    EXPECT_EQ(view_get_far(0), 500.0f);
    EXPECT_EQ(view_get_far_limit(0), 500.0f);

    ASSERT_TRUE(run_to_finish());
    // The set stands under its own owner, its wall found.
    SceneObject *part = modelset_part_by_suffix("_s");
    ASSERT_NE(part, nullptr);
    EXPECT_NE(modelset_owner(), 0u);
    EXPECT_EQ(part->owner, modelset_owner());
    EXPECT_NE(modelset_get()->wall_mesh, 0u);

    // The origin marker and the lamp's markers, where the description puts them.
    Vec3 p;
    EulerAngles a;
    ASSERT_TRUE(game_stage_origin(&p, &a));
    const Mat4 dummy = frame_world("stage_dummy");
    expect_position(p, dummy, "origin");
    EXPECT_NEAR(a.y, std::atan2(dummy.m[2][0], dummy.m[2][2]), 1e-6);
    float w = 0;
    ASSERT_TRUE(game_node_swing_pos("lamp_01", &p, &w));
    expect_position(p, frame_world("lamp_swnod"), "swing");
    EXPECT_EQ(w, 1.0f);
    ASSERT_TRUE(game_node_target_pos("lamp_01", &p));
    expect_position(p, frame_world("lamp_tnd"), "target");
    const Mat4 lnd = frame_world("lamp_lnd");
    Mat4 m;
    ASSERT_TRUE(game_node_lamp("lamp_01", 0, &m));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], lnd.m[i / 4][i % 4], 1e-5);
    ASSERT_TRUE(game_node_lamp("lamp_01", 1, &m));
    const double hx = lnd.m[3][0], hz = lnd.m[3][2], h = std::hypot(hx, hz);
    EXPECT_NEAR(m.m[2][0], hx / h, 1e-5);
    EXPECT_NEAR(m.m[2][1], 0.0, 1e-5);
    EXPECT_NEAR(m.m[2][2], hz / h, 1e-5);
    EXPECT_NEAR(m.m[1][1], 1.0, 1e-5);
    expect_position(Vec3{m.m[3][0], m.m[3][1], m.m[3][2]}, lnd, "lamp");
    EXPECT_FALSE(game_node_target_pos("post_1", &p)); // no "post_tnd"
    EXPECT_EQ(game_node_pad_motion("lamp_01"), res_find_motion("s1", "lamp_pad"));
    EXPECT_NE(game_node_pad_motion("lamp_01"), 0u);

    game_stage_end();
    EXPECT_TRUE(counts() == before);
    EXPECT_EQ(game_stage_index(), -1);
    // A second end, and a release to a spent mark, change nothing.
    const int32_t textures = res_texture_count();
    ASSERT_GT(textures, 0); // the built-in textures
    game_stage_end();
    ResourceMark spent = {};
    res_release_to_mark(&spent);
    EXPECT_EQ(res_texture_count(), textures);
    EXPECT_TRUE(counts() == before);
}

TEST_F(StageSet, BadIndexesAreRefusedAndARestartEndsTheRunningSet) {
    const Counts before = counts();
    EXPECT_FALSE(game_stage_start(1, 0));
    EXPECT_FALSE(game_stage_start(-1, 0));
    EXPECT_EQ(game_stage_index(), -1);
    EXPECT_TRUE(game_stage_step()); // nothing to do
    EXPECT_TRUE(counts() == before);

    ASSERT_TRUE(game_stage_start(0, 0));
    ASSERT_TRUE(run_to_finish());
    ASSERT_TRUE(game_stage_start(0, 0)); // the first set's owners and resources go back first
    EXPECT_EQ(owner_count(), before.owners + 2);
    EXPECT_EQ(obj_get_live_count(), before.objects);
    EXPECT_EQ(res_hierarchy_count(), before.mark.counts[RES_COUNT_HIERARCHIES]);
    game_stage_end();
    EXPECT_TRUE(counts() == before);
}

TEST_F(StageSet, TextureFiltersWrapTheNamedTextures) {
    ASSERT_TRUE(modelset_test_load({"mdl"}));
    const ResourceHandle tile = res_find_texture("mdl", "tile");
    const ResourceHandle nbox = res_find_texture("mdl", "nbox");
    ASSERT_NE(tile, 0u);
    const uint8_t nbox_flags = res_get_texture(nbox)->flags;
    const char *names[] = {"tile", nullptr, "none"};
    game_set_texture_filters("mdl", names, 3);
    // Address codes: bits 1-3 U, bits 4-6 V; code 1 each.
    EXPECT_EQ(res_get_texture(tile)->flags & 0x7E, (1 << 1) | (1 << 4));
    EXPECT_EQ(res_get_texture(nbox)->flags, nbox_flags);
}
