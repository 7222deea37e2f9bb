// Collision meshes and shape sets made by the packer's builders, loaded through the data loader,
// read back through the pools' queries; damaged bodies are refused by the handler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "coll_test_env.h"
#include "collision/collider.h"
#include "resource/chunks.h"
#include "resource/res_collmesh.h"

namespace {

class CollMeshData : public ::testing::Test {
  protected:
    void SetUp() override { coll_test_start(); }
};

void expect_vec(const Vec3 &v, const float *p) {
    EXPECT_EQ(v.x, p[0]);
    EXPECT_EQ(v.y, p[1]);
    EXPECT_EQ(v.z, p[2]);
}

TEST_F(CollMeshData, TrianglesComeBackAsWritten) {
    std::vector<PackCollTriangle> floor = coll_test_floor(10, 0.0f, 7);
    ResourceHandle h = coll_test_mesh("cm_floor", floor, PackCollGrid{});
    ASSERT_NE(h, 0u);
    ASSERT_EQ(res_collmesh_triangle_count(h), 200);
    for (int i = 0; i < 200; ++i) {
        CollMeshTriangleInfo t;
        ASSERT_TRUE(res_collmesh_triangle(h, i, &t));
        expect_vec(t.corners[0], floor[i].a);
        expect_vec(t.corners[1], floor[i].b);
        expect_vec(t.corners[2], floor[i].c);
        EXPECT_EQ(t.face, floor[i].face);
        EXPECT_NEAR(t.normal.y, 1.0f, 1e-6f);
        EXPECT_NEAR(t.centroid.x, (floor[i].a[0] + floor[i].b[0] + floor[i].c[0]) / 3.0, 1e-5);
    }
    EXPECT_FALSE(res_collmesh_triangle(h, 200, nullptr));
    EXPECT_FALSE(res_collmesh_triangle(h, -1, nullptr));
    EXPECT_EQ(res_collmesh_triangle_count(0), 0);

    // On a 4 x 1 x 4 grid the tiles that cross a cell border become large triangles, which the
    // count over the cells leaves out.
    PackCollInfo info;
    std::vector<uint8_t> body = pack_collision_mesh_body("cm_grid", floor, {4, 1, 4, -1}, &info);
    ASSERT_TRUE(coll_test_load("cm_grid", CHUNK_TAG_COLLISION_MESH, body));
    ResourceHandle g = res_find_collmesh(nullptr, "cm_grid");
    EXPECT_GT(info.large_triangles, 0u);
    EXPECT_EQ(info.cell_triangles + info.large_triangles, 200u);
    EXPECT_EQ(res_collmesh_triangle_count(g), int32_t(info.cell_triangles));
}

TEST_F(CollMeshData, ShapeSetReach) {
    std::vector<PackSphere> spheres = {{1, 0, 0, 0}, {0.5f, 3, 4, 0}, {2, 0, 0, -1}};
    ASSERT_TRUE(
        coll_test_load("ss_three", CHUNK_TAG_SHAPE_SET, pack_shape_set_body("three", spheres)));
    ResourceHandle h = res_find_shape_set(nullptr, "three");
    ASSERT_NE(h, 0u);
    const ShapeSetRecord *r = res_shapeset_record(h);
    EXPECT_FLOAT_EQ(r->radius, 5.5f); // |(3, 4, 0)| + 0.5
    ASSERT_EQ(res_shape_set_sphere_count(r), 3u);
    EXPECT_EQ(res_shape_set_sphere(r, 2)->radius, 2.0f);
    EXPECT_EQ(res_shape_set_sphere(r, 3), nullptr);

    // A count past the body leaves the set missing (the file still loads).
    std::vector<uint8_t> bad = pack_shape_set_body("bad", spheres);
    bad[8] = 4;
    EXPECT_TRUE(chunk_load_shape_set("g", bad.data(), uint32_t(bad.size()), 0));
    EXPECT_EQ(res_find_shape_set(nullptr, "bad"), 0u);
    // So does a name offset past the body, which no set can be made from.
    const int32_t sets = res_shape_set_count();
    bad = pack_shape_set_body("bad", spheres);
    const uint32_t past = uint32_t(bad.size());
    std::memcpy(&bad[0], &past, 4);
    EXPECT_TRUE(chunk_load_shape_set("g", bad.data(), uint32_t(bad.size()), 0));
    EXPECT_EQ(res_shape_set_count(), sets);
}

void set_u32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
}
uint32_t get_u32(const std::vector<uint8_t> &b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
void set_f32(std::vector<uint8_t> &b, size_t at, float f) {
    std::memcpy(&b[at], &f, 4);
}

bool loads(std::vector<uint8_t> b) {
    return chunk_load_collision_mesh("damaged", b.data(), uint32_t(b.size()), 0);
}

TEST_F(CollMeshData, DamagedBodiesAreRefused) {
    std::vector<PackCollTriangle> soup = coll_test_soup(60, 0, 8, 1.5f, 5);
    std::vector<uint8_t> good = pack_collision_mesh_body("damaged", soup, {4, 2, 4, -1});
    ASSERT_TRUE(loads(good));
    const uint32_t size = uint32_t(good.size());

    // Every offset and count of the header, pushed past the body or to huge values.
    for (size_t at : {4u, 8u, 12u, 16u, 64u, 72u, 76u, 80u, 84u})
        for (uint32_t v : {size, size - 4, 0x7FFFFFFFu, 0xFFFFFFFFu, 0x40000000u, 0x55555556u}) {
            std::vector<uint8_t> b = good;
            set_u32(b, at, v);
            EXPECT_FALSE(loads(b)) << "header word " << at << " = " << v;
        }
    // nx * ny * nz overflowing 32 bits to the stored cell count.
    {
        std::vector<uint8_t> b = good;
        set_u32(b, 8, 0x10000u * 2);
        set_u32(b, 12, 0x8000u);
        set_u32(b, 16, 1);
        set_u32(b, 4, 0);
        EXPECT_FALSE(loads(b));
    }
    // Grid floats: NaN, infinite, max = min.
    for (size_t at : {20u, 24u, 28u, 32u, 36u, 40u}) {
        for (float f : {std::numeric_limits<float>::quiet_NaN(), INFINITY}) {
            std::vector<uint8_t> b = good;
            set_f32(b, at, f);
            EXPECT_FALSE(loads(b)) << at;
        }
        std::vector<uint8_t> b = good;
        std::memcpy(&b[at < 32 ? at + 12 : at - 12], &b[at], 4);
        EXPECT_FALSE(loads(b)) << "max = min at " << at;
    }
    const uint32_t cells = get_u32(good, 64), cell_count = get_u32(good, 4);
    // A cell's triangle count or offset past the body.
    for (uint32_t c = 0; c < cell_count; ++c) {
        if (get_u32(good, cells + c * 48) == 0) continue;
        std::vector<uint8_t> b = good;
        set_u32(b, cells + c * 48, 0x038E38E4u); // 72 x this wraps 32 bits
        EXPECT_FALSE(loads(b));
        b = good;
        set_u32(b, cells + c * 48 + 4, size - 8);
        EXPECT_FALSE(loads(b));
        break;
    }
    // Large triangles: a cell number equal to the cell count, a list past the body.
    const uint32_t large = get_u32(good, 72);
    ASSERT_GT(get_u32(good, 76), 0u);
    {
        std::vector<uint8_t> b = good;
        set_u32(b, get_u32(good, large + 76), cell_count);
        EXPECT_FALSE(loads(b));
        b = good;
        set_u32(b, large, 0x40000001u);
        EXPECT_FALSE(loads(b));
    }
    // Nodes: child count 3, a child number equal to its table's count.
    const uint32_t levels = get_u32(good, 80);
    ASSERT_GE(get_u32(good, 84), 2u);
    for (uint32_t l = 0; l < 2; ++l) {
        uint32_t nodes = get_u32(good, levels + l * 28 + 24);
        uint32_t below = l == 0 ? cell_count : get_u32(good, levels + (l - 1) * 28);
        std::vector<uint8_t> b = good;
        set_u32(b, nodes, 3);
        EXPECT_FALSE(loads(b));
        b = good;
        set_u32(b, nodes + 44 + 12, below);
        EXPECT_FALSE(loads(b)) << "level " << l;
        b = good;
        set_u32(b, nodes + 44 + 12, below - 1);
        EXPECT_TRUE(loads(b));
    }
    EXPECT_FALSE(loads(std::vector<uint8_t>(good.begin(), good.begin() + 80)));
}

// Triangle k of cell 0 of a body packed on a one-cell grid without levels (input order).
size_t cell0_triangle(const std::vector<uint8_t> &b, uint32_t k) {
    return get_u32(b, get_u32(b, 64) + 4) + 72 * k;
}
void set_vec(std::vector<uint8_t> &b, size_t at, float x, float y, float z) {
    set_f32(b, at, x);
    set_f32(b, at + 4, y);
    set_f32(b, at + 8, z);
}

TEST_F(CollMeshData, NormalsAreUnitOrZeroAfterLoad) {
    // A 4 x 4 floor at height 0 (32 triangles), then: a triangle whose corners coincide at
    // height 2, one whose corners lie on a line, one with a tiny and one with a long stored
    // normal, one with a zero stored normal and one with a slanted normal of length 3.
    std::vector<PackCollTriangle> tris = coll_test_floor(4, 0.0f, 0);
    const PackCollTriangle extra[] = {
        {{1.5f, 2, 1.5f}, {1.5f, 2, 1.5f}, {1.5f, 2, 1.5f}, 100},
        {{0.5f, 1, 0.5f}, {1, 1, 1}, {2, 1, 2}, 101},
        {{0, 0.5f, 0}, {0, 0.5f, 0.25f}, {0.25f, 0.5f, 0}, 102},
        {{0, 0.7f, 0}, {0, 0.7f, 0.25f}, {0.25f, 0.7f, 0}, 103},
        {{0, 0.9f, 0}, {0, 0.9f, 0.25f}, {0.25f, 0.9f, 0}, 104},
        {{3, 3, 3}, {3, 3, 3.25f}, {3.25f, 3, 3}, 105},
    };
    tris.insert(tris.end(), std::begin(extra), std::end(extra));
    std::vector<uint8_t> b = pack_collision_mesh_body("cm_normals", tris, {1, 1, 1, 0});
    const size_t normal = 36;
    set_vec(b, cell0_triangle(b, 32) + normal, 0, 1, 0); // the point: stored upward
    set_vec(b, cell0_triangle(b, 33) + normal, 0, 1, 0); // the line: stored upward
    set_vec(b, cell0_triangle(b, 34) + normal, 0, 1e-40f, 0);
    set_vec(b, cell0_triangle(b, 35) + normal, 0, 1000, 0);
    set_vec(b, cell0_triangle(b, 36) + normal, 0, 0, 0);
    set_vec(b, cell0_triangle(b, 37) + normal, 1, 2, 2); // length 3
    // The tiny normal replaces the floor's: (0, 1e-40, 0) on every floor triangle.
    for (uint32_t k = 0; k < 32; ++k) set_vec(b, cell0_triangle(b, k) + normal, 0, 1e-40f, 0);
    ASSERT_TRUE(coll_test_load("cm_normals", CHUNK_TAG_COLLISION_MESH, b));
    ResourceHandle h = res_find_collmesh(nullptr, "cm_normals");
    ASSERT_NE(h, 0u);

    const float want[6][3] = {{0, 0, 0}, {0, 0, 0}, {0, 1, 0},
                              {0, 1, 0}, {0, 0, 0}, {1 / 3.0f, 2 / 3.0f, 2 / 3.0f}};
    for (int k = 0; k < 6; ++k) {
        CollMeshTriangleInfo t;
        ASSERT_TRUE(res_collmesh_triangle(h, 32 + k, &t));
        EXPECT_NEAR(t.normal.x, want[k][0], 1e-7) << k;
        EXPECT_NEAR(t.normal.y, want[k][1], 1e-7) << k;
        EXPECT_NEAR(t.normal.z, want[k][2], 1e-7) << k;
        if (want[k][1] == 0) {
            EXPECT_EQ(t.normal.y, 0.0f) << k; // exactly zero
        }
    }

    // The floor is found at its own height beside the collapsed triangle and under it, and
    // neither the point nor the line stands in for an infinite plane.
    ASSERT_NE(coll_create_model_collider(h, nullptr, 1, 1, 0, nullptr), nullptr);
    for (const Vec3 &p : {Vec3{1.2f, 5, 1.7f}, Vec3{1.5f, 5, 1.5f}, Vec3{2.6f, 5, 0.4f}}) {
        float height = -1;
        ASSERT_EQ(coll_ground_height(&p, &height, nullptr, nullptr, 0, COLL_FILTER_ANY), 1);
        EXPECT_NEAR(height, 0.0f, 1e-3) << p.x << " " << p.z;
    }
}

TEST_F(CollMeshData, NonFiniteAndHugeValuesAreRefused) {
    std::vector<PackCollTriangle> soup = coll_test_soup(60, 0, 8, 1.5f, 5);
    const std::vector<uint8_t> good = pack_collision_mesh_body("damaged", soup, {4, 2, 4, -1});
    ASSERT_TRUE(loads(good));
    const uint32_t cell = get_u32(good, 64), large = get_u32(good, 72);
    uint32_t tri = 0;
    for (uint32_t c = 0; c < get_u32(good, 4) && !tri; ++c)
        if (get_u32(good, cell + 48 * c)) tri = get_u32(good, cell + 48 * c + 4);
    ASSERT_NE(tri, 0u);
    const uint32_t nodes = get_u32(good, get_u32(good, 80) + 24);
    struct Where {
        const char *what;
        uint32_t at;
        bool normal; // normals only need to be finite: they are made unit length at load
    } places[] = {
        {"header grid min", 20, false},       {"header centre", 48, false},
        {"header size float", 56, false},     {"header radius", 60, false},
        {"cell box", cell + 8, false},        {"cell radius", cell + 44, false},
        {"triangle corner", tri + 28, false}, {"triangle normal", tri + 40, true},
        {"triangle centre", tri + 52, false}, {"triangle radius", tri + 60, false},
        {"large corner", large + 4, false},   {"large normal", large + 4 + 36, true},
        {"node box half", nodes + 20, false}, {"node radius", nodes + 40, false},
    };
    for (const Where &w : places) {
        for (float f : {std::numeric_limits<float>::quiet_NaN(), -INFINITY, 3e38f, -1.5e9f}) {
            std::vector<uint8_t> b = good;
            set_f32(b, w.at, f);
            const bool finite = std::isfinite(f);
            EXPECT_EQ(loads(b), w.normal && finite) << w.what << " = " << f;
        }
    }
    // 1e9 itself is accepted.
    std::vector<uint8_t> b = good;
    set_f32(b, 60, 1e9f);
    EXPECT_TRUE(loads(b));

    // 65536 x 4294901761 x 65537 is 2^64 + 65536: in 64 bits it wraps to a cell count of 65536.
    b = good;
    set_u32(b, 8, 65536);
    set_u32(b, 12, 4294901761u);
    set_u32(b, 16, 65537);
    set_u32(b, 4, 65536);
    EXPECT_FALSE(loads(b));
}

TEST_F(CollMeshData, TablesOverTheHeaderOrEachOtherAreRefused) {
    std::vector<PackCollTriangle> soup = coll_test_soup(60, 0, 8, 1.5f, 5);
    const std::vector<uint8_t> good = pack_collision_mesh_body("damaged", soup, {4, 2, 4, -1});
    const uint32_t cells = get_u32(good, 64), large = get_u32(good, 72);
    const uint32_t levels = get_u32(good, 80), cell_count = get_u32(good, 4);
    // Cells with triangles, and the first triangle bytes of each.
    std::vector<uint32_t> full;
    for (uint32_t c = 0; c < cell_count; ++c)
        if (get_u32(good, cells + 48 * c)) full.push_back(c);
    ASSERT_GE(full.size(), 2u);
    const uint32_t tri0 = get_u32(good, cells + 48 * full[0] + 4);
    const uint32_t tri1 = get_u32(good, cells + 48 * full[1] + 4);
    struct Damage {
        const char *what;
        uint32_t at, value;
    } damages[] = {
        {"name at offset 0", 0, 0},
        {"name inside the header", 0, 40},
        {"name inside the cells", 0, cells + 8},
        {"cells inside the header", 64, 0},
        {"large triangles inside the header", 72, 8},
        {"levels inside the header", 80, 4},
        {"a cell's triangles at the header", cells + 48 * full[0] + 4, 0},
        {"a cell's triangles over another cell's", cells + 48 * full[1] + 4, tri0},
        {"a cell's triangles over the cell table", cells + 48 * full[0] + 4, cells},
        {"a cell's triangles over the large triangles", cells + 48 * full[0] + 4, large},
        {"a large triangle's cell list over a triangle", large + 76, tri1},
        {"a level's nodes over the level table", levels + 24, levels},
    };
    ASSERT_TRUE(loads(good));
    for (const Damage &d : damages) {
        std::vector<uint8_t> b = good;
        set_u32(b, d.at, d.value);
        EXPECT_FALSE(loads(b)) << d.what;
    }
}

TEST_F(CollMeshData, WalkGivesEveryTriangleInIndexOrder) {
    // Empty cells among full ones, on a grid fine enough to leave many empty.
    std::vector<PackCollTriangle> soup = coll_test_soup(300, 0, 20, 1.0f, 11);
    PackCollInfo info;
    std::vector<uint8_t> body = pack_collision_mesh_body("cm_walk", soup, {8, 2, 8, -1}, &info);
    ASSERT_TRUE(coll_test_load("cm_walk", CHUNK_TAG_COLLISION_MESH, body));
    ResourceHandle h = res_find_collmesh(nullptr, "cm_walk");
    ASSERT_NE(h, 0u);
    const int32_t n = res_collmesh_triangle_count(h);
    ASSERT_EQ(n, int32_t(info.cell_triangles));
    CollMeshWalk w;
    ASSERT_TRUE(res_collmesh_walk_begin(&w, h));
    CollMeshTriangleInfo got, want;
    int32_t i = 0;
    for (; res_collmesh_walk_next(&w, &got); ++i) {
        ASSERT_TRUE(res_collmesh_triangle(h, i, &want)) << i;
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << i;
    }
    EXPECT_EQ(i, n);
    EXPECT_FALSE(res_collmesh_walk_next(&w, &got)); // stays at the end
    EXPECT_FALSE(res_collmesh_walk_begin(&w, 0));
    EXPECT_FALSE(res_collmesh_walk_next(&w, &got));
}

TEST_F(CollMeshData, ShapeSetsWithHostileValuesOrLayoutAreLeftUnmade) {
    const std::vector<PackSphere> spheres = {{1, 0, 0, 0}, {0.5f, 2, 0, 0}};
    const std::vector<uint8_t> good = pack_shape_set_body("hostile", spheres);
    auto made = [](std::vector<uint8_t> b) {
        const int32_t before = res_shape_set_count();
        EXPECT_TRUE(chunk_load_shape_set("g", b.data(), uint32_t(b.size()), 0));
        const bool made = res_shape_set_count() == before + 1;
        if (made) res_release_shape_set(res_index_to_handle(before));
        return made;
    };
    ASSERT_TRUE(made(good));
    const uint32_t list = get_u32(good, 4);
    // Radius 3e38 at x = 3e38 would reach past the float range; NaN and infinity anywhere.
    for (uint32_t field = 0; field < 4; ++field)
        for (float f : {3e38f, std::numeric_limits<float>::quiet_NaN(), INFINITY}) {
            std::vector<uint8_t> b = good;
            set_f32(b, list + 16 + 4 * field, f);
            EXPECT_FALSE(made(b)) << field << " " << f;
        }
    for (auto [at, v] : {std::pair<uint32_t, uint32_t>{4, 4}, {4, 0}, {0, 0}, {0, 8}, {0, list}}) {
        std::vector<uint8_t> b = good;
        set_u32(b, at, v);
        EXPECT_FALSE(made(b)) << "word " << at << " = " << v;
    }
}

} // namespace
