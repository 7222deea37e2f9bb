// Primitive nodes: batching of callback geometry, whole primitives only, the guarded indexed
// draw over the shared quad list, and what the geometry looks like on screen.
#include <gtest/gtest.h>

#include <vector>

#include "nodes_test_env.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "scene/prim_node.h"

namespace {

class PrimNodes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    std::vector<uint32_t> traced_frame(PrimNodeCallback fn) {
        SceneObject *node = primnode_create(0, nullptr, NODE_DEFAULT_LAYER);
        primnode_set_lighting(node, 0);
        primnode_set_callback(node, fn, nullptr);
        gpu_trace_enable(true);
        gpu_trace_clear();
        nodes_test_frame();
        gpu_trace_enable(false);
        std::vector<uint32_t> counts;
        for (const GpuTraceEntry &e : test_trace(GPU_TRACE_DRAW)) counts.push_back(e.b);
        return counts;
    }
};

void five_vertices(SceneObject *n, void *) {
    primnode_begin(n, PRIM_TRIANGLES, 0);
    for (int i = 0; i < 5; ++i) primnode_add_vertex_xyz(n, (float)i, 0, 0);
    primnode_end(n);
}
void seven_line_vertices(SceneObject *n, void *) {
    static PrimVertex v[7] = {};
    primnode_draw_vertices(n, PRIM_LINES, 0, v, 7);
}

TEST_F(PrimNodes, OnlyWholePrimitivesAreDrawn) {
    EXPECT_EQ(traced_frame(five_vertices), (std::vector<uint32_t>{1}));
    EXPECT_EQ(traced_frame(seven_line_vertices), (std::vector<uint32_t>{3}));
}

bool g_indexed_result[2];
void indexed_without_indices(SceneObject *n, void *) {
    static PrimVertex v[4 * 6000] = {};
    g_indexed_result[0] = primnode_draw_indexed(n, PRIM_TRIANGLES, 0, v, 4 * 6000, nullptr, 30000);
    g_indexed_result[1] = primnode_draw_indexed(n, PRIM_TRIANGLES, 0, v, 8, nullptr, 13);
}
void indexed_two_quads(SceneObject *n, void *) {
    static PrimVertex v[8] = {};
    g_indexed_result[0] = primnode_draw_indexed(n, PRIM_TRIANGLES, 0, v, 8, nullptr, 12);
}

TEST_F(PrimNodes, IndexedDrawsStayWithinTheQuadList) {
    EXPECT_TRUE(traced_frame(indexed_without_indices).empty());
    EXPECT_FALSE(g_indexed_result[0]); // past the 24,576 indices of the list
    EXPECT_FALSE(g_indexed_result[1]); // not whole triangles
    EXPECT_EQ(traced_frame(indexed_two_quads), (std::vector<uint32_t>{4}));
    EXPECT_TRUE(g_indexed_result[0]);
}

void green_triangle(SceneObject *n, void *) {
    primnode_begin(n, PRIM_TRIANGLES, 0);
    primnode_set_vertex_color(n, 0xFF00FF00u);
    // Clockwise as the camera at +z sees it (+x is on the screen's left).
    primnode_add_vertex_xyz(n, -1, -1, 0);
    primnode_add_vertex_xyz(n, 1, -1, 0);
    primnode_add_vertex_xyz(n, 0, 1, 0);
    primnode_end(n);
}

TEST_F(PrimNodes, GeometryDrawsUnderTheNodeMatrix) {
    Mat4 m = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0.5f, 0, 0, 1}}};
    SceneObject *node = primnode_create(0, &m, NODE_DEFAULT_LAYER);
    primnode_set_lighting(node, 0);
    primnode_set_callback(node, green_triangle, nullptr);
    nodes_test_frame();
    EXPECT_EQ(nodes_test_pixel_at({0.5f, -0.3f, 0}) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(nodes_test_pixel_at({-1.2f, 0.5f, 0}) & 0xFFFFFF, 0x000000u); // outside, moved
}

} // namespace
