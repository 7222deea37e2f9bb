// Segment, ground-height and sphere queries against meshes made by the packer's builder and
// loaded through the data loader, each checked against a double-precision brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "coll_test_env.h"
#include "collision/coll_mesh.h"
#include "collision/collider.h"
#include "math/mat4.h"
#include "resource/chunks.h"
#include "resource/res_collmesh.h"

namespace {

class Queries : public ::testing::Test {
  protected:
    void SetUp() override { coll_test_start(); }
};

void unit_normal(const PackCollTriangle &t, double *n) {
    double e1[3], e2[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = double(t.b[k]) - t.a[k];
        e2[k] = double(t.c[k]) - t.a[k];
    }
    n[0] = e1[1] * e2[2] - e1[2] * e2[1];
    n[1] = e1[2] * e2[0] - e1[0] * e2[2];
    n[2] = e1[0] * e2[1] - e1[1] * e2[0];
    double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int k = 0; k < 3; ++k) n[k] /= l;
}

struct SegmentStats {
    int compared = 0, hits = 0;
};

// `count` seeded segments from [lo, hi]^3 with deltas up to `reach` on each axis: the mesh
// query agrees with the brute force over the world triangles wherever the sample is clear of
// edges and of ties.
SegmentStats compare_segments(const CollisionMeshRecord *mesh, const Mat4 *transform,
                              const std::vector<PackCollTriangle> &world, int count, float lo,
                              float hi, float reach, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(lo, hi), dir(-reach, reach);
    SegmentStats stats;
    for (int i = 0; i < count; ++i) {
        Vec3 s = {pos(rng), pos(rng), pos(rng)}, d = {dir(rng), dir(rng), dir(rng)};
        const double sd[3] = {s.x, s.y, s.z}, dd[3] = {d.x, d.y, d.z};
        BruteHit want = coll_test_brute_segment(world, sd, dd);
        if (want.hit && (want.edge_margin < 1e-4 || want.second_gap < 1e-5)) continue;
        float t = -1;
        Vec3 n;
        uint32_t face = 0;
        bool got = coll_segment_mesh_t(mesh, transform, &s, &d, &t, &n, &face) == 1;
        ++stats.compared;
        EXPECT_EQ(got, want.hit) << "segment " << i << " t " << want.t;
        if (!got || !want.hit) continue;
        ++stats.hits;
        EXPECT_NEAR(t, want.t, 1e-5) << "segment " << i;
        EXPECT_EQ(face, world[want.index].face) << "segment " << i;
        double wn[3];
        unit_normal(world[want.index], wn);
        EXPECT_NEAR(n.x, wn[0], 1e-4);
        EXPECT_NEAR(n.y, wn[1], 1e-4);
        EXPECT_NEAR(n.z, wn[2], 1e-4);
    }
    return stats;
}

TEST_F(Queries, SegmentsAgreeWithTheBruteForce) {
    std::vector<PackCollTriangle> soup = coll_test_soup(500, 0, 10, 1.6f, 11);
    PackCollInfo info;
    std::vector<uint8_t> body = pack_collision_mesh_body("q_soup", soup, {4, 4, 4, -1}, &info);
    ASSERT_GT(info.large_triangles, 100u); // many triangles span cells
    ASSERT_TRUE(coll_test_load("q_soup", CHUNK_TAG_COLLISION_MESH, body));
    const CollisionMeshRecord *mesh = res_collmesh_record(res_find_collmesh(nullptr, "q_soup"));
    ASSERT_NE(mesh, nullptr);
    SegmentStats plain = compare_segments(mesh, nullptr, soup, 10000, -1, 11, 8, 1);
    EXPECT_GT(plain.compared, 9000);
    EXPECT_GT(plain.hits, 2000);

    // The same soup rotated, scaled and translated.
    Mat4 m;
    Vec3 axis = {0.3f, 1.0f, -0.2f}, at = {5.0f, -3.0f, 2.0f};
    mat4_from_position_axis_angle(&m, &at, &axis, 0.7f);
    Vec3 scale = {1.5f, 1.5f, 1.5f};
    mat4_scale_rows(&m, &m, &scale);
    std::vector<PackCollTriangle> world = coll_test_transformed(soup, m);
    SegmentStats moved = compare_segments(mesh, &m, world, 3000, -4, 20, 12, 2);
    EXPECT_GT(moved.hits, 300);

    // A transform that cannot be inverted hits nothing.
    Mat4 flat = m;
    flat.m[2][0] = flat.m[2][1] = flat.m[2][2] = 0.0f;
    Vec3 s = {5, 20, 5}, d = {0, -40, 0};
    EXPECT_EQ(coll_segment_mesh_t(mesh, &flat, &s, &d, nullptr, nullptr, nullptr), 0);
}

TEST_F(Queries, FloorsRoomsAndWideLevels) {
    // A 10 x 10 floor and a closed room share the walk; the 24 x 1 x 24 grid has one level of
    // 144 nodes, whose children (576 cells) overflow any 256-entry list, and segments across
    // it visit far more than 128 cells.
    std::vector<PackCollTriangle> floor = coll_test_floor(10, 0.0f, 1);
    std::vector<PackCollTriangle> room = coll_test_room(4.0f, 3.0f);
    std::vector<PackCollTriangle> wide = coll_test_floor(24, 1.0f, 1);
    for (PackCollTriangle &t : coll_test_soup(60, 0, 24, 3.0f, 3)) wide.push_back(t);
    ResourceHandle hf = coll_test_mesh("q_floor", floor, {5, 1, 5, -1});
    ResourceHandle hr = coll_test_mesh("q_room", room, {3, 2, 3, -1});
    PackCollInfo info;
    std::vector<uint8_t> body = pack_collision_mesh_body("q_wide", wide, {24, 1, 24, 1}, &info);
    EXPECT_EQ(info.top_level_nodes, 144u);
    ASSERT_TRUE(coll_test_load("q_wide", CHUNK_TAG_COLLISION_MESH, body));
    ResourceHandle hw = res_find_collmesh(nullptr, "q_wide");
    ASSERT_TRUE(hf && hr && hw);
    compare_segments(res_collmesh_record(hf), nullptr, floor, 2000, -1, 11, 6, 3);
    SegmentStats r =
        compare_segments(res_collmesh_record(hr), nullptr, room, 2000, -3.5f, 3.5f, 9, 4);
    EXPECT_GT(r.hits, 300); // from inside, the walls face the segments
    SegmentStats w = compare_segments(res_collmesh_record(hw), nullptr, wide, 2000, -1, 25, 26, 5);
    EXPECT_GT(w.hits, 300);
}

TEST_F(Queries, ExtendedFormsCarryCornersCellBoxesAndSlide) {
    std::vector<PackCollTriangle> room = coll_test_room(4.0f, 3.0f);
    ResourceHandle h = coll_test_mesh("q_slide", room, {2, 1, 2, -1});
    ASSERT_NE(h, 0u);
    Mat4 m;
    Vec3 at = {10, 0, 0}, axis = {0, 1, 0}, scale = {2, 2, 2};
    mat4_from_position_axis_angle(&m, &at, &axis, 0.5f);
    mat4_scale_rows(&m, &m, &scale);
    std::vector<PackCollTriangle> world = coll_test_transformed(room, m);
    ASSERT_NE(coll_create_model_collider(h, &m, 1, 1, 0, nullptr), nullptr);
    const Vec3 local_s = {0, 1, 0.5f}, local_d = {10, 0.5f, 3};
    Vec3 s, d;
    mat4_transform_point(&s, &m, &local_s);
    mat4_rotate_vector(&d, &m, &local_d);
    const double sd[3] = {s.x, s.y, s.z}, dd[3] = {d.x, d.y, d.z};
    BruteHit want = coll_test_brute_segment(world, sd, dd);
    ASSERT_TRUE(want.hit);
    const PackCollTriangle &tri = world[want.index];

    Vec3 point, normal, corners[3], box[2];
    uint32_t face;
    ASSERT_EQ(
        coll_segment_hit_triangle(&s, &d, &point, &normal, &face, corners, box, 0, COLL_FILTER_ANY),
        1);
    EXPECT_EQ(face, tri.face);
    const float *want_corners[3] = {tri.a, tri.b, tri.c};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(corners[i].x, want_corners[i][0], 1e-4);
        EXPECT_NEAR(corners[i].y, want_corners[i][1], 1e-4);
        EXPECT_NEAR(corners[i].z, want_corners[i][2], 1e-4);
    }
    const float *p = &point.x, *c = &box[0].x, *e = &box[1].x;
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(p[k], sd[k] + want.t * dd[k], 1e-4);
        EXPECT_LE(std::fabs(p[k] - c[k]), e[k] + 1e-4) << "the hit lies in its cell's box";
    }
    Vec3 ray_point;
    ASSERT_EQ(coll_raycast_mesh(res_collmesh_record(h), &m, &s, &d, &ray_point, nullptr, nullptr),
              1);
    EXPECT_NEAR(ray_point.x, point.x, 1e-5);

    // The slide point is the segment's end moved onto the wall's plane.
    Vec3 hit, slide, n;
    ASSERT_EQ(coll_segment_slide_mesh(res_collmesh_record(h), &m, &s, &d, &hit, &slide, &n, &face),
              1);
    double wn[3];
    unit_normal(tri, wn);
    double off = 0, end_off = 0;
    for (int k = 0; k < 3; ++k) {
        off += ((&slide.x)[k] - double(tri.a[k])) * wn[k];
        end_off += (sd[k] + dd[k] - tri.a[k]) * wn[k];
        EXPECT_NEAR((&n.x)[k], wn[k], 1e-5);
    }
    EXPECT_NEAR(off, 0.0, 1e-4);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR((&slide.x)[k], sd[k] + dd[k] - wn[k] * end_off, 1e-4);
}

// Brute force of the ground rule: the highest upward triangle whose xz shadow holds the point
// (edges included) below it; NaN for none.
double brute_ground(const std::vector<PackCollTriangle> &tris, double x, double y, double z) {
    double best = NAN;
    for (const PackCollTriangle &t : tris) {
        double n[3];
        unit_normal(t, n);
        if (!(n[1] > 0)) continue;
        const float *p[3] = {t.a, t.b, t.c};
        bool inside = true;
        for (int e = 0; e < 3; ++e) {
            const float *a = p[e], *b = p[(e + 1) % 3];
            if ((double(b[0]) - a[0]) * (z - a[2]) - (double(b[2]) - a[2]) * (x - a[0]) > 0)
                inside = false;
        }
        if (!inside) continue;
        double h = t.a[1] - (n[0] * (x - t.a[0]) + n[2] * (z - t.a[2])) / n[1];
        if (h <= y && !(h <= best)) best = h;
    }
    return best;
}

TEST_F(Queries, GroundHeightOnTheColumnAndTheHierarchyPaths) {
    std::vector<PackCollTriangle> floor = coll_test_floor(10, 0.0f, 1);
    // A raised block on tiles (2..4, 2..4) at y = 1 and a room's walls around everything.
    for (const PackCollTriangle &t : coll_test_floor(2, 1.0f, 500)) {
        PackCollTriangle u = t;
        for (float *p : {u.a, u.b, u.c}) p[0] += 2, p[2] += 2;
        floor.push_back(u);
    }
    for (PackCollTriangle t : coll_test_room(5.0f, 3.0f)) {
        for (float *p : {t.a, t.b, t.c}) p[0] += 5, p[2] += 5;
        floor.push_back(t);
    }
    ResourceHandle h = coll_test_mesh("q_ground", floor, {5, 2, 5, -1});
    ASSERT_NE(h, 0u);
    Collider *c = coll_create_model_collider(h, nullptr, 7, 1, 0, nullptr);
    ASSERT_NE(c, nullptr);
    const CollisionMeshRecord *mesh = res_collmesh_record(h);

    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(0.0f, 10.0f);
    int hits = 0;
    for (int i = 0; i < 2000; ++i) {
        // Tile borders, diagonals (shared triangle edges) and free points.
        Vec3 p;
        switch (i % 4) {
            case 0:
                p = {float(int(u(rng))), 2.5f, u(rng)};
                break;
            case 1:
                p = {u(rng), 2.5f, float(int(u(rng)))};
                break;
            case 2: {
                float a = u(rng), k = float(int(u(rng)));
                p = {a, 2.5f, k + (1.0f - (a - std::floor(a)))}; // x + z = integer
                break;
            }
            default:
                p = {u(rng), 2.5f, u(rng)};
                break;
        }
        double want = brute_ground(floor, p.x, p.y, p.z);
        float height = NAN;
        uint8_t got = coll_ground_height(&p, &height, nullptr, nullptr, 0, COLL_FILTER_ANY);
        ASSERT_EQ(got == 1, !std::isnan(want)) << p.x << " " << p.z;
        if (!got) continue;
        ++hits;
        EXPECT_NEAR(height, want, 1e-3) << p.x << " " << p.z;
        // The hierarchy path: the same downward segment through the walk (a start on a
        // wall's plane would hit that wall at t = 0 there).
        if (p.x == 0 || p.x == 10 || p.z == 0 || p.z == 10) continue;
        float t;
        Vec3 down = {0, -10000, 0};
        ASSERT_EQ(coll_segment_mesh_t(mesh, nullptr, &p, &down, &t, nullptr, nullptr), 1);
        EXPECT_NEAR(p.y - 10000.0f * t, height, 1e-3);
    }
    EXPECT_GT(hits, 1800);
    // On a wall's line the floor is found, not the wall.
    Vec3 on_wall = {0.0f, 2.5f, 3.5f};
    float height;
    ASSERT_EQ(coll_ground_height(&on_wall, &height, nullptr, nullptr, 0, COLL_FILTER_ANY), 1);
    EXPECT_NEAR(height, 0.0f, 1e-3);
    // 3 units above the floor: t = 3 / 10000.
    Vec3 above = {7.5f, 3.0f, 7.5f};
    CollMeshHit hit;
    ASSERT_TRUE(coll_mesh_ground(mesh, nullptr, &above, &hit));
    EXPECT_NEAR(hit.t, 0.0003f, 1e-7);
    // Outside the grid, non-finite points, the own group and another filter: no hit.
    for (Vec3 p : {Vec3{-0.5f, 1, 5}, Vec3{10.5f, 1, 5}, Vec3{NAN, 1, 5}, Vec3{INFINITY, 1, 5},
                   Vec3{5, 1, 1e30f}})
        EXPECT_EQ(coll_ground_height(&p, nullptr, nullptr, nullptr, 0, COLL_FILTER_ANY), 0);
    EXPECT_EQ(coll_ground_height(&above, nullptr, nullptr, nullptr, 1, COLL_FILTER_ANY), 0);
    EXPECT_EQ(coll_ground_height(&above, nullptr, nullptr, nullptr, 0, 8), 0);
    EXPECT_EQ(coll_ground_height(&above, nullptr, nullptr, nullptr, 0, 7), 1);
}

// Closest distance from p to the triangle, in double.
double triangle_distance(const PackCollTriangle &t, const double *p) {
    double a[3], b[3], c[3];
    for (int k = 0; k < 3; ++k) a[k] = t.a[k], b[k] = t.b[k], c[k] = t.c[k];
    auto sub = [](double *o, const double *x, const double *y) {
        for (int k = 0; k < 3; ++k) o[k] = x[k] - y[k];
    };
    auto dot = [](const double *x, const double *y) {
        return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    };
    double n[3];
    unit_normal(t, n);
    double ap[3];
    sub(ap, p, a);
    double dist = dot(ap, n);
    double q[3] = {p[0] - dist * n[0], p[1] - dist * n[1], p[2] - dist * n[2]};
    const double *v[3] = {a, b, c};
    bool inside = true;
    for (int e = 0; e < 3; ++e) {
        double edge[3], to[3];
        sub(edge, v[(e + 1) % 3], v[e]);
        sub(to, q, v[e]);
        double x[3] = {edge[1] * to[2] - edge[2] * to[1], edge[2] * to[0] - edge[0] * to[2],
                       edge[0] * to[1] - edge[1] * to[0]};
        if (dot(x, n) < 0) inside = false;
    }
    if (inside) return std::fabs(dist);
    double best = 1e30;
    for (int e = 0; e < 3; ++e) {
        double edge[3], to[3];
        sub(edge, v[(e + 1) % 3], v[e]);
        sub(to, p, v[e]);
        double f = std::clamp(dot(to, edge) / dot(edge, edge), 0.0, 1.0);
        double w[3] = {v[e][0] + f * edge[0] - p[0], v[e][1] + f * edge[1] - p[1],
                       v[e][2] + f * edge[2] - p[2]};
        best = std::min(best, std::sqrt(dot(w, w)));
    }
    return best;
}

TEST_F(Queries, SphereAgainstMesh) {
    std::vector<PackCollTriangle> soup = coll_test_soup(500, 0, 10, 1.6f, 13);
    ResourceHandle h = coll_test_mesh("q_sphere", soup, {4, 4, 4, -1});
    ASSERT_NE(h, 0u);
    const CollisionMeshRecord *mesh = res_collmesh_record(h);
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> pos(-1, 11), rad(0.05f, 1.0f);
    int contacts = 0, misses = 0;
    for (int i = 0; i < 2000; ++i) {
        Vec3 c = {pos(rng), pos(rng), pos(rng)};
        float r = rad(rng);
        const double p[3] = {c.x, c.y, c.z};
        double nearest = 1e30;
        for (const PackCollTriangle &t : soup) nearest = std::min(nearest, triangle_distance(t, p));
        Vec3 q;
        uint8_t got = coll_sphere_mesh(mesh, nullptr, &c, r, &q, nullptr, nullptr, nullptr);
        if (nearest < r - 1e-4) {
            EXPECT_EQ(got, 1) << i;
            ++contacts;
        } else if (nearest > r + 1e-4) {
            EXPECT_EQ(got, 0) << i;
            ++misses;
        }
    }
    EXPECT_GT(contacts, 300);
    EXPECT_GT(misses, 300);
}

// ---------------------------------------------------------------------------------------------
// Data that lies: triangles and headers patched in a packed body after it was built. The record
// is made over the bytes themselves, so the queries see them as written.

class RawMesh {
  public:
    explicit RawMesh(std::vector<uint8_t> body) : body_(std::move(body)) {
        record_.data = body_.data();
        record_.size = uint32_t(body_.size());
    }
    RawMesh(const RawMesh &) = delete;
    RawMesh &operator=(const RawMesh &) = delete;
    const CollisionMeshRecord *record() const { return &record_; }
    const std::vector<uint8_t> &bytes() const { return body_; }
    CollMeshHeader *header() { return reinterpret_cast<CollMeshHeader *>(body_.data()); }
    // Every triangle with this face word, in the cells and among the large triangles.
    std::vector<CollMeshTriangle *> triangles(uint32_t face) {
        std::vector<CollMeshTriangle *> out;
        const CollMeshHeader *h = res_collmesh_header(&record_);
        for (uint32_t i = 0; h && i < h->cell_count; ++i) {
            const CollMeshCell *cell = res_collmesh_cell(&record_, h, i);
            for (uint32_t j = 0; cell && j < cell->triangle_count; ++j) {
                const CollMeshTriangle *t = res_collmesh_cell_triangle(&record_, cell, j);
                if (t && t->face == face) out.push_back(const_cast<CollMeshTriangle *>(t));
            }
        }
        for (uint32_t i = 0; h && i < h->large_count; ++i) {
            const CollMeshLarge *l = res_collmesh_large(&record_, h, i);
            if (l && l->triangle.face == face)
                out.push_back(const_cast<CollMeshTriangle *>(&l->triangle));
        }
        return out;
    }
    // The one triangle with this face word; null when there is not exactly one.
    CollMeshTriangle *triangle(uint32_t face) {
        std::vector<CollMeshTriangle *> all = triangles(face);
        return all.size() == 1 ? all[0] : nullptr;
    }

  private:
    std::vector<uint8_t> body_;
    CollisionMeshRecord record_{};
};

PackCollTriangle flat(float ax, float az, float bx, float bz, float cx, float cz, float y,
                      uint32_t face) {
    return PackCollTriangle{{ax, y, az}, {bx, y, bz}, {cx, y, cz}, face};
}

// The floor face under (x, z) of a coll_test_floor(n, ...) with face base 1.
uint32_t floor_face(int n, float x, float z) {
    return 1 + uint32_t(int(z) * n + int(x));
}

TEST_F(Queries, DegenerateAndZeroNormalTrianglesNeverHit) {
    // A 4 x 4 floor at 0; above it a triangle whose corners coincide (y 2), one whose corners
    // lie on a line (y 3), both given an upward normal and a bounding sphere that reaches
    // everywhere, and a sound triangle (y 4) whose normal is zero. None of them is a surface:
    // everything goes through them to the floor.
    std::vector<PackCollTriangle> tris = coll_test_floor(4, 0.0f, 1);
    tris.push_back(flat(1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 2.0f, 900));
    tris.push_back(flat(0.2f, 0.5f, 0.6f, 0.5f, 1.0f, 0.5f, 3.0f, 901));
    tris.push_back(flat(3, 3, 3, 4, 4, 3, 4.0f, 902));
    RawMesh raw(pack_collision_mesh_body("q_lies", tris, {2, 1, 2, -1}));
    for (uint32_t face : {900u, 901u}) {
        CollMeshTriangle *t = raw.triangle(face);
        ASSERT_NE(t, nullptr);
        t->normal = Vec3{0, 1, 0};
        t->radius = 100.0f;
    }
    ASSERT_NE(raw.triangle(902), nullptr);
    raw.triangle(902)->normal = Vec3{0, 0, 0};
    const CollisionMeshRecord *mesh = raw.record();

    // Beside the point, on the line's own span, under the zero-normal triangle.
    const Vec3 points[] = {{1.75f, 5, 1.5f}, {0.3f, 5, 1.7f}, {0.6f, 5, 0.5f},
                           {1.2f, 5, 0.5f},  {3.3f, 5, 3.3f}, {1.5f, 5, 1.5f}};
    Mat4 shift;
    const Vec3 by = {10, 0, 0};
    mat4_translation(&shift, &by);
    for (const Vec3 &p : points) {
        // The column walk, and the hierarchy walk under a moved placement.
        CollMeshHit hit;
        ASSERT_TRUE(coll_mesh_ground(mesh, nullptr, &p, &hit)) << p.x << " " << p.z;
        EXPECT_NEAR(p.y - 10000.0f * hit.t, 0.0f, 1e-3) << p.x << " " << p.z;
        EXPECT_EQ(hit.face, floor_face(4, p.x, p.z));
        const Vec3 moved = {p.x + 10, p.y, p.z};
        ASSERT_TRUE(coll_mesh_ground(mesh, &shift, &moved, &hit));
        EXPECT_NEAR(p.y - 10000.0f * hit.t, 0.0f, 1e-3) << p.x << " " << p.z;
        // A segment from 5 units up to 5 units down meets the floor half way.
        const Vec3 down = {0, -10, 0};
        float t;
        Vec3 n;
        uint32_t face;
        ASSERT_EQ(coll_segment_mesh_t(mesh, nullptr, &p, &down, &t, &n, &face), 1);
        EXPECT_NEAR(t, 0.5f, 1e-6);
        EXPECT_EQ(face, floor_face(4, p.x, p.z));
        EXPECT_EQ(n.y, 1.0f);
        // A sphere 0.25 above the lying triangles' planes, far from the floor: no contact.
        for (float y : {2.25f, 3.25f, 4.25f}) {
            const Vec3 c = {p.x, y, p.z};
            EXPECT_EQ(coll_sphere_mesh(mesh, nullptr, &c, 0.5f, nullptr, nullptr, nullptr, nullptr),
                      0)
                << p.x << " " << y << " " << p.z;
        }
    }

    // The same body loaded and queried through a collider and a probe.
    ASSERT_TRUE(coll_test_load("q_lies", CHUNK_TAG_COLLISION_MESH, raw.bytes()));
    ResourceHandle h = res_find_collmesh(nullptr, "q_lies");
    ASSERT_NE(coll_create_model_collider(h, nullptr, 1, 1, 0, nullptr), nullptr);
    const Vec3 beside = points[0], down = {0, -10, 0};
    float height = -1;
    ASSERT_EQ(coll_ground_height(&beside, &height, nullptr, nullptr, 0, COLL_FILTER_ANY), 1);
    EXPECT_NEAR(height, 0.0f, 1e-3);
    CollisionProbe *probe = coll_create_probe(&beside, &down, 0, 0, 0, COLL_FILTER_ANY);
    ASSERT_NE(probe, nullptr);
    coll_update();
    ASSERT_TRUE(coll_probe_was_hit(probe));
    EXPECT_NEAR(probe->hit.point.y, 0.0f, 1e-5);
}

TEST_F(Queries, NonFiniteDataAndInputsGiveNothingNonFinite) {
    // Two sound floor triangles far apart from three lying ones: a NaN normal, a NaN corner,
    // a normal of infinite length.
    std::vector<PackCollTriangle> tris = {
        flat(0, 0, 0, 1, 1, 0, 0.0f, 1), flat(2, 0, 2, 1, 3, 0, 0.0f, 2),
        flat(4, 0, 4, 1, 5, 0, 0.0f, 3), flat(8, 8, 8, 9, 9, 8, 0.0f, 4)};
    RawMesh raw(pack_collision_mesh_body("q_nan", tris, {1, 1, 1, 0}));
    ASSERT_TRUE(raw.triangle(1) && raw.triangle(2) && raw.triangle(3));
    raw.triangle(1)->normal.y = NAN;
    raw.triangle(2)->a.x = NAN;
    raw.triangle(3)->normal.y = INFINITY;
    const CollisionMeshRecord *mesh = raw.record();
    for (float x : {0.25f, 2.25f, 4.25f}) {
        const Vec3 c = {x, 0.1f, 0.25f}, s = {x, 1, 0.25f}, d = {0, -2, 0};
        Vec3 q{}, n{};
        float depth = 0;
        EXPECT_EQ(coll_sphere_mesh(mesh, nullptr, &c, 0.5f, &q, &depth, &n, nullptr), 0) << x;
        EXPECT_EQ(coll_segment_mesh_t(mesh, nullptr, &s, &d, nullptr, nullptr, nullptr), 0) << x;
    }
    // Non-finite points, segments, spheres and placements hit nothing, also the sound triangle.
    const Vec3 above = {8.25f, 1, 8.25f}, down = {0, -2, 0};
    CollMeshHit hit;
    ASSERT_TRUE(coll_mesh_ground(mesh, nullptr, &above, &hit));
    ASSERT_EQ(coll_segment_mesh_t(mesh, nullptr, &above, &down, nullptr, nullptr, nullptr), 1);
    Mat4 id;
    mat4_identity(&id);
    for (int k = 0; k < 4; ++k) {
        const float v = k % 2 ? INFINITY : NAN;
        Vec3 p = above, dd = down;
        if (k < 2) {
            (&p.x)[k] = v;
        } else {
            (&dd.x)[k - 1] = v;
        }
        EXPECT_EQ(coll_segment_mesh_t(mesh, nullptr, &p, &dd, nullptr, nullptr, nullptr), 0) << k;
        const Vec3 c = {8.25f, k < 2 ? v : 0.1f, 8.25f};
        EXPECT_EQ(coll_sphere_mesh(mesh, nullptr, &c, k < 2 ? 0.5f : v, nullptr, nullptr, nullptr,
                                   nullptr),
                  0)
            << k;
        Mat4 m = id;
        m.m[k][(k + 1) % 3] = v; // a NaN off the diagonal compares as no difference
        EXPECT_FALSE(coll_mesh_ground(mesh, &m, &above, &hit)) << k;
        EXPECT_EQ(coll_segment_mesh_t(mesh, &m, &above, &down, nullptr, nullptr, nullptr), 0) << k;
    }
}

TEST_F(Queries, NoGroundAtTheGridsMaximumEdge) {
    // The grid box set exactly to the floor's extent: a point on its maximum x or z lies past
    // the last column, so nothing is found there although the floor's edge runs along it.
    RawMesh raw(pack_collision_mesh_body("q_edge", coll_test_floor(4, 0.0f, 1), {2, 1, 2, -1}));
    raw.header()->grid_min.x = raw.header()->grid_min.z = 0.0f;
    raw.header()->grid_max.x = raw.header()->grid_max.z = 4.0f;
    CollMeshHit hit;
    for (Vec3 p : {Vec3{4.0f, 1, 2.5f}, Vec3{2.5f, 1, 4.0f}, Vec3{4.0f, 1, 4.0f}})
        EXPECT_FALSE(coll_mesh_ground(raw.record(), nullptr, &p, &hit)) << p.x << " " << p.z;
    // Just inside, and on the minimum edge, the floor is there.
    for (Vec3 p : {Vec3{3.999f, 1, 2.5f}, Vec3{2.5f, 1, 3.999f}, Vec3{0.0f, 1, 2.5f}}) {
        ASSERT_TRUE(coll_mesh_ground(raw.record(), nullptr, &p, &hit)) << p.x << " " << p.z;
        EXPECT_NEAR(p.y - 10000.0f * hit.t, 0.0f, 1e-3);
    }
}

TEST_F(Queries, StoredNormalsOfAnyLengthAreFoundAtTheirPlane) {
    // Floors whose stored normals point up with lengths 1e-40 and 1000: loaded, each is found at
    // its own height (0 and 1) with a unit normal, on the column and the hierarchy paths.
    std::vector<PackCollTriangle> tris = coll_test_floor(2, 0.0f, 1);
    for (PackCollTriangle t : coll_test_floor(2, 1.0f, 11)) {
        for (float *p : {t.a, t.b, t.c}) p[0] += 4;
        tris.push_back(t);
    }
    RawMesh raw(pack_collision_mesh_body("q_lengths", tris, {2, 1, 1, -1}));
    for (uint32_t face = 1; face <= 4; ++face) {
        ASSERT_EQ(raw.triangles(face).size(), 2u);
        for (CollMeshTriangle *t : raw.triangles(face)) t->normal = Vec3{0, 1e-40f, 0};
        for (CollMeshTriangle *t : raw.triangles(face + 10)) t->normal = Vec3{0, 1000, 0};
    }
    ASSERT_TRUE(coll_test_load("q_lengths", CHUNK_TAG_COLLISION_MESH, raw.bytes()));
    ResourceHandle h = res_find_collmesh(nullptr, "q_lengths");
    ASSERT_NE(coll_create_model_collider(h, nullptr, 1, 1, 0, nullptr), nullptr);
    Mat4 shift;
    const Vec3 by = {0, 0, 10};
    mat4_translation(&shift, &by);
    // Both triangles of a tile: x + z below and above the tile's diagonal.
    for (int i = 0; i < 8; ++i) {
        const float x = (i % 4 < 2 ? 0.3f : 4.3f) + (i % 2 ? 1.3f : 0.0f), z = i < 4 ? 0.2f : 0.9f;
        const float want = x < 4 ? 0.0f : 1.0f;
        const Vec3 p = {x, 2.0f, z}, moved = {x, 2.0f, z + 10};
        float height = -1;
        Vec3 n{};
        ASSERT_EQ(coll_ground_height(&p, &height, &n, nullptr, 0, COLL_FILTER_ANY), 1) << x;
        EXPECT_NEAR(height, want, 1e-3) << x;
        EXPECT_NEAR(n.y, 1.0f, 1e-6) << x;
        CollMeshHit hit;
        ASSERT_TRUE(coll_mesh_ground(res_collmesh_record(h), &shift, &moved, &hit)) << x;
        EXPECT_NEAR(moved.y - 10000.0f * hit.t, want, 1e-3) << x;
        EXPECT_NEAR(hit.normal.y, 1.0f, 1e-6) << x;
    }
}

} // namespace
