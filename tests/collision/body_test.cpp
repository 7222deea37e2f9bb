// The collision body pool (pairs against a brute-force loop, push by weight, shape runs) and the
// frustum body pool (push by weight, keep-inside against view 0's planes).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "coll_test_env.h"
#include "collision/coll_body.h"
#include "collision/coll_frustum.h"
#include "math/mat4.h"
#include "render/gfx_frame.h"
#include "render/view.h"
#include "resource/chunks.h"

namespace {

class Bodies : public ::testing::Test {
  protected:
    void SetUp() override { coll_test_start(); }
};

ResourceHandle load_set(const char *name, const std::vector<PackSphere> &spheres) {
    if (!coll_test_load(name, CHUNK_TAG_SHAPE_SET, pack_shape_set_body(name, spheres))) return 0;
    return res_find_shape_set(nullptr, name);
}

TEST_F(Bodies, PairsMatchABruteForceLoop) {
    const std::vector<PackSphere> spheres = {{1, 0, 0, 0}, {0.5f, 3, 4, 0}, {2, 0, 0, -1}};
    ResourceHandle set = load_set("b_three", spheres);
    ASSERT_NE(set, 0u);
    static Mat4 place[200];
    std::vector<CollisionBody *> bodies;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> pos(0, 40), ang(0, 6.28f);
    for (int i = 0; i < 200; ++i) {
        Vec3 at = {pos(rng), pos(rng) * 0.25f, pos(rng)}, axis = {0.2f, 1, 0};
        mat4_from_position_axis_angle(&place[i], &at, &axis, ang(rng));
        uint32_t group = 1u << (rng() % 4), mask = rng() & 15u;
        CollisionBody *b = i % 4 == 3 ? coll_body_create(nullptr, &place[i], group, mask, 1.5f)
                                      : coll_body_create_from_set(set, &place[i], group, mask);
        ASSERT_NE(b, nullptr);
        bodies.push_back(b);
    }
    gfx_render_frame(0);

    // Every sphere of every body in world space, in double.
    auto world_spheres = [&](int i) {
        std::vector<std::array<double, 4>> out;
        const Mat4 &m = place[i];
        if (i % 4 == 3) {
            out.push_back({m.m[3][0], m.m[3][1], m.m[3][2], 1.5});
            return out;
        }
        for (const PackSphere &s : spheres) {
            std::array<double, 4> w{};
            for (int j = 0; j < 3; ++j)
                w[j] = s.x * double(m.m[0][j]) + s.y * double(m.m[1][j]) + s.z * double(m.m[2][j]) +
                       m.m[3][j];
            w[3] = s.radius;
            out.push_back(w);
        }
        return out;
    };
    std::vector<uint32_t> want(200, 0);
    int touching = 0;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < i; ++j) {
            const CollisionBody *a = bodies[i], *b = bodies[j];
            if (!(a->mask & b->group) || !(b->mask & a->group)) continue;
            bool touch = false;
            for (auto &p : world_spheres(i))
                for (auto &q : world_spheres(j)) {
                    double d2 = 0;
                    for (int k = 0; k < 3; ++k) d2 += (p[k] - q[k]) * (p[k] - q[k]);
                    touch |= d2 < (p[3] + q[3]) * (p[3] + q[3]);
                }
            if (!touch) continue;
            ++touching;
            want[i] |= b->group;
            want[j] |= a->group;
        }
    EXPECT_GT(touching, 20);
    for (int i = 0; i < 200; ++i) {
        uint32_t hits;
        EXPECT_EQ(coll_body_result(bodies[i], nullptr, &hits), want[i] != 0);
        EXPECT_EQ(hits, want[i]) << i;
    }
    EXPECT_EQ(coll_body_any_hit(0, 0xF), true);
}

TEST_F(Bodies, PushByWeightAndShapeRuns) {
    // Two pushable bodies of weight 50 and radius 1, 1.5 apart: each moves 0.25 away.
    static Mat4 ma, mb;
    Vec3 pa = {0, 0, 0}, pb = {1.5f, 0, 0};
    mat4_translation(&ma, &pa);
    mat4_translation(&mb, &pb);
    CollisionBody *a = coll_body_create(nullptr, &ma, 1u | COLL_BODY_PUSHABLE, 1, 1.0f);
    CollisionBody *b = coll_body_create(nullptr, &mb, 1u | COLL_BODY_PUSHABLE, 1, 1.0f);
    gfx_render_frame(0);
    Vec3 push;
    ASSERT_TRUE(coll_body_result(a, &push, nullptr));
    EXPECT_NEAR(push.x, -0.25f, 1e-6);
    ASSERT_TRUE(coll_body_result(b, &push, nullptr));
    EXPECT_NEAR(push.x, 0.25f, 1e-6);
    // Bit 30 on one of them: both still hit, neither moves.
    b->group |= COLL_BODY_NO_PUSH;
    gfx_render_frame(0);
    EXPECT_TRUE(coll_body_result(a, &push, nullptr));
    EXPECT_EQ(push.x, 0.0f);
    // Without a matrix a body stands at its position.
    CollisionBody *c = coll_body_create(nullptr, nullptr, 2u, 2, 1.0f);
    CollisionBody *d = coll_body_create(nullptr, nullptr, 2u, 2, 1.0f);
    Vec3 far = {100, 0, 0};
    coll_body_set_position(c, &far);
    gfx_render_frame(0);
    EXPECT_FALSE(coll_body_result(c, nullptr, nullptr));
    coll_body_set_position(d, &far);
    gfx_render_frame(0);
    EXPECT_TRUE(coll_body_result(c, nullptr, nullptr));

    // Queries: a sphere and a triangle against the bodies of group 1.
    Vec3 centre = {0, 1.5f, 0};
    ASSERT_TRUE(coll_body_sphere_query(&centre, 1.0f, &push, 1, false));
    EXPECT_NEAR(push.y, 0.5f, 1e-6);
    const float tri[9] = {-5, 0.5f, -5, -5, 0.5f, 5, 5, 0.5f, -5};
    Vec3 q;
    float depth;
    ASSERT_TRUE(coll_body_triangle_query(tri, nullptr, &q, &depth, 1, false));
    EXPECT_NEAR(q.y, 0.5f, 1e-6);
    EXPECT_NEAR(depth, std::cos(3.14159265 / 4), 1e-5); // r cos(pi/2 * 0.5 / 1)
    EXPECT_FALSE(coll_body_triangle_query(tri, nullptr, nullptr, nullptr, 4, true));

    coll_body_reset();
    // Four spheres a body: 576 bodies use all 2304 shapes; the next body gets no shape list.
    ResourceHandle four =
        load_set("b_four", {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 0, 0}, {1, 3, 0, 0}});
    ASSERT_NE(four, 0u);
    CollisionBody *last = nullptr;
    for (int i = 0; i < 576; ++i)
        ASSERT_NE(last = coll_body_create_from_set(four, nullptr, 1, 1), nullptr);
    EXPECT_EQ(coll_shape_count(), 2304u);
    CollisionBody *bare = coll_body_create_from_set(four, nullptr, 1, 1);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->shapes, nullptr);
    EXPECT_EQ(coll_body_create_from_set(0, nullptr, 1, 1), nullptr);
    coll_body_remove(last);
    coll_body_remove(last); // not active any more: its run is not returned twice
    EXPECT_EQ(coll_shape_count(), 2300u);
    EXPECT_EQ(coll_body_count(), 576u);
}

TEST_F(Bodies, PerShapeQueriesUseTheShapesAsLastPlaced) {
    // One shape of radius 1 two units along x from the body's origin.
    ResourceHandle set = load_set("b_off", {{1, 2, 0, 0}});
    ASSERT_NE(set, 0u);
    static Mat4 m, bare_at;
    const Vec3 origin = {0, 0, 0}, far = {50, 0, 0};
    mat4_translation(&m, &origin);
    mat4_translation(&bare_at, &far);
    ASSERT_NE(coll_body_create_from_set(set, &m, 1, 1), nullptr);
    CollisionBody *bare = coll_body_create(nullptr, &bare_at, 1, 1, 1.0f);
    ASSERT_NE(bare, nullptr);

    // Before any frame step the shape already stands where its body is: a sphere of radius 0.5
    // 1.2 above its centre overlaps it by 0.3 and is pushed up by that.
    Vec3 push;
    const Vec3 over_shape = {2, 1.2f, 0}, over_moved = {12, 1.2f, 0};
    ASSERT_TRUE(coll_body_sphere_query(&over_shape, 0.5f, &push, 1, true));
    EXPECT_NEAR(push.y, 0.3f, 1e-6);
    EXPECT_NEAR(push.x, 0.0f, 1e-6);
    // A body without shapes is no sphere per shape, only as its bounding sphere (reach 1.5,
    // 1 apart).
    const Vec3 over_bare = {50, 1, 0};
    EXPECT_FALSE(coll_body_sphere_query(&over_bare, 0.5f, &push, 1, true));
    ASSERT_TRUE(coll_body_sphere_query(&over_bare, 0.5f, &push, 1, false));
    EXPECT_NEAR(push.y, 0.5f, 1e-6);
    const float under_bare[9] = {45, 0.5f, -5, 45, 0.5f, 5, 55, 0.5f, -5};
    EXPECT_FALSE(coll_body_triangle_query(under_bare, nullptr, nullptr, nullptr, 1, true));
    EXPECT_TRUE(coll_body_triangle_query(under_bare, nullptr, nullptr, nullptr, 1, false));

    // Moved without a frame step, the shape is found where the last step put it; the next
    // step moves it.
    const Vec3 ten = {10, 0, 0};
    mat4_translation(&m, &ten);
    EXPECT_TRUE(coll_body_sphere_query(&over_shape, 0.5f, nullptr, 1, true));
    EXPECT_FALSE(coll_body_sphere_query(&over_moved, 0.5f, nullptr, 1, true));
    gfx_render_frame(0);
    EXPECT_FALSE(coll_body_sphere_query(&over_shape, 0.5f, nullptr, 1, true));
    EXPECT_TRUE(coll_body_sphere_query(&over_moved, 0.5f, nullptr, 1, true));
}

TEST_F(Bodies, LyingTrianglesAndNonFiniteBodiesTouchNothing) {
    static Mat4 at_origin, nan_place, huge_a, huge_b;
    const Vec3 origin = {0, 0, 0}, nan_at = {NAN, 0, 0}, one = {1, 0, 0};
    mat4_translation(&at_origin, &origin);
    mat4_translation(&nan_place, &nan_at);
    mat4_translation(&huge_a, &origin);
    mat4_translation(&huge_b, &one);
    const uint32_t pushable = 1u | COLL_BODY_PUSHABLE;
    CollisionBody *sound = coll_body_create(nullptr, &at_origin, pushable, 1, 1.0f);
    CollisionBody *lost = coll_body_create(nullptr, &nan_place, pushable, 1, 1.0f);
    // Radius 3e38: its square, and the sum of two, overflow.
    CollisionBody *a = coll_body_create(nullptr, &huge_a, 2u | COLL_BODY_PUSHABLE, 2, 3e38f);
    CollisionBody *b = coll_body_create(nullptr, &huge_b, 2u | COLL_BODY_PUSHABLE, 2, 3e38f);
    ASSERT_TRUE(sound && lost && a && b);
    gfx_render_frame(0);
    for (const CollisionBody *x : {sound, lost, a, b}) {
        Vec3 push = {1, 1, 1};
        EXPECT_FALSE(coll_body_result(x, &push, nullptr));
        EXPECT_EQ(push.x, 0.0f);
        EXPECT_EQ(push.y, 0.0f);
        EXPECT_EQ(push.z, 0.0f);
    }
    // Queries: the NaN body is nowhere; a query sphere that is not finite finds nothing.
    const Vec3 near = {0.5f, 0, 0}, nowhere = {NAN, 0, 0};
    Vec3 push;
    ASSERT_TRUE(coll_body_sphere_query(&near, 1.0f, &push, 1, false));
    EXPECT_NEAR(push.x, 1.5f, 1e-6); // only the sound body: reach 2, 0.5 apart
    EXPECT_FALSE(coll_body_sphere_query(&near, INFINITY, &push, 1, false));
    EXPECT_FALSE(coll_body_sphere_query(&nowhere, 1.0f, &push, 1, false));
    EXPECT_FALSE(coll_body_sphere_query(&near, 1.0f, &push, 2, false));

    // Triangles without area or normal touch no sphere, with or without a normal given: corners
    // that coincide inside the sound body, corners on a line through its centre, and a sound
    // triangle far above it given a zero normal.
    const Vec3 up = {0, 1, 0}, zero = {0, 0, 0};
    const float point[9] = {0.5f, 0, 0, 0.5f, 0, 0, 0.5f, 0, 0};
    const float line[9] = {-1, 0, 0, 0, 0, 0, 1, 0, 0};
    const float high[9] = {-5, 50, -5, -5, 50, 5, 5, 50, -5};
    for (const float *t : {point, line}) {
        EXPECT_FALSE(coll_body_triangle_query(t, &up, nullptr, nullptr, 1, false));
        EXPECT_FALSE(coll_body_triangle_query(t, nullptr, nullptr, nullptr, 1, false));
    }
    EXPECT_FALSE(coll_body_triangle_query(high, &zero, nullptr, nullptr, 1, false));
    const float nan_corner[9] = {NAN, 0.5f, -5, -5, 0.5f, 5, 5, 0.5f, -5};
    EXPECT_FALSE(coll_body_triangle_query(nan_corner, &up, nullptr, nullptr, 1, false));

    // Frustum bodies: one at a NaN place touches nothing and moves nobody.
    const uint32_t moves = 1u | COLL_FRUSTUM_MOVES;
    FrustumBody *fa = coll_frustum_create(nullptr, 1, 1, &origin, moves, 1);
    FrustumBody *fb = coll_frustum_create(nullptr, 1, 1, &nan_at, moves, 1);
    ASSERT_TRUE(fa && fb);
    gfx_render_frame(0);
    Vec3 d;
    EXPECT_FALSE(coll_frustum_get_hits(fa, &d));
    EXPECT_EQ(d.x, 0.0f);
    EXPECT_FALSE(coll_frustum_get_hits(fb, nullptr));
}

// ---------------------------------------------------------------------------------------------
// Frustum bodies

TEST_F(Bodies, FrustumBodiesPushApartByWeight) {
    Vec3 pa = {0, 0, 0}, pb = {1.5f, 0, 0};
    const uint32_t moves = 1u | COLL_FRUSTUM_MOVES;
    FrustumBody *a = coll_frustum_create(nullptr, 1, 1, &pa, moves, 1);
    FrustumBody *b = coll_frustum_create(nullptr, 1, 1, &pb, moves, 1);
    gfx_render_frame(0);
    Vec3 d;
    ASSERT_TRUE(coll_frustum_get_hits(a, &d));
    EXPECT_NEAR(d.x, -0.25f, 1e-6);
    ASSERT_TRUE(coll_frustum_get_hits(b, &d));
    EXPECT_NEAR(d.x, 0.25f, 1e-6);

    // Weights 150 and 50 overlapping by 0.4 (along z): the heavy one moves 0.1, the light 0.3.
    a->weight = 150;
    b->local_position = Vec3{0, 0, 1.6f};
    gfx_render_frame(0);
    coll_frustum_get_hits(a, &d);
    EXPECT_NEAR(d.z, -0.1f, 1e-6);
    coll_frustum_get_hits(b, &d);
    EXPECT_NEAR(d.z, 0.3f, 1e-6);
    // Bit 30 on either: contact in both, no move; masks that refuse: no test.
    b->group |= COLL_FRUSTUM_NO_MOVE;
    gfx_render_frame(0);
    EXPECT_TRUE(coll_frustum_get_hits(a, &d));
    EXPECT_EQ(d.z, 0.0f);
    b->mask = 2;
    gfx_render_frame(0);
    EXPECT_FALSE(coll_frustum_get_hits(a, nullptr));
    coll_frustum_remove(b);
    coll_frustum_remove(b);
    EXPECT_EQ(coll_frustum_count(), 1u);
    EXPECT_FALSE(coll_frustum_get_hits(nullptr, nullptr));
}

TEST_F(Bodies, FrustumKeepInside) {
    // View 0 at its defaults: the camera at (0, 0, 5) looks at the origin. A side plane passes
    // through the eye at the horizontal half angle h, tan h = tan(fov / 2) * aspect.
    view_set_defaults();
    const Vec3 eye = *view_get_position(0);
    const double h = std::atan(std::tan(view_get_fov(0) / 2.0) * view_get_aspect(0));
    const double depth = eye.z; // the body stands at z = 0
    const double edge_x = depth * std::tan(h);
    const float radius = 0.5f;
    Vec3 at = {float(edge_x - 0.3), 0, 0};
    FrustumBody *b = coll_frustum_create(nullptr, radius, 1, &at, 1, 0);
    b->flags |= COLL_FRUSTUM_KEEP_INSIDE;
    gfx_render_frame(0);
    // Distance inside the plane 0.3 cos h; moved inward along the plane normal (-cos h, 0,
    // -sin h) by radius minus that.
    const double l = 0.3 * std::cos(h), move = radius - l;
    Vec3 d;
    coll_frustum_get_hits(b, &d);
    EXPECT_NEAR(d.x, -std::cos(h) * move, 1e-4);
    EXPECT_NEAR(d.z, -std::sin(h) * move, 1e-4);
    EXPECT_EQ(d.y, 0.0f);
    // The same planes built from view 0's own frustum parameters.
    ASSERT_TRUE(coll_frustum_set_params(view_get_frustum_params(0)));
    EXPECT_EQ(coll_frustum_pool()->params_flag, 1u);
    gfx_render_frame(0);
    Vec3 again;
    coll_frustum_get_hits(b, &again);
    EXPECT_NEAR(again.x, d.x, 1e-4);
    EXPECT_NEAR(again.z, d.z, 1e-4);
    coll_frustum_set_params(nullptr);
    // Degenerate or non-finite parameters are refused.
    FrustumParams ok = *view_get_frustum_params(0);
    for (int k = 0; k < 7; ++k) {
        FrustumParams p = ok;
        float *v = &p.left;
        if (k < 3) {
            v[2 * k + 1] = v[2 * k]; // right = left, top = bottom, far = near
        } else {
            v[k - 3] = k % 2 ? NAN : INFINITY;
        }
        EXPECT_FALSE(coll_frustum_set_params(&p)) << k;
        EXPECT_EQ(coll_frustum_pool()->params_flag, 0u);
    }
}

} // namespace
