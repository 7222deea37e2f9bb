// Piece-mesh nodes: pieces drawn by their own flags, passes that pick pieces, the pool's limit,
// and pieces whose model was released.
#include <gtest/gtest.h>

#include "nodes_test_env.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "scene/piece_node.h"

namespace {

class PieceNodes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
        res_pieces_reset();
    }
    void TearDown() override {
        gpu_trace_enable(false);
        scenedraw_reset_states();
    }
    SceneObject *node_with(std::initializer_list<std::pair<const char *, uint32_t>> pieces) {
        res_pieces_begin();
        for (const auto &p : pieces) EXPECT_TRUE(res_pieces_add("m", p.first, &p.second));
        PieceEntry *chain = nullptr;
        EXPECT_TRUE(res_pieces_end(&chain));
        SceneObject *o = obj_create(0);
        obj_set_kind(o, meshnode_kind_id());
        meshnode_set_pieces(o, chain);
        return o;
    }
};

TEST_F(PieceNodes, VisibleBitAndPassBitsChooseThePieces) {
    nodes_test_quad_model("red", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    nodes_test_quad_model("green", 0.5f, {0, 0, 1}, 0xFF00FF00u);
    uint32_t shown, hidden, mirrored;
    meshnode_init_piece_flags(&shown);
    EXPECT_EQ(shown, 0x0058013Du);
    hidden = shown & ~1u;
    mirrored = shown | 1u << 7;
    node_with({{"red", shown}, {"green", hidden}});
    EXPECT_EQ(nodes_test_traced_draws(), 1u);
    EXPECT_EQ(nodes_test_pixel_at({0, 0, 0}) & 0xFFFFFF, 0xFF0000u); // green hidden in front

    obj_reset_all();
    res_pieces_reset();
    node_with({{"red", shown}, {"green", mirrored}, {"red", hidden | 1u << 7}});
    scenedraw_set_mirror_pass(1);
    EXPECT_EQ(nodes_test_traced_draws(), 1u); // the mirror piece only
}

TEST_F(PieceNodes, TheEleventhPieceIsRefused) {
    nodes_test_quad_model("red", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    res_pieces_begin();
    for (int i = 0; i < RES_PIECE_COUNT; ++i) EXPECT_TRUE(res_pieces_add("m", "red", nullptr));
    EXPECT_FALSE(res_pieces_add("m", "red", nullptr));
}

TEST_F(PieceNodes, APieceWhoseModelWasReleasedIsSkipped) {
    ResourceMark mark;
    res_mark(&mark);
    nodes_test_quad_model("red", 1.0f, {0, 0, 1}, 0xFFFF0000u);
    uint32_t flags;
    meshnode_init_piece_flags(&flags);
    node_with({{"red", flags}});
    res_release_to_mark(&mark);
    EXPECT_EQ(nodes_test_traced_draws(), 0u);
    nodes_test_quad_model("other", 1.0f, {0, 0, 1}, 0xFF00FF00u); // takes the same record
    EXPECT_EQ(nodes_test_traced_draws(), 0u);
    EXPECT_EQ(nodes_test_pixel_at({0, 0, 0}) & 0xFFFFFF, 0x000000u);
}

} // namespace
