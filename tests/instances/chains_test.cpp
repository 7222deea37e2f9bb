// Swinging chains on the sample set's tail and on the "floor" collision mesh's step, the aim's
// degenerate cases, the pool of 64, and the model block's life: released hierarchies and the
// pools' reset.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "collision/collider.h"
#include "instance_test_env.h"
#include "math/mat4.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/swing_chain.h"

namespace {

class Chains : public ::testing::Test {
  protected:
    ResourceHandle b1 = 0;

    void SetUp() override {
        inst_test_start();
        b1 = res_find_hierarchy("T", "B1");
        ASSERT_NE(b1, 0u);
    }

    // An instance of "B1" at rest, posed once at `at`, with chains below "B1".
    ModelInstance *tail_at(const Vec3 &at, Mat4 *world) {
        ModelInstance *in = model_instance_alloc();
        EXPECT_NE(in, nullptr);
        mat4_translation(world, &at);
        model_set_hierarchy_motion(in, static_cast<int32_t>(b1), 0);
        EXPECT_FALSE(model_enable_chains(in, "B1", 1)); // never posed: no rest lengths yet
        EXPECT_EQ(model_chains_used(), 0);
        model_instance_pose(in, world, 0, nullptr, 0, 1);
        EXPECT_TRUE(model_enable_chains(in, "B1", 1));
        return in;
    }

    static Vec3 point(ModelInstance *in, const char *name) {
        return model_bone_at(in, model_bone_index(in, name))->chain->position;
    }
};

bool finite_rows(const Mat4 &m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(m.m[r][c])) return false;
    return true;
}

TEST_F(Chains, TheTailHangsStraightDownAtItsRestSpacing) {
    Mat4 world;
    ModelInstance *in = tail_at(Vec3{0, 3, 0}, &world);
    EXPECT_EQ(model_chains_used(), 4); // the head and three links
    const char *links[] = {"tail_1", "tail_2", "tail_3"};
    EXPECT_FLOAT_EQ(model_bone_at(in, 2)->chain->rest_length, 0.5f);
    for (int i = 0; i < 300; ++i) model_instance_pose(in, &world, 0, nullptr, 0, 0);
    // The body's joint at (0, 4, 0); each link 0.5 below the one above.
    Vec3 above = {0, 4, 0};
    for (const char *l : links) {
        Vec3 p = point(in, l);
        EXPECT_NEAR(p.x, 0.0f, 1e-3) << l;
        EXPECT_NEAR(p.z, 0.0f, 2e-2) << l;
        EXPECT_NEAR(above.y - p.y, 0.5f, 2e-2) << l;
        // The bone follows its point; its parent's x axis aims at it.
        const InstanceBone *b = model_bone_at(in, model_bone_index(in, l));
        EXPECT_NEAR(b->world.m[3][1], p.y, 1e-5) << l;
        EXPECT_NEAR(b->pose.m[3][1], p.y - 3.0f, 1e-5) << l;
        above = p;
    }
    EXPECT_LT(model_bone_at(in, 3)->parent->world.m[0][1], -0.99f); // tail_1 aims down
    EXPECT_TRUE(model_enable_chains(in, "B1", 0));
    EXPECT_EQ(model_chains_used(), 0);
    EXPECT_EQ(model_bone_at(in, 2)->chain, nullptr);
}

TEST_F(Chains, LinksStayAboveTheGroundAndBounceOnTheStep) {
    // The "floor" mesh: ground at y = 0, a step at y = 1 over x 4..6, z 0..4.
    ResourceHandle floor = res_find_collmesh("mdl", "floor");
    ASSERT_NE(floor, 0u);
    const uint16_t group = coll_next_id();
    ASSERT_NE(coll_create_model_collider(floor, nullptr, COLL_FILTER_ANY, group, 0, nullptr),
              nullptr);
    // Two identical tails over the step; the second skips the mesh's group, so its points
    // fall through to the empty ground (height 0) and show the step's fall untouched.
    Mat4 world;
    ModelInstance *hit = tail_at(Vec3{5, 1, 2.5f}, &world);
    ModelInstance *through = model_instance_alloc();
    model_set_hierarchy_motion(through, static_cast<int32_t>(b1), 0);
    model_instance_pose(through, &world, 0, nullptr, group, 1);
    ASSERT_TRUE(model_enable_chains(through, "B1", 1));
    bool contact = false;
    for (int i = 0; i < 200; ++i) {
        model_instance_pose(hit, &world, 0, nullptr, 0, 0);
        model_instance_pose(through, &world, 0, nullptr, group, 0);
        for (InstanceBone *a = hit->bones, *b = through->bones; a && b; a = a->next, b = b->next) {
            if (!a->chain) continue;
            const float step_floor = 1.0f + 0.2f * a->chain->rest_length;
            ASSERT_GE(a->chain->position.y, step_floor - 1e-5f) << a->name << " update " << i;
            ASSERT_GE(b->chain->position.y, 0.2f * b->chain->rest_length - 1e-5f);
            ASSERT_TRUE(finite_rows(a->world) && finite_rows(a->pose)) << a->name;
            if (!contact && b->chain->position.y < step_floor) {
                // First contact: put back on the floor, the fall turned up at a quarter.
                contact = true;
                EXPECT_EQ(a->chain->position.y, step_floor) << a->name;
                EXPECT_LT(b->chain->velocity.y, 0.0f);
                EXPECT_FLOAT_EQ(a->chain->velocity.y, -0.25f * b->chain->velocity.y);
            }
        }
        if (contact) break;
    }
    EXPECT_TRUE(contact);
}

TEST_F(Chains, AimKeepsFiniteRowsAlongZAndAtZeroLength) {
    Mat4 source;
    const EulerAngles turn = {0.3f, 0.2f, 0.1f};
    const Vec3 place = {7, 8, 9};
    mat4_from_position_euler(&source, &place, &turn);
    const Vec3 origin = {1, 2, 3};
    for (Vec3 target : {Vec3{1, 2, 5}, Vec3{1, 2, -1}, Vec3{4, 2, 3}, Vec3{2, 3, 4}}) {
        Mat4 out;
        swing_chain_aim(&out, &source, &origin, &target, 1);
        ASSERT_TRUE(finite_rows(out));
        const Vec3 d = {target.x - origin.x, target.y - origin.y, target.z - origin.z};
        const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        EXPECT_NEAR(out.m[0][0], d.x / len, 1e-5);
        EXPECT_NEAR(out.m[0][1], d.y / len, 1e-5);
        EXPECT_NEAR(out.m[0][2], d.z / len, 1e-5);
        for (int r = 0; r < 3; ++r)
            for (int s = 0; s < 3; ++s) {
                double dot = 0;
                for (int c = 0; c < 3; ++c) dot += double(out.m[r][c]) * out.m[s][c];
                EXPECT_NEAR(dot, r == s ? 1.0 : 0.0, 1e-5) << r << s;
            }
        EXPECT_EQ(out.m[3][0], target.x);
        EXPECT_EQ(out.m[3][2], target.z);
    }
    // Target at the origin: the source's rotation, the source's place without move.
    Mat4 out;
    swing_chain_aim(&out, &source, &origin, &origin, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out.m[r][c], source.m[r][c]);
    EXPECT_EQ(out.m[3][1], source.m[3][1]);
}

TEST_F(Chains, SixtyFiveDescendantsGetSixtyFourChains) {
    SampleHierarchy h;
    h.frames.push_back({"fan", -1, pack_translation(0, 5, 0)});
    for (int i = 0; i < 65; ++i)
        h.frames.push_back({"rib" + std::to_string(i), 0, pack_translation(0.1f * i, 0, 1)});
    ResourceHandle hh = inst_test_make_hierarchy(h);
    ASSERT_NE(hh, 0u);
    ModelInstance *in = model_instance_alloc();
    model_set_hierarchy_motion(in, static_cast<int32_t>(hh), 0);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    ASSERT_TRUE(model_enable_chains(in, nullptr, 1));
    EXPECT_EQ(model_chains_used(), MODEL_CHAIN_CAPACITY);
    InstanceBone *last = model_bone_at(in, 65);
    EXPECT_EQ(last->chain, nullptr);
    for (int i = 0; i < 5; ++i) model_instance_pose(in, nullptr, 0, nullptr, 0, 0);
    // The bone without a chain keeps its animated pose.
    EXPECT_FLOAT_EQ(last->pose.m[3][0], 6.4f);
    EXPECT_FLOAT_EQ(last->pose.m[3][1], 5.0f);
    EXPECT_FLOAT_EQ(last->pose.m[3][2], 1.0f);
    model_instance_free(in);
    EXPECT_EQ(model_chains_used(), 0);
    EXPECT_EQ(model_bones_used(), 0);
}

TEST_F(Chains, ReleasedHierarchyDropsTheBones) {
    ResourceMark mark;
    res_mark(&mark);
    SampleHierarchy h = inst_test_hierarchy("T");
    h.frames[0].name = "B2";
    ResourceHandle hh = inst_test_make_hierarchy(h);
    ASSERT_NE(hh, 0u);
    ModelInstance *in = model_instance_alloc();
    model_set_hierarchy_motion(in, static_cast<int32_t>(hh), 0);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 1);
    ASSERT_TRUE(model_enable_chains(in, "B2", 1));
    ASSERT_EQ(model_bone_count(in), 5);
    res_release_to_mark(&mark);
    // Another hierarchy takes the same handle and the same bytes.
    SampleHierarchy other = inst_test_hierarchy("mo");
    ASSERT_EQ(inst_test_make_hierarchy(other), hh);
    model_instance_pose(in, nullptr, 0, nullptr, 0, 0);
    EXPECT_EQ(model_bone_count(in), 0);
    EXPECT_EQ(model_bones_used(), 0);
    EXPECT_EQ(model_chains_used(), 0);
    EXPECT_EQ(model_bone_index(in, "leg_L_up"), -1);
    // Binding it again gives the new hierarchy's bones.
    EXPECT_EQ(model_set_hierarchy_motion(in, static_cast<int32_t>(hh), 0), 1);
    EXPECT_EQ(model_bone_count(in), static_cast<int32_t>(other.frames.size()));
}

TEST_F(Chains, TermPoolsEmptiesTheActiveLists) {
    ModelInstance *a = model_instance_alloc();
    model_set_hierarchy_motion(a, static_cast<int32_t>(b1), 0);
    ASSERT_GT(model_bones_used(), 0);
    model_term_pools();
    EXPECT_EQ(model_instances_used(), 0);
    EXPECT_EQ(model_bones_used(), 0);
    EXPECT_EQ(model_chains_used(), 0);
    std::set<ModelInstance *> seen;
    for (int i = 0; i < MODEL_INSTANCE_CAPACITY; ++i) {
        ModelInstance *in = model_instance_alloc();
        ASSERT_NE(in, nullptr);
        EXPECT_TRUE(seen.insert(in).second); // no record handed out twice
    }
    EXPECT_EQ(model_instance_alloc(), nullptr);
    EXPECT_EQ(model_instances_used(), MODEL_INSTANCE_CAPACITY);
}

} // namespace
