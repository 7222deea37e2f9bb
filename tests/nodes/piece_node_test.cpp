// Piece-mesh nodes: pieces drawn by their own flags, passes that pick pieces, the pool's limit,
// pieces whose model was released, and the far test wherever a piece stands.
#include <gtest/gtest.h>

#include <cmath>

#include "nodes_test_env.h"
#include "render/gfx_state.h"
#include "render/view.h"
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

TEST_F(PieceNodes, FarTestKeepsOrDropsAPieceTheSameWhereverItStands) {
    // A piece is dropped when its squared camera distance less its own radius squared exceeds the
    // squared far limit. Radius 2 (a square of half side sqrt 2), far limit 10.
    const double far_limit = 10.0, radius = 2.0;
    const float half = (float)(radius / std::sqrt(2.0));
    uint32_t flags;
    meshnode_init_piece_flags(&flags);
    flags &= ~(1u << 5); // no fog, so a kept piece shows its own colour
    const Vec3 places[2] = {{0, 0, 0}, {300, -40, 250}};
    const char *names[2] = {"at origin", "far away"};
    for (int i = 0; i < 2; ++i) {
        const Vec3 &place = places[i];
        ASSERT_NE(nodes_test_quad_model(names[i], half, {0, 0, 1}, 0xFFFF0000u, place), 0u);
        for (const double distance : {9.0, 10.1, 10.19, 10.21, 11.0}) {
            SCOPED_TRACE(testing::Message() << names[i] << ", camera " << distance << " away");
            obj_reset_all();
            res_pieces_reset();
            const Vec3 eye = {place.x, place.y, place.z + (float)distance};
            const Vec3 up = {0, 1, 0};
            view_set_look_at(0, &eye, &place, &up);
            view_set_far_limit(0, (float)far_limit);
            node_with({{names[i], flags}});
            gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);
            const bool kept = distance * distance - radius * radius <= far_limit * far_limit;
            EXPECT_EQ(nodes_test_traced_draws(), kept ? 1u : 0u);
            EXPECT_EQ(nodes_test_pixel_at(place) & 0xFFFFFF, kept ? 0xFF0000u : 0x000000u);
        }
    }
}

} // namespace
