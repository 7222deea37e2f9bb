// Poses of the generated sample set against the description worked out in double precision:
// bones per named frame under the right parents, frame stepping, cross-fades, mirroring, root
// modes and the palette.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "instance_test_env.h"
#include "math/mat4.h"
#include "render/gfx_mesh.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"

namespace {

constexpr double PI = 3.14159265358979;

class Pose : public ::testing::Test {
  protected:
    ModelInstance *in = nullptr;
    ResourceHandle by = 0, mime = 0, mbody = 0;

    void SetUp() override {
        inst_test_start();
        by = res_find_hierarchy("mo", "By");
        mime = res_find_motion("mo", "mime");
        mbody = res_find_motion("mo", "mbody");
        ASSERT_NE(by, 0u);
        ASSERT_NE(mime, 0u);
        ASSERT_NE(mbody, 0u);
        in = model_instance_alloc();
        ASSERT_NE(in, nullptr);
    }

    InstanceBone *bone(const char *name) { return model_bone_at(in, model_bone_index(in, name)); }

    // Every bone's pose against the description at frame f of the motion.
    void expect_poses(const SampleMotion *m, double f, const std::string &what) {
        const SampleHierarchy &h = inst_test_hierarchy("mo");
        std::vector<TestMat> want = inst_test_poses(h, m, f);
        for (size_t i = 0; i < h.frames.size(); ++i) {
            InstanceBone *b = model_bone_at(in, static_cast<int32_t>(i));
            ASSERT_NE(b, nullptr) << h.frames[i].name;
            ASSERT_STREQ(b->name, h.frames[i].name.c_str());
            inst_test_expect_near(b->pose, want[i], 1e-5, what + " " + h.frames[i].name);
        }
    }
};

TEST_F(Pose, EveryNamedFrameIsABoneUnderItsParent) {
    const SampleHierarchy &h = inst_test_hierarchy("mo");
    EXPECT_EQ(model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime)),
              1);
    ASSERT_EQ(model_bone_count(in), static_cast<int32_t>(h.frames.size()));
    EXPECT_EQ(model_bones_used(), static_cast<int32_t>(h.frames.size()));
    EXPECT_EQ(model_root_index(in), 0);
    for (size_t i = 0; i < h.frames.size(); ++i) {
        InstanceBone *b = model_bone_at(in, static_cast<int32_t>(i));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(model_bone_index(in, h.frames[i].name.c_str()), static_cast<int32_t>(i));
        const int p = h.frames[i].parent;
        EXPECT_EQ(b->parent, p >= 0 ? model_bone_at(in, p) : nullptr) << h.frames[i].name;
    }
    // The second limb hangs under the root, not under the first limb.
    EXPECT_EQ(bone("leg_R_up")->parent, bone("By"));
    // The untracked frame has no track; the others have theirs.
    EXPECT_EQ(bone("leg_L_end")->track, MODEL_NO_TRACK);
    EXPECT_NE(bone("leg_R_end")->track, MODEL_NO_TRACK);
    EXPECT_EQ(model_bone_index(in, "nothing"), -1);
    EXPECT_EQ(model_bone_name(in, 99), nullptr);
    EXPECT_STREQ(model_bone_name(in, 3), "leg_L_end");
}

TEST_F(Pose, FramesFollowTheKeysAndTheUntrackedFrameKeepsItsRest) {
    const SampleMotion &m = inst_test_motion("mo", "mime");
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime));
    for (int f = 0; f < 10; ++f) {
        model_instance_pose(in, nullptr, f, nullptr, 0, 1);
        // Frames past the end wrap on the loop: 8 frames.
        expect_poses(&m, f % 8, "frame " + std::to_string(f));
        // The hand: the untracked end of the left leg, rest under the posed lower leg.
        const InstanceBone *b = bone("leg_L_end");
        const double a = PI / 16 * (f % 8), c = PI / 32 * (f % 8);
        EXPECT_NEAR(b->pose.m[3][0], 0.5 + std::sin(a) + std::sin(a + c), 1e-5);
        EXPECT_NEAR(b->pose.m[3][1], 2.0 - std::cos(a) - std::cos(a + c), 1e-5);
        EXPECT_NEAR(b->pose.m[3][2], 0.25 * (f % 8), 1e-5);
    }
    // World matrices: pose x world.
    Mat4 world;
    const Vec3 at = {5, 0, 0};
    mat4_translation(&world, &at);
    model_instance_pose(in, &world, 2, nullptr, 0, 1);
    const Mat4 *w = model_bone_world(in, 3, &world, 0);
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->m[3][0], bone("leg_L_end")->pose.m[3][0] + 5.0f, 1e-5);
    EXPECT_EQ(model_bone_world(in, 7, &world, 0), nullptr);
}

TEST_F(Pose, PaletteBonesTakeTheirOffsetBeforeThePose) {
    ResourceHandle model = res_find_model("mo", "By");
    ASSERT_NE(model, 0u);
    const MeshBuffers *mesh = res_get_model(model);
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 3, mesh, 0, 1);
    EXPECT_EQ(in->palette_model, mesh);
    const SampleHierarchy &h = inst_test_hierarchy("mo");
    std::vector<TestMat> want = inst_test_poses(h, &inst_test_motion("mo", "mime"), 3);
    // Offsets move each bone's rest joint to the origin: translation(-joint).
    const struct {
        const char *name;
        double joint[3];
        int frame;
    } bones[] = {{"leg_L_up", {0.5, 2, 0}, 1},
                 {"leg_L_lo", {0.5, 1, 0}, 2},
                 {"leg_R_up", {-0.5, 2, 0}, 4},
                 {"leg_R_lo", {-0.5, 1, 0}, 5}};
    for (const auto &e : bones) {
        InstanceBone *b = bone(e.name);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->palette_index, 255) << e.name;
        TestMat p = test_mat_product(inst_test_translation(-e.joint[0], -e.joint[1], -e.joint[2]),
                                     want[e.frame]);
        inst_test_expect_near(b->palette, p, 1e-5, e.name);
    }
    EXPECT_EQ(bone("By")->palette_index, 255);
    EXPECT_EQ(bone("leg_L_end")->palette_index, 255);
}

TEST_F(Pose, FrameStepping) {
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime));
    // 8 frames at speed 1.0: 7.0 advances to 8.0, past the last frame: one loop, back to 0.
    model_instance_pose(in, nullptr, 7, nullptr, 0, 1);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 0u);
    EXPECT_EQ(in->loop_count, 1u);
    EXPECT_TRUE(model_at_start(in));
    // A loop limit of 1 reached: the frame runs on to 7.0 and stays.
    model_set_loop_limit(in, 1);
    for (int i = 0; i < 12; ++i) model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 7u << 16);
    EXPECT_EQ(in->loop_count, 1u);
    EXPECT_TRUE(model_at_end(in));
    EXPECT_FALSE(model_is_running(in, 0));
    EXPECT_TRUE(model_is_running_to_limit(in));

    // Reverse from 0.5 at speed 1.0 stops at 0.
    model_set_loop(in, 0);
    model_set_reverse(in, 1);
    model_set_frame(in, 0x8000);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 0u);
    model_instance_pose(in, nullptr, 5, nullptr, 0, 0);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 4u << 16);
    model_set_reverse(in, 0);

    // Speed 3.5 is 0x38000; from 0 the frame is 3.5 and the pose lies halfway between keys 3
    // and 4 (the next key, not one a whole speed ahead).
    model_set_speed(in, 3.5f);
    EXPECT_EQ(in->speed, 0x38000u);
    model_set_frame(in, 0);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 0x38000u);
    expect_poses(&inst_test_motion("mo", "mime"), 3.5, "frame 3.5");

    // Without the loop the frame holds at the last one.
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 7u << 16);

    // Huge speeds wrap in one step: 1000.25 frames on 8 is 0.25 (one loop counted).
    model_set_loop(in, 1);
    model_set_loop_limit(in, MODEL_ENDLESS);
    in->loop_count = 0;
    model_set_speed(in, 1000.25f);
    model_set_frame(in, 0);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_EQ(in->current_frame, 0x4000u);
    EXPECT_EQ(in->loop_count, 1u);
    model_set_speed(in, 1e9f);
    EXPECT_EQ(in->speed, 65535u << 16);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    EXPECT_LT(in->current_frame, 8u << 16);
    model_set_speed(in, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(in->speed, 0u);
    model_set_speed(in, -2.0f);
    EXPECT_EQ(in->speed, 0u);
}

TEST_F(Pose, CrossFadeMidpointIsTheSlerp) {
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 2, nullptr, 0, 1);
    model_set_blend_length(in, 2);
    // Same hierarchy, a motion before: the fade runs; no snap.
    EXPECT_EQ(model_set_hierarchy_motion(in, -1, static_cast<int32_t>(mbody)), 0);
    EXPECT_EQ(in->blend_left, 2);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 0); // t = 0: still the old pose
    expect_poses(&inst_test_motion("mo", "mime"), 2, "fade start");
    EXPECT_TRUE(in->state & MODEL_BLENDED);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 0); // t = 1/2: w = 1/2
    // leg_L_up: rotation about z by 2 x pi/16 (mime 2) against none (mbody 0): pi/16 halfway;
    // translations (0.5, 2, 0.5) and (0.5, 2, 0) meet halfway.
    TestMat want = inst_test_rotation(SAMPLE_AXIS_Z, PI / 16);
    want[12] = 0.5;
    want[13] = 2.0;
    want[14] = 0.25;
    inst_test_expect_near(bone("leg_L_up")->pose, want, 1e-5, "fade midpoint");
    model_instance_pose(in, nullptr, 0, nullptr, 0, 0); // over
    EXPECT_FALSE(in->state & MODEL_BLENDED);
    expect_poses(&inst_test_motion("mo", "mbody"), 0, "fade end");
}

TEST_F(Pose, MirroredBonesPlayTheOtherSideNegated) {
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mbody));
    model_set_mirrored(in, 1);
    model_instance_pose(in, nullptr, 1, nullptr, 0, 1);
    // The root (no parent) negates its rotation's x and y: a turn of -pi/6 about y.
    TestMat root = test_mat_product(inst_test_rotation(SAMPLE_AXIS_Y, -PI / 6),
                                    inst_test_translation(0, 2, 0));
    inst_test_expect_near(bone("By")->pose, root, 1e-5, "root");
    // leg_L_up plays leg_R_up's key (-pi/18 about x) with its rotation's x negated: +pi/18.
    TestMat up = test_mat_product(test_mat_product(inst_test_rotation(SAMPLE_AXIS_X, PI / 18),
                                                   inst_test_translation(0.5, 0, 0)),
                                  root);
    inst_test_expect_near(bone("leg_L_up")->pose, up, 1e-5, "left leg");
    // mime's root moves along z: mirrored, it moves back.
    model_set_hierarchy_motion(in, -1, static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 4, nullptr, 0, 1);
    EXPECT_NEAR(bone("By")->pose.m[3][2], -1.0f, 1e-5);
}

TEST_F(Pose, RootModesAndRootMotion) {
    model_set_hierarchy_motion(in, static_cast<int32_t>(by), static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 4, nullptr, 0, 1);
    EXPECT_NEAR(bone("By")->pose.m[3][2], 1.0f, 1e-6);
    for (int mode : {1, 2}) {
        model_set_root_mode(in, mode);
        model_instance_pose(in, nullptr, 4, nullptr, 0, 1);
        EXPECT_NEAR(bone("By")->pose.m[3][2], 0.0f, 1e-6) << mode;
        EXPECT_NEAR(bone("By")->pose.m[3][1], 2.0f, 1e-6) << mode;
    }
    model_set_hierarchy_motion(in, -1, static_cast<int32_t>(mbody));
    model_set_root_mode(in, 3);
    model_instance_pose(in, nullptr, 1, nullptr, 0, 1);
    inst_test_expect_near(bone("By")->pose, inst_test_translation(0, 2, 0), 1e-6, "mode 3");
    model_set_root_mode(in, 0);

    // Root motion: the root sample then the root frame's matrix; the delta between updates.
    model_set_hierarchy_motion(in, -1, static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    model_instance_pose(in, nullptr, -1, nullptr, 0, 0);
    Vec3 d;
    model_root_delta(in, &d);
    EXPECT_NEAR(d.z, 0.25f, 1e-6);
    EXPECT_NEAR(d.x, 0.0f, 1e-6);
    Mat4 r;
    model_root_matrix(in, &r);
    EXPECT_NEAR(r.m[3][1], 2.0f, 1e-6);
    EXPECT_NEAR(r.m[3][2], 0.5f, 1e-6);
    ASSERT_NE(model_root_item(in), nullptr);
    EXPECT_FLOAT_EQ(model_root_item(in)->m[3][1], 2.0f);
}

} // namespace
