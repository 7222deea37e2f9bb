// Point lights: the pool's free list under misuse and under callbacks that free lights during
// the walk, one-frame lights, culling and nearest-first picking.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "nodes_test_env.h"
#include "render/view.h"
#include "scene/object_manager.h"
#include "scene/point_light.h"

namespace {

class PointLights : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin();
    }
};

int32_t free_length(void) {
    int32_t n = 0;
    std::set<const PointLight *> seen;
    for (const PointLight *l = plight_pool()->free_head; l && n <= PLIGHT_POOL_SIZE; l = l->next) {
        if (!seen.insert(l).second) return -1; // a cycle
        ++n;
    }
    return n;
}

TEST_F(PointLights, FreeingALightTwiceOrAForeignOneLeavesTheFreeListWhole) {
    PointLight *a = plight_create(1, nullptr, 1.0f, 0xFFFFFFFFu);
    ASSERT_NE(a, nullptr);
    plight_free(a);
    plight_free(a); // not in use any more
    PointLight stray = {};
    plight_free(&stray);
    plight_free(nullptr);
    EXPECT_EQ(plight_count() + free_length(), PLIGHT_POOL_SIZE);
    PointLight *b = plight_create(1, nullptr, 1.0f, 0);
    PointLight *c = plight_create(1, nullptr, 1.0f, 0);
    EXPECT_NE(b, c);
    for (int i = 2; i < PLIGHT_POOL_SIZE; ++i) ASSERT_NE(plight_create(1, nullptr, 1, 0), nullptr);
    EXPECT_EQ(plight_create(1, nullptr, 1, 0), nullptr);
}

PointLight *g_victim;
int g_calls;
int free_victim(PointLight *) {
    ++g_calls;
    plight_free(g_victim);
    return 0;
}
int free_self(PointLight *self) {
    ++g_calls;
    plight_free(self);
    return 0;
}

TEST_F(PointLights, CallbacksMayFreeTheNextLightOrThemselves) {
    // Newest first: c is walked before b.
    PointLight *a = plight_create(1, nullptr, 1, 0);
    PointLight *b = plight_create(1, nullptr, 1, 0);
    PointLight *c = plight_create(1, nullptr, 1, 0xFF804020u);
    (void)a;
    g_victim = b;
    g_calls = 0;
    c->update = free_victim;
    b->update = free_self; // would run on a freed light if the walk went on to it
    plight_update_all();
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(plight_count(), 2);
    EXPECT_EQ(plight_count() + free_length(), PLIGHT_POOL_SIZE);
    EXPECT_FLOAT_EQ(c->color_f[0], 128.0f / 255.0f);

    c->update = free_self;
    plight_update_all();
    EXPECT_EQ(plight_count(), 1);
    EXPECT_EQ(plight_count() + free_length(), PLIGHT_POOL_SIZE);
}

int remove_me(PointLight *) {
    return 1;
}
int g_destroyed;
void count_destroy(PointLight *) {
    ++g_destroyed;
}

TEST_F(PointLights, RemovalKillAndOwnerRelease) {
    PointLight *once = plight_create_one_frame(2, nullptr, 1, 0);
    PointLight *removed = plight_create(3, nullptr, 1, 0);
    removed->update = remove_me;
    removed->destroy = count_destroy;
    PointLight *owned = plight_create(4, nullptr, 1, 0);
    owned->destroy = count_destroy;
    g_destroyed = 0;
    plight_update_all();
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_TRUE(once->flags & PLIGHT_FLAG_IN_USE);
    plight_sweep_killed();
    EXPECT_FALSE(once->flags & PLIGHT_FLAG_IN_USE);
    obj_release_owner(4);
    EXPECT_EQ(g_destroyed, 1); // no callbacks on release
    EXPECT_EQ(plight_count(), 0);
}

TEST_F(PointLights, CullingAndNearestFirstPicking) {
    // Camera at (0, 0, 5) looking at the origin. Lights at distances 3, 1 and 2 from the node at
    // the origin, all on a sphere of radius 5 about the camera, so the camera term is equal.
    auto on_sphere = [](float d) {
        // |p| = d and |p - (0,0,5)| = 5: z = d^2 / 10, x = sqrt(d^2 - z^2).
        const float z = d * d / 10.0f;
        return Vec3{sqrtf(d * d - z * z), 0.0f, z};
    };
    const Vec3 p3 = on_sphere(3), p1 = on_sphere(1), p2 = on_sphere(2);
    PointLight *l3 = plight_create(1, &p3, 1.0f, 0);
    PointLight *l1 = plight_create(1, &p1, 1.0f, 0);
    PointLight *l2 = plight_create(1, &p2, 1.0f, 0);
    const Vec3 behind = {0, 0, 50}; // behind the camera, radius 1: culled
    plight_create(1, &behind, 1.0f, 0);
    plight_cull_per_camera();
    EXPECT_EQ(plight_visible_count(0), 3);
    PointLight *out[4] = {};
    const Vec3 origin = {0, 0, 0};
    ASSERT_EQ(plight_pick_for_sphere(out, 3, 0, &origin, 3.0f), 3);
    EXPECT_EQ(out[0], l1);
    EXPECT_EQ(out[1], l2);
    EXPECT_EQ(out[2], l3);
    EXPECT_EQ(plight_pick_for_sphere(out, 2, 0, &origin, 3.0f), 2);
    // Sum of squares, not square of the sum: 1.4^2 = 1.96 <= 1 + 1 is in reach; 1.2^2 = 1.44 >
    // 0.25 + 1 is not, though 1.2 < 0.5 + 1.
    const Vec3 node = {p1.x - 1.4f, p1.y, p1.z};
    ASSERT_EQ(plight_pick_for_sphere(out, 3, 0, &node, 1.0f), 1);
    EXPECT_EQ(out[0], l1);
    const Vec3 far_node = {p3.x + 1.2f, p3.y, p3.z};
    EXPECT_EQ(plight_pick_for_sphere(out, 3, 0, &far_node, 0.5f), 0);
}

TEST_F(PointLights, ALightExactlyAtTheReachIsPicked) {
    // In reach while d^2 <= r^2 + R^2 (node radius r, light radius R). With r, R = 3, 4 or 4, 3
    // and d = 5 both sides are exactly 25 in floating point.
    const Vec3 origin = {0, 0, 0};
    const float radii[2][2] = {{3, 4}, {4, 3}}; // node, light
    for (const auto &r : radii) {
        obj_reset_all();
        PointLight *light = plight_create(1, &origin, r[1], 0);
        ASSERT_NE(light, nullptr);
        plight_cull_per_camera();
        ASSERT_EQ(plight_visible_count(0), 1);
        PointLight *out[3] = {};
        for (const Vec3 &node : {Vec3{3, 0, 4}, Vec3{0, -4, -3}, Vec3{-4, 3, 0}}) {
            EXPECT_EQ(plight_pick_for_sphere(out, 3, 0, &node, r[0]), 1);
            EXPECT_EQ(out[0], light);
        }
        const Vec3 beyond = {3, 0, 4.001f};
        EXPECT_EQ(plight_pick_for_sphere(out, 3, 0, &beyond, r[0]), 0);
    }
}

} // namespace
