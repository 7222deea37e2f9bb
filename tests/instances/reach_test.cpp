// Target modes: the three-bone and iterative reach solvers on chains laid along x, look, local
// and world matrices, and a world matrix that cannot be inverted.
#include <gtest/gtest.h>

#include <cmath>

#include "instance_test_env.h"
#include "math/mat4.h"
#include "scene/model_instance.h"

namespace {

// A root and a chain of links along +x: link i sits `lengths[i]` after the one above.
SampleHierarchy arm(const std::vector<float> &lengths) {
    SampleHierarchy h;
    std::string name = "arm";
    for (float l : lengths) name += "_" + std::to_string(l); // one record per shape
    h.frames.push_back({name, -1, pack_translation(0, 0, 0)});
    for (size_t i = 0; i < lengths.size(); ++i)
        h.frames.push_back({"j" + std::to_string(i), static_cast<int>(i),
                            pack_translation(i == 0 ? 0.0f : lengths[i], 0, 0)});
    return h;
}

class Reach : public ::testing::Test {
  protected:
    ModelInstance *in = nullptr;

    void SetUp() override {
        inst_test_start();
        in = model_instance_alloc();
        ASSERT_NE(in, nullptr);
    }

    void bind(const SampleHierarchy &h) {
        ResourceHandle hh = inst_test_make_hierarchy(h);
        ASSERT_NE(hh, 0u);
        ASSERT_EQ(model_set_hierarchy_motion(in, static_cast<int32_t>(hh), 0), 1);
        model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    }

    Vec3 at(int32_t bone) {
        const Mat4 &p = model_bone_at(in, bone)->pose;
        return Vec3{p.m[3][0], p.m[3][1], p.m[3][2]};
    }

    double dist(const Vec3 &a, const Vec3 &b) {
        return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) +
                         double(a.z - b.z) * (a.z - b.z));
    }

    bool finite() {
        for (int32_t i = 0; i < model_bone_count(in); ++i)
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    if (!std::isfinite(model_bone_at(in, i)->pose.m[r][c])) return false;
        return true;
    }
};

TEST_F(Reach, ThreeBonesReachOrStretchTowardsThePoint) {
    bind(arm({0, 1, 1})); // j0 at the origin, j1 at x = 1, j2 at x = 2
    const Vec3 target = {1, 1, 0.5f};
    ASSERT_TRUE(model_set_target_reach(in, 3, &target, 1.0f, 3));
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_LT(dist(at(3), target), 1e-3);
    EXPECT_NEAR(dist(at(2), at(1)), 1.0, 1e-4); // bone lengths kept
    EXPECT_NEAR(dist(at(3), at(2)), 1.0, 1e-4);
    // Targets last one pose.
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_NEAR(at(3).x, 2.0f, 1e-6);

    // Out of reach: the end stops at 0.999 of the reach along the direction.
    const Vec3 far = {3, 4, 0};
    model_set_target_reach(in, 3, &far, 1.0f, 3);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    const Vec3 end = at(3);
    EXPECT_NEAR(end.x, 0.999 * 2 * 0.6, 1e-3);
    EXPECT_NEAR(end.y, 0.999 * 2 * 0.8, 1e-3);
    EXPECT_NEAR(end.z, 0.0, 1e-3);

    // Half the weight aims halfway from the end to the point: (2, 0, 0) to (1, 1, 0.5).
    model_set_target_reach(in, 3, &target, 0.5f, 3);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_LT(dist(at(3), Vec3{1.5f, 0.5f, 0.25f}), 1e-3);
}

TEST_F(Reach, ThreeBonesOfUnequalLengthsReachEveryReachableTarget) {
    // Links of lengths Lu and Ll reach any point at a distance d from the top with
    // |Lu - Ll| <= d <= Lu + Ll; both links keep their lengths.
    const float links[2][2] = {{2, 1}, {1, 2}};
    const Vec3 targets[4] = {
        {1, 1.5f, 0.5f}, {-0.5f, 1.2f, -1}, {0.3f, -2.2f, 0.4f}, {1.2f, 0, 0.3f}};
    for (const auto &l : links) {
        model_instance_clear(in);
        bind(arm({0, l[0], l[1]}));
        for (const Vec3 &t : targets) {
            SCOPED_TRACE(testing::Message() << "upper " << l[0] << ", lower " << l[1] << ", target "
                                            << t.x << ", " << t.y << ", " << t.z);
            const double d = dist(t, Vec3{0, 0, 0});
            ASSERT_GT(d, std::fabs(l[0] - l[1]) + 0.05);
            ASSERT_LT(d, l[0] + l[1] - 0.05);
            ASSERT_TRUE(model_set_target_reach(in, 3, &t, 1.0f, 3));
            model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
            EXPECT_LT(dist(at(3), t), 1e-3);
            EXPECT_NEAR(dist(at(2), at(1)), l[0], 1e-4);
            EXPECT_NEAR(dist(at(3), at(2)), l[1], 1e-4);
        }
    }
}

TEST_F(Reach, DegenerateChainsStayFinite) {
    // Nearer than |upper - lower|: the knee folds fully instead of taking acos out of range.
    bind(arm({0, 1, 0.5f}));
    const Vec3 near = {0.2f, 0.1f, 0};
    model_set_target_reach(in, 3, &near, 1.0f, 3);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_TRUE(finite());
    EXPECT_NEAR(dist(at(3), at(2)), 0.5, 1e-4);

    // A zero-length upper bone is not solved.
    model_instance_clear(in);
    bind(arm({0, 0, 1}));
    model_set_target_reach(in, 3, &near, 1.0f, 3);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_TRUE(finite());
    EXPECT_NEAR(at(3).x, 1.0f, 1e-6);

    // A world matrix of scale 0 has no inverse: reach, look and world targets wait.
    Mat4 flat;
    mat4_identity(&flat);
    flat.m[0][0] = flat.m[1][1] = flat.m[2][2] = 0.0f;
    model_set_target_reach(in, 3, &near, 1.0f, 3);
    model_set_target_look(in, 2, &near, nullptr, 1.0f);
    model_set_target_world(in, 1, &flat, 1.0f, 0);
    model_instance_pose(in, &flat, 0, nullptr, 0, 1);
    EXPECT_TRUE(finite());
    EXPECT_NEAR(at(3).x, 1.0f, 1e-6);
    EXPECT_FALSE(model_set_target_reach(in, 9, &near, 1.0f, 3));
    EXPECT_FALSE(model_set_target_reach(in, -1, &near, 1.0f, 3));
}

TEST_F(Reach, IterativeSolverOnFourBones) {
    bind(arm({0, 1, 1, 1}));
    const Vec3 target = {1.5f, 1.5f, 0.5f};
    ASSERT_TRUE(model_set_target_reach(in, 4, &target, 1.0f, 4));
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_LT(dist(at(4), target), 0.02);
    for (int32_t i = 2; i <= 4; ++i) EXPECT_NEAR(dist(at(i), at(i - 1)), 1.0, 1e-4) << i;
    EXPECT_TRUE(finite());
}

TEST_F(Reach, LookLocalAndWorldTargets) {
    bind(arm({0, 1, 1}));
    // Look: the bone's z axis faces the point; a point at the bone itself changes nothing.
    const Vec3 point = {1, 3, 4};
    model_set_target_look(in, 2, &point, nullptr, 1.0f);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    const Mat4 &p = model_bone_at(in, 2)->pose;
    EXPECT_NEAR(p.m[2][0], 0.0f, 1e-5);
    EXPECT_NEAR(p.m[2][1], 0.6f, 1e-5);
    EXPECT_NEAR(p.m[2][2], 0.8f, 1e-5);
    const Vec3 self = {1, 0, 0};
    model_set_target_look(in, 2, &self, nullptr, 1.0f);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_TRUE(finite());
    EXPECT_FLOAT_EQ(model_bone_at(in, 2)->pose.m[0][0], 1.0f);

    // Local: a quarter turn about z applied before j1's pose; j2 follows to (1, 1, 0).
    Mat4 turn;
    const EulerAngles quarter = {0, 0, 1.5707963f};
    mat4_identity(&turn);
    mat4_rotation_euler(&turn, &quarter);
    model_set_target_local(in, 2, &turn, 1.0f, 0);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    EXPECT_NEAR(at(3).x, 1.0f, 1e-5);
    EXPECT_NEAR(at(3).y, 1.0f, 1e-5);

    // World: j1 placed at (5, 5, 5) in the world of a node at (1, 0, 0); j2 keeps its pose.
    Mat4 world, place;
    const Vec3 node = {1, 0, 0}, there = {5, 5, 5};
    mat4_translation(&world, &node);
    mat4_translation(&place, &there);
    model_set_target_world(in, 2, &place, 1.0f, 0);
    model_instance_pose(in, &world, 0, nullptr, 0, 1);
    EXPECT_NEAR(at(2).x, 4.0f, 1e-5);
    EXPECT_NEAR(at(2).y, 5.0f, 1e-5);
    EXPECT_NEAR(at(3).x, 2.0f, 1e-5);
    EXPECT_NEAR(model_bone_world(in, 2, &world, 0)->m[3][0], 5.0f, 1e-5);
    // Weight 0 or no matrix: no target.
    EXPECT_TRUE(model_set_target_world(in, 2, &place, 0.0f, 0));
    EXPECT_EQ(in->state & (0x1Fu << MODEL_REQUEST_SHIFT), 0u);
}

} // namespace
