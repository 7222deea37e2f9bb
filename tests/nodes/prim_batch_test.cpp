// Primitive node batches: a full batch is drawn at the vertex that fills it, not later, and the
// end of the batch draws only what is left. The device trace is read while the callback runs.
#include <gtest/gtest.h>

#include <vector>

#include "nodes_test_env.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "scene/prim_node.h"

namespace {

// Device draw calls as (primitive type, primitive count) pairs.
using Draws = std::vector<std::pair<uint32_t, uint32_t>>;

Draws traced_draws_so_far(void) {
    Draws d;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_DRAW)) d.push_back({e.a, e.b});
    return d;
}

// Device primitive types of the three modes.
constexpr uint32_t TYPE_TRIANGLES = 4, TYPE_POINTS = 1;

struct BatchRun {
    uint16_t mode;
    int vertices;          // added one by one
    Draws before_full;     // after the vertex before the one that fills the first batch
    Draws when_full;       // after the vertex that fills it
    Draws after_end;       // after primnode_end
    int32_t batches_added; // SceneDrawSettings batch counter across the callback
    int32_t draws_added;   // and its draw-call counter
};

BatchRun g_run;

void add_vertices(SceneObject *n, void *) {
    SceneDrawSettings *s = scenedraw_settings();
    const int32_t batches = s->batches, draws = s->draw_calls;
    // The vertex that completes the last whole primitive a 16,384-vertex batch can hold.
    const int per = g_run.mode == PRIM_TRIANGLES ? 3 : g_run.mode == PRIM_LINES ? 2 : 1;
    const int fills = (16384 / per) * per;
    primnode_begin(n, g_run.mode, 0);
    for (int i = 1; i <= g_run.vertices; ++i) {
        primnode_add_vertex_xyz(n, 0, 0, 0);
        if (i == fills - 1) g_run.before_full = traced_draws_so_far();
        if (i == fills) g_run.when_full = traced_draws_so_far();
    }
    primnode_end(n);
    g_run.after_end = traced_draws_so_far();
    g_run.batches_added = s->batches - batches;
    g_run.draws_added = s->draw_calls - draws;
}

class PrimBatches : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    void run(uint16_t mode, int vertices) {
        g_run = BatchRun{};
        g_run.mode = mode;
        g_run.vertices = vertices;
        SceneObject *node = primnode_create(0, nullptr, NODE_DEFAULT_LAYER);
        ASSERT_NE(node, nullptr);
        primnode_set_lighting(node, 0);
        primnode_set_callback(node, add_vertices, nullptr);
        gpu_trace_enable(true);
        gpu_trace_clear();
        nodes_test_frame();
        gpu_trace_enable(false);
    }
};

TEST_F(PrimBatches, SixteenThousandPointsDrawOnceWhenFullAndEndDrawsNothingMore) {
    run(PRIM_POINTS, 16384);
    EXPECT_TRUE(g_run.before_full.empty());
    EXPECT_EQ(g_run.when_full, (Draws{{TYPE_POINTS, 16384}}));
    EXPECT_EQ(g_run.after_end, (Draws{{TYPE_POINTS, 16384}}));
    EXPECT_EQ(g_run.batches_added, 1);
    EXPECT_EQ(g_run.draws_added, 1);
}

TEST_F(PrimBatches, WhatIsLeftAfterAFullBatchIsDrawnByTheEnd) {
    run(PRIM_POINTS, 16385);
    EXPECT_EQ(g_run.when_full, (Draws{{TYPE_POINTS, 16384}}));
    EXPECT_EQ(g_run.after_end, (Draws{{TYPE_POINTS, 16384}, {TYPE_POINTS, 1}}));
    EXPECT_EQ(g_run.draws_added, 2);

    // 5,463 triangles: 16,384 / 3 = 5,461 whole triangles fill a batch at vertex 16,383; the
    // two triangles after it come with the end, the extra vertex of neither.
    run(PRIM_TRIANGLES, 5463 * 3 + 1);
    EXPECT_TRUE(g_run.before_full.empty());
    EXPECT_EQ(g_run.when_full, (Draws{{TYPE_TRIANGLES, 5461}}));
    EXPECT_EQ(g_run.after_end, (Draws{{TYPE_TRIANGLES, 5461}, {TYPE_TRIANGLES, 2}}));
    EXPECT_EQ(g_run.batches_added, 1);
}

} // namespace
