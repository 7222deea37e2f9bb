// The debug skeleton of a hierarchy as wire lines, and the piece chains' free walk.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "anim_test_env.h"
#include "math/mat4.h"
#include "nodes_test_env.h"
#include "resource/res_frames.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"
#include "scene/object_manager.h"
#include "scene/wire_prims.h"

namespace {

std::vector<WireLine> s_lines;

void collect(SceneObject *o) {
    if (o->kind == wire_line_kind_id()) s_lines.push_back(*obj_payload<WireLine>(o));
}

std::vector<WireLine> live_lines(void) {
    s_lines.clear();
    obj_for_each(collect);
    return s_lines;
}

bool near3(const Vec3 &p, double x, double y, double z) {
    return std::fabs(p.x - x) < 1e-5 && std::fabs(p.y - y) < 1e-5 && std::fabs(p.z - z) < 1e-5;
}

class SkeletonWire : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(anim_test_begin()); }
    void TearDown() override { anim_test_end(); }
};

} // namespace

// Four lines per frame below the root: the bone from the parent's position (red) to the
// frame's (green), and 0.1 along each matrix row; the stack is back at its depth.
TEST_F(SkeletonWire, FourLinesPerFrameBelowTheRoot) {
    const SampleHierarchy &h = *anim_test_hierarchy("mo");
    const ResourceHandle by = res_find_hierarchy("mo", "By");
    Mat4 root;
    mat4_identity(&root);
    root.m[3][0] = 5.0f;
    res_matrix_push();
    const int32_t depth = res_matrix_depth();
    EXPECT_EQ(res_draw_skeleton_wire(0, by, &root, false, nullptr),
              static_cast<int32_t>(h.frames.size() - 1));
    EXPECT_EQ(res_matrix_depth(), depth);
    const std::vector<WireLine> lines = live_lines();
    ASSERT_EQ(lines.size(), 4 * (h.frames.size() - 1));
    for (size_t i = 1; i < h.frames.size(); ++i) {
        const TestMat w = anim_rest_world(h, static_cast<int>(i));
        const TestMat p = anim_rest_world(h, h.frames[i].parent);
        int bones = 0, axes = 0;
        for (const WireLine &l : lines) {
            EXPECT_EQ(l.state >> WIRE_ZWRITE_SHIFT & 1, 0u);
            if (l.color0 == 0xFFFF0000u && l.color1 == 0xFF00FF00u &&
                near3(l.p0, p[12] + 5, p[13], p[14]) && near3(l.p1, w[12] + 5, w[13], w[14]))
                ++bones;
            for (int r = 0; r < 3; ++r)
                if (l.color0 == l.color1 && near3(l.p0, w[12] + 5, w[13], w[14]) &&
                    near3(l.p1, w[12] + 5 + 0.1 * w[r * 4], w[13] + 0.1 * w[r * 4 + 1],
                          w[14] + 0.1 * w[r * 4 + 2]))
                    ++axes;
        }
        EXPECT_EQ(bones, 1) << h.frames[i].name;
        EXPECT_GE(axes, 3) << h.frames[i].name;
    }
    // Labels only project: nothing drawn, one per named frame.
    nodes_test_frame();
    EXPECT_EQ(res_draw_skeleton_wire(0, by, &root, true, nullptr),
              static_cast<int32_t>(h.frames.size()));
    EXPECT_TRUE(live_lines().empty());
    EXPECT_EQ(res_matrix_depth(), depth);
}

// A list that never pops its pushes leaves the shared stack where it was.
TEST_F(SkeletonWire, UnbalancedListLeavesTheStackDepth) {
    std::vector<uint32_t> b;
    auto matrix = [&](float x) {
        b.push_back(RES_FRAME_MATRIX);
        for (int i = 0; i < 16; ++i) {
            float f = (i % 5 == 0) ? 1.0f : (i == 12 ? x : 0.0f);
            uint32_t u;
            memcpy(&u, &f, 4);
            b.push_back(u);
        }
    };
    matrix(0);
    b.insert(b.end(), {RES_FRAME_NAME, 0, 0, RES_FRAME_PUSH});
    matrix(1);
    b.insert(b.end(), {RES_FRAME_NAME, 0, 0, RES_FRAME_PUSH, RES_FRAME_PUSH, RES_FRAME_END});
    const ResourceHandle u = res_create_hierarchy(
        "x", "open", reinterpret_cast<uint8_t *>(b.data()), static_cast<uint32_t>(b.size() * 4));
    ASSERT_NE(u, 0u);
    const int32_t depth = res_matrix_depth();
    EXPECT_EQ(res_draw_skeleton_wire(0, u, nullptr, false, nullptr), 0);
    EXPECT_EQ(res_matrix_depth(), depth);
}

// Freeing a chain twice, or after the pool was reset, is refused: the free list stays a list
// of the ten entries.
TEST_F(SkeletonWire, PieceChainFreedTwiceIsRefused) {
    res_pieces_reset();
    res_pieces_begin();
    ASSERT_TRUE(res_pieces_add("mo", "By", nullptr));
    ASSERT_TRUE(res_pieces_add("mo", "By", nullptr));
    PieceEntry *chain = nullptr;
    ASSERT_TRUE(res_pieces_end(&chain));
    EXPECT_EQ(res_piece_pool()->in_use, 2);
    res_pieces_free(chain);
    res_pieces_free(chain);
    EXPECT_EQ(res_piece_pool()->in_use, 0);
    res_pieces_reset();
    res_pieces_free(chain);
    int n = 0;
    for (PieceEntry *e = res_piece_pool()->free_head; e && n <= RES_PIECE_COUNT; e = e->next) ++n;
    EXPECT_EQ(n, RES_PIECE_COUNT);
}
