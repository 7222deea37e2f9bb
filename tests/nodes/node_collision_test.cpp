// Collision volumes of nodes and their debug drawing: colliders follow the node, the probe-hit
// numbering stops at the total, and the debug shapes show in the collider's colour.
#include <gtest/gtest.h>

#include "collision/collider.h"
#include "nodes_test_env.h"
#include "resource/chunks.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_collision.h"
#include "scene/point_light.h"
#include "scene/prim_node.h"
#include "tools/packer/pack_collision.h"

namespace {

class NodeCollision : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
    }
};

TEST_F(NodeCollision, SphereVolumeFollowsTheNodeAndGoesWithIt) {
    const ResourceHandle quad = nodes_test_quad_model("q", 0.5f, {0, 0, 1});
    SceneObject *node = mdlnode_create_persistent(0, nullptr, quad, NODE_DEFAULT_LAYER);
    EXPECT_FALSE(mdlnode_set_collision_flag1(node, true)); // no collider yet
    const Vec3 centre = {0, 0, 0};
    mdlnode_set_collision_sphere(node, &centre, 1.0f, COLL_FILTER_ANY);
    Collider *c = mdlnode_collision_list(node);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->transform, mdlnode_world_matrix(node));
    EXPECT_FALSE(c->flags & COLL_GROUND);
    EXPECT_NE(mdlnode_collision_group(node), 0);
    EXPECT_TRUE(mdlnode_set_collision_flag1(node, true));
    EXPECT_TRUE(c->flags & COLL_SEGMENTS);
    EXPECT_EQ(mdlnode_probe_hit_count(node), 0u);
    EXPECT_FALSE(mdlnode_get_probe_hit(node, 0, nullptr)); // n equal to the total
    const uint32_t before = coll_collider_count();
    obj_destroy(node);
    EXPECT_EQ(coll_collider_count(), before - 1);
}

TEST_F(NodeCollision, DebugSphereShowsInTheColliderColour) {
    SceneObject *node = primnode_create_persistent(0, nullptr, NODE_DEFAULT_LAYER);
    const Vec3 centre = {0.5f, 0, 0};
    primnode_set_collision_sphere(node, &centre, 1.0f, COLL_FILTER_ANY);
    primnode_set_collision_flag1(node, true);
    coldebug_prim_node(node);
    nodes_test_frame();
    // 0x8000FFFF at alpha 128/255 over black.
    const double a = 128.0 / 255.0;
    EXPECT_TRUE(rgb_near(nodes_test_pixel_at({0.5f, 0.2f, 0}), rgb_of(0, a, a), 1));
}

TEST_F(NodeCollision, DebugMeshWireDrawsEveryFaceInTheColour) {
    // Two squares in the z = 0 plane, each of two faces lying in one cell of a 4 x 1 x 1 grid
    // whose middle cells stay empty: every face drawn fills both squares and leaves the gap.
    std::vector<PackCollTriangle> tris;
    for (float x0 : {-0.7f, 0.4f}) {
        const float x1 = x0 + 0.3f;
        tris.push_back({{x0, -0.3f, 0}, {x1, -0.3f, 0}, {x1, 0.3f, 0}, 1});
        tris.push_back({{x0, -0.3f, 0}, {x1, 0.3f, 0}, {x0, 0.3f, 0}, 2});
    }
    ResourcePoolSizes sizes = *res_default_sizes(); // with room for one collision mesh
    sizes.collmeshes = ResourcePoolSize{1, 64, 4096};
    res_init(&sizes);
    PackCollInfo info;
    std::vector<uint8_t> body = pack_collision_mesh_body("wire", tris, {4, 1, 1, -1}, &info);
    ASSERT_EQ(info.cell_triangles, 4u);
    ASSERT_TRUE(chunk_load_collision_mesh("g", body.data(), uint32_t(body.size()), 0));
    const ResourceHandle mesh = res_find_collmesh("g", "wire");
    ASSERT_NE(mesh, 0u);
    Mat4 identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    ASSERT_NE(coldebug_add_mesh_wire(0, &identity, mesh, 0x80FF0000u), nullptr);
    nodes_test_frame();
    const uint32_t red = rgb_of(128.0 / 255.0, 0, 0), black = rgb_of(0, 0, 0);
    // Inside each face of both squares (the faces split along the rising diagonal).
    for (float x0 : {-0.7f, 0.4f}) {
        EXPECT_TRUE(rgb_near(nodes_test_pixel_at({x0 + 0.2f, -0.15f, 0}), red, 1)) << x0;
        EXPECT_TRUE(rgb_near(nodes_test_pixel_at({x0 + 0.08f, 0.15f, 0}), red, 1)) << x0;
    }
    EXPECT_TRUE(rgb_near(nodes_test_pixel_at({0, 0, 0}), black, 0));
}

TEST_F(NodeCollision, LightDiscShowsTheLightColour) {
    const Vec3 at = {-0.5f, 0, 0};
    PointLight *l = plight_create(0, &at, 1.0f, 0xFFFF0000u);
    plight_debug_disc(l->owner, &l->position, l->radius, (l->color & 0xFFFFFF) | 0x80000000u);
    nodes_test_frame();
    // Blend pair 2 (source alpha, one) over black.
    EXPECT_TRUE(rgb_near(nodes_test_pixel_at(at), rgb_of(128.0 / 255.0, 0, 0), 1));
}

} // namespace
