// The collider pool (ids, capacity, removal with chains, meshes released under a collider) and
// the probe pass against a brute force over every collider.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "coll_test_env.h"
#include "collision/collider.h"
#include "math/mat4.h"
#include "render/gfx_frame.h"
#include "resource/names.h"

namespace {

class Colliders : public ::testing::Test {
  protected:
    void SetUp() override { coll_test_start(); }
};

// Both lists walked: lengths, links and in-use bits agree with the count.
void expect_lists_consistent() {
    const ColliderPool *p = coll_pool();
    uint32_t active = 0, free = 0;
    for (const Collider *c = p->active_head, *prev = nullptr; c; prev = c, c = c->next) {
        ASSERT_LE(++active, uint32_t(COLL_COLLIDER_CAPACITY));
        EXPECT_EQ(c->prev, prev);
        EXPECT_TRUE(c->flags & COLL_USED);
    }
    for (const Collider *c = p->free_head, *prev = nullptr; c; prev = c, c = c->next) {
        ASSERT_LE(++free, uint32_t(COLL_COLLIDER_CAPACITY));
        EXPECT_EQ(c->prev, prev);
        EXPECT_FALSE(c->flags & COLL_USED);
    }
    EXPECT_EQ(active, p->count);
    EXPECT_EQ(active + free, uint32_t(COLL_COLLIDER_CAPACITY));
}

TEST_F(Colliders, IdsCapacityAndRemoval) {
    for (uint32_t i = 1; i <= 65535; ++i) ASSERT_EQ(coll_next_id(), i);
    EXPECT_EQ(coll_next_id(), 1);
    coll_reset();
    EXPECT_EQ(coll_next_id(), 1);

    Collider *all[COLL_COLLIDER_CAPACITY];
    for (Collider *&c : all)
        ASSERT_NE(c = coll_create_sphere_collider(nullptr, 1, nullptr, 0, 1, 0, nullptr), nullptr);
    EXPECT_EQ(coll_create_sphere_collider(nullptr, 1, nullptr, 0, 1, 0, nullptr), nullptr);
    EXPECT_EQ(coll_collider_count(), uint32_t(COLL_COLLIDER_CAPACITY));
    expect_lists_consistent();

    // Twice, then a chain whose last link leads back to its first.
    coll_remove_collider(all[5]);
    coll_remove_collider(all[5]);
    EXPECT_EQ(coll_collider_count(), uint32_t(COLL_COLLIDER_CAPACITY - 1));
    all[10]->chained = all[11];
    all[11]->chained = all[12];
    all[12]->chained = all[10];
    coll_remove_collider(all[10]);
    EXPECT_EQ(coll_collider_count(), uint32_t(COLL_COLLIDER_CAPACITY - 4));
    EXPECT_EQ(coll_pool()->free_head, all[12]); // removed in chain order
    // A chained collider removed alone before its chain.
    all[20]->chained = all[21];
    coll_remove_collider(all[21]);
    coll_remove_collider(all[20]);
    EXPECT_EQ(coll_collider_count(), uint32_t(COLL_COLLIDER_CAPACITY - 6));
    expect_lists_consistent();
    EXPECT_EQ(coll_create_sphere_collider(nullptr, 1, nullptr, 0, 1, 0, nullptr), all[20]);
    coll_remove_collider(nullptr);
}

TEST_F(Colliders, MeshCollidersAndReleasedMeshes) {
    ResourceMark mark;
    res_mark(&mark);
    ResourceHandle h = coll_test_mesh("c_floor", coll_test_floor(4, 0.0f, 1), {});
    ASSERT_NE(h, 0u);
    EXPECT_EQ(coll_create_model_collider(99, nullptr, 0, 1, 0, nullptr), nullptr);
    Collider *c = coll_create_model_collider(h, nullptr, 3, 1, 0, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->user_word, res_hash_name("c_floor")); // the name's hash stands for the name
    coll_set_model_collider(c, h, 3, 0, nullptr);
    EXPECT_EQ(c->user_word, 0u);
    // Re-set as a sphere: a sphere collider with the same group and flags.
    Vec3 centre = {1, 2, 3};
    coll_set_sphere_collider(c, &centre, 0.5f, 3, 4, nullptr);
    EXPECT_EQ(coll_collider_mesh(c), nullptr);
    EXPECT_EQ(c->mesh, 0u);
    EXPECT_TRUE(c->flags & COLL_HAS_CENTRE);
    EXPECT_EQ(c->group, 1u);
    coll_set_model_collider(c, h, 3, 5, nullptr);

    // Released under the collider, and another mesh made in the released record's place.
    Vec3 s = {2.5f, 5, 2.5f}, d = {0, -10, 0};
    ASSERT_EQ(coll_segment_hit_point(&s, &d, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 1);
    res_release_to_mark(&mark);
    EXPECT_EQ(coll_segment_hit_point(&s, &d, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 0);
    ASSERT_EQ(coll_test_mesh("c_other", coll_test_floor(4, 1.0f, 1), {}), h);
    EXPECT_EQ(coll_collider_mesh(c), nullptr);
    EXPECT_EQ(coll_segment_hit_point(&s, &d, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 0);
    EXPECT_EQ(coll_ground_height(&s, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 0);
    coll_update(); // the probe pass passes over it too
}

TEST_F(Colliders, SegmentAgainstSphereColliders) {
    Mat4 m;
    Vec3 at = {10, 0, 0};
    mat4_translation(&m, &at);
    Vec3 offset = {0, 2, 0};
    Collider *a = coll_create_sphere_collider(&offset, 1, &m, 0, 1, 0, nullptr); // at (10, 2, 0)
    Collider *b = coll_create_sphere_collider(nullptr, 1, nullptr, 0, 1, 0, nullptr); // origin
    ASSERT_TRUE(a && b);
    float t;
    Vec3 n;
    Vec3 s = {0, 2, 0}, d = {20, 0, 0};
    ASSERT_EQ(coll_segment_hit_t(&s, &d, &t, &n, nullptr, 0, COLL_FILTER_ANY), 1);
    EXPECT_NEAR(t, 9.0f / 20.0f, 1e-6);
    EXPECT_NEAR(n.x, -1.0f, 1e-6);
    // Starting inside the sphere at the origin: t = 0 at the start.
    Vec3 inside = {0.5f, 0, 0}, out = {0, 0, 4};
    ASSERT_EQ(coll_segment_hit_t(&inside, &out, &t, nullptr, nullptr, 0, COLL_FILTER_ANY), 1);
    EXPECT_EQ(t, 0.0f);
    // Spheres take no part in the point query.
    EXPECT_EQ(coll_segment_hit_point(&s, &d, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 0);
}

// ---------------------------------------------------------------------------------------------
// Probes

struct World {
    std::vector<std::vector<PackCollTriangle>> meshes; // world triangles of each mesh collider
    std::vector<Collider *> colliders;
};

// Nearest hit over one collider in double precision: t, or NaN.
double brute_collider(const Collider *c, const std::vector<PackCollTriangle> *tris, const Vec3 &s,
                      const Vec3 &d, double *margin) {
    const double sd[3] = {s.x, s.y, s.z}, dd[3] = {d.x, d.y, d.z};
    *margin = 1e9;
    if (tris) {
        BruteHit h = coll_test_brute_segment(*tris, sd, dd);
        *margin = std::min(h.edge_margin, h.second_gap);
        return h.hit ? h.t : NAN;
    }
    double cx = c->transform->m[3][0] + c->centre.x, cy = c->transform->m[3][1] + c->centre.y,
           cz = c->transform->m[3][2] + c->centre.z;
    double w[3] = {sd[0] - cx, sd[1] - cy, sd[2] - cz};
    double a = dd[0] * dd[0] + dd[1] * dd[1] + dd[2] * dd[2];
    double b = dd[0] * w[0] + dd[1] * w[1] + dd[2] * w[2];
    double cc = w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - double(c->radius) * c->radius;
    double disc = b * b - a * cc;
    if (disc < 0) return NAN;
    *margin = std::fabs(disc) / a;
    double t0 = (-b - std::sqrt(disc)) / a, t1 = (-b + std::sqrt(disc)) / a;
    if (t1 < 0 || t0 > 1) return NAN; // the sphere lies off the segment
    return std::max(t0, 0.0);
}

std::vector<int> g_callback_calls;
Collider *g_to_remove;

void count_callback(ProbeHit *hit, Collider *) {
    g_callback_calls.push_back(int(hit->word_a));
    if (g_to_remove) {
        coll_remove_collider(g_to_remove);
        g_to_remove = nullptr;
    }
}

TEST_F(Colliders, ProbesFindTheNearestCollider) {
    static Mat4 transforms[20];
    World world;
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> pos(0, 20), ang(0, 6.28f);
    std::vector<PackCollTriangle> soup = coll_test_soup(80, -2, 2, 1.0f, 31);
    // Off-centre: the mesh's triangles lie around (30, 0, 30), far from its transform's origin.
    std::vector<PackCollTriangle> far = coll_test_floor(4, 0.0f, 1);
    for (PackCollTriangle &t : far)
        for (float *p : {t.a, t.b, t.c}) p[0] += 28, p[2] += 28;
    ResourceHandle hs = coll_test_mesh("p_soup", soup, {2, 2, 2, -1});
    ResourceHandle hf = coll_test_mesh("p_far", far, {2, 2, 2, -1});
    ASSERT_TRUE(hs && hf);
    for (int i = 0; i < 20; ++i) {
        Mat4 &m = transforms[i];
        Vec3 at = {pos(rng), pos(rng), pos(rng)}, axis = {0, 1, 0.3f};
        if (i == 0) at = {-22, 0, -22}; // puts the far floor over x, z from 6 to 10
        mat4_from_position_axis_angle(&m, &at, &axis, i == 0 ? 0.0f : ang(rng));
        uint32_t filter = i % 5 == 4 ? 2u : 1u;
        Collider *c;
        if (i % 3 == 2) {
            c = coll_create_sphere_collider(nullptr, 1.0f + 0.1f * i, &m, filter, 1, i, nullptr);
            world.meshes.emplace_back();
        } else {
            ResourceHandle h = i == 0 ? hf : hs;
            c = coll_create_model_collider(h, &m, filter, 1, i, nullptr);
            world.meshes.push_back(coll_test_transformed(i == 0 ? far : soup, m));
        }
        ASSERT_NE(c, nullptr);
        world.colliders.push_back(c);
    }
    std::vector<CollisionProbe *> probes;
    std::uniform_real_distribution<float> dir(-20, 20);
    for (int i = 0; i < 50; ++i) {
        Vec3 s = {pos(rng), pos(rng), pos(rng)}, d = {dir(rng), dir(rng), dir(rng)};
        if (i < 5) s = {8, 10, 8}, d = {dir(rng) * 0.05f, -20, dir(rng) * 0.05f}; // onto far mesh
        uint32_t filter = i % 7 == 6 ? 2u : (i % 7 == 5 ? 1u : COLL_FILTER_ANY);
        probes.push_back(coll_create_probe(&s, &d, 0, i, 0, filter));
    }
    gfx_render_frame(0);

    std::vector<uint32_t> counts(20, 0);
    int hits = 0, far_hits = 0;
    for (CollisionProbe *p : probes) {
        double best = 2;
        int who = -1;
        double margin = 1e9;
        for (int k = 0; k < 20; ++k) {
            const Collider *c = world.colliders[k];
            if (p->filter != COLL_FILTER_ANY && p->filter != c->filter) continue;
            double m;
            double t =
                brute_collider(c, c->mesh ? &world.meshes[k] : nullptr, p->start, p->direction, &m);
            if (std::isnan(t)) continue;
            margin = std::min({margin, m, std::fabs(t - best)});
            if (t < best) best = t, who = k;
        }
        if (who >= 0) ++counts[who];
        if (margin < 1e-4) continue; // near an edge or a tie
        ASSERT_EQ(p->hit_collider, who < 0 ? nullptr : world.colliders[who])
            << "probe " << p->hit.word_a;
        EXPECT_EQ(coll_probe_was_hit(p), who >= 0 ? 1u : 0u);
        if (who < 0) continue;
        ++hits;
        far_hits += who == 0;
        EXPECT_NEAR(p->best_t, best, 1e-5);
    }
    EXPECT_GT(hits, 10);
    EXPECT_GT(far_hits, 0);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(world.colliders[k]->probe_hits, counts[k]) << k;
        uint32_t found = 0;
        while (coll_find_probe_hit(world.colliders[k], found)) ++found;
        EXPECT_EQ(found, counts[k]);
    }

    // A one-shot probe: its callback runs once, in the frame after its creation, and the hit
    // is found in that frame only. A callback that removes a collider ends the pass cleanly.
    for (CollisionProbe *p : probes) coll_remove_probe(p);
    for (int k = 1; k < 20; ++k) coll_remove_collider(world.colliders[k]);
    Vec3 away = {100, 100, 100};
    g_to_remove = coll_create_sphere_collider(&away, 1, nullptr, 0, 1, 0, nullptr);
    coll_remove_probe(probes[0]); // no longer in use: ignored
    EXPECT_EQ(coll_probe_count(), 0u);
    Vec3 s = {8, 10, 8}, d = {0, -20, 0};
    g_callback_calls.clear();
    ASSERT_NE(coll_create_probe_once(&s, &d, 0, 5, 6, count_callback, COLL_FILTER_ANY), nullptr);
    ASSERT_NE(coll_create_probe_once(&s, &d, 0, 7, 8, count_callback, COLL_FILTER_ANY), nullptr);
    gfx_render_frame(0);
    EXPECT_EQ(g_callback_calls, (std::vector<int>{7, 5}));
    EXPECT_NE(coll_find_probe_hit(world.colliders[0], 0), nullptr);
    EXPECT_EQ(coll_collider_count(), 1u);
    gfx_render_frame(0);
    EXPECT_EQ(g_callback_calls.size(), 2u);
    EXPECT_EQ(coll_find_probe_hit(world.colliders[0], 0), nullptr);
    EXPECT_EQ(coll_probe_count(), 0u);

    // With no collider left, a probe keeps no hit of an earlier pass.
    CollisionProbe *kept = coll_create_probe(&s, &d, 0, 9, 0, COLL_FILTER_ANY);
    coll_set_probe_callback(kept, count_callback);
    gfx_render_frame(0);
    EXPECT_EQ(coll_probe_was_hit(kept), 1u);
    for (Collider *c : world.colliders) coll_remove_collider(c);
    gfx_render_frame(0);
    EXPECT_EQ(coll_probe_was_hit(kept), 0u);
    EXPECT_EQ(g_callback_calls.size(), 3u);
}

} // namespace
