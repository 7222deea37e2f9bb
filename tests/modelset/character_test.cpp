// Characters: the row's model, hierarchy, first motion and attachments on an animated node,
// and a motion switched by name that the next pose follows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/game_3d.h"
#include "math/mat4.h"
#include "modelset_test_env.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/attachment.h"
#include "scene/model_node.h"

namespace {

class Characters : public ::testing::Test {
  protected:
    OwnerId owner = 0;
    void SetUp() override {
        ASSERT_TRUE(modelset_test_begin());
        ASSERT_TRUE(modelset_test_load({"mo", "T"}));
        owner = owner_alloc();
    }
    void TearDown() override {
        obj_release_owner(owner);
        modelset_test_end();
    }
};

// The bone's matrix relative to its parent bone: the posed local matrix.
Mat4 local_of(SceneObject *node, const char *bone, const char *parent) {
    const Mat4 *w = animnode_bone_world_by_name(node, bone, true);
    const Mat4 *p = animnode_bone_world_by_name(node, parent, true);
    Mat4 inv, out{};
    if (!w || !p || !mat4_inverse_checked(&inv, p)) {
        ADD_FAILURE() << bone;
        return out;
    }
    mat4_multiply(&out, &inv, w); // w applied first, then the parent's inverse
    return out;
}

} // namespace

TEST_F(Characters, RowsMakeAnimatedNodesWithTheirMotionAndAttachments) {
    const Vec3 at = {1, 0, -2};
    SceneObject *mo = game_create_character(owner, &at, "mo", NODE_DEFAULT_LAYER);
    ASSERT_NE(mo, nullptr);
    ASSERT_TRUE(animnode_is_anim_node(mo));
    EXPECT_EQ(animnode_get_model(mo), res_find_model("mo", "By"));
    EXPECT_EQ(animnode_hierarchy_handle(mo), res_find_hierarchy("mo", "By"));
    EXPECT_EQ(animnode_motion_handle(mo), res_find_motion("mo", "mime")); // A before B
    EXPECT_EQ(animnode_bone_count(mo),
              (int32_t)modelset_test_file("mo").hierarchies[0].frames.size());
    EXPECT_EQ(animnode_world_matrix(mo)->m[3][2], -2.0f);
    EXPECT_EQ(attach_at(mo, 0), nullptr);

    SceneObject *t = game_create_character(owner, &at, "T", NODE_DEFAULT_LAYER);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(animnode_motion_handle(t), res_find_motion("T", "Tme"));
    const Attachment *a = attach_at(t, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->model, res_find_model("T", "T"));
    EXPECT_STREQ(a->bone_name, "B1");

    EXPECT_EQ(game_create_character(owner, &at, "none", NODE_DEFAULT_LAYER), nullptr);
}

TEST_F(Characters, ASwitchedMotionDrivesTheNextPose) {
    SceneObject *mo = game_create_character(owner, nullptr, "mo", NODE_DEFAULT_LAYER);
    ASSERT_NE(mo, nullptr);
    EXPECT_FALSE(game_set_motion_by_name(mo, "Tdy")); // another group's motion
    EXPECT_FALSE(game_set_motion(mo, res_find_motion("T", "Tdy")));
    EXPECT_EQ(animnode_motion_handle(mo), res_find_motion("mo", "mime"));

    // "mime" turns the left upper leg about z by pi/16 per frame, "mbody" about x by pi/18:
    // a key is applied before the rest matrix, so the bone's y axis relative to its parent
    // is the key's.
    animnode_set_blend_length(mo, 0); // no cross-fade: the next pose is the new motion's alone
    ASSERT_TRUE(game_set_motion_by_name(mo, "mbody"));
    EXPECT_EQ(animnode_motion_handle(mo), res_find_motion("mo", "mbody"));
    animnode_update(mo, 2);
    const double a = 2 * M_PI / 18;
    Mat4 l = local_of(mo, "leg_L_up", "By");
    EXPECT_NEAR(l.m[1][0], 0.0, 1e-5);
    EXPECT_NEAR(l.m[1][1], std::cos(a), 1e-5);
    EXPECT_NEAR(std::fabs(l.m[1][2]), std::sin(a), 1e-5);

    ASSERT_TRUE(game_set_motion(mo, res_find_motion("mo", "mime")));
    animnode_update(mo, 2);
    const double b = 2 * M_PI / 16;
    l = local_of(mo, "leg_L_up", "By");
    EXPECT_NEAR(std::fabs(l.m[1][0]), std::sin(b), 1e-5);
    EXPECT_NEAR(l.m[1][1], std::cos(b), 1e-5);
    EXPECT_NEAR(l.m[1][2], 0.0, 1e-5);
}
