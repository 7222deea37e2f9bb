// Collision meshes and shape sets made by the packer's builders, loaded through the data loader,
// read back through the pools' queries; damaged bodies are refused by the handler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "coll_test_env.h"
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

} // namespace
