// Matrix stack and piece chains.
#include <gtest/gtest.h>

#include "math/mat4.h"
#include "res_test_env.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"

static Mat4 translation(float x, float y, float z) {
    Mat4 m;
    mat4_identity(&m);
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

TEST(MatrixStack, PushPopLoadAndMultiply) {
    ASSERT_TRUE(res_test_device());
    res_test_start_pools();
    EXPECT_EQ(res_matrix_depth(), 0);
    EXPECT_EQ(res_matrix_parent(), nullptr);
    EXPECT_FLOAT_EQ(res_matrix_top()->m[1][1], 1.0f);
    Mat4 t = translation(1, 2, 3);
    res_matrix_load(&t);
    res_matrix_push();
    EXPECT_EQ(res_matrix_parent()->m[3][0], 1.0f);
    res_matrix_mult(&t); // in place: top = top x t
    EXPECT_FLOAT_EQ(res_matrix_top()->m[3][2], 6.0f);
    res_matrix_pop();
    EXPECT_FLOAT_EQ(res_matrix_top()->m[3][2], 3.0f);
    res_matrix_pop(); // at depth 0: stays
    EXPECT_EQ(res_matrix_depth(), 0);
    for (int i = 0; i < 70; ++i) res_matrix_push();
    EXPECT_EQ(res_matrix_depth(), RES_MATRIX_DEPTH - 1);
    res_matrix_load(nullptr);
    EXPECT_FLOAT_EQ(res_matrix_top()->m[3][2], 0.0f);
    res_matrix_reset();
    EXPECT_EQ(res_matrix_depth(), 0);
}

TEST(PieceChains, TenEntriesAndFreeListOrder) {
    ASSERT_TRUE(res_test_device());
    res_test_start_pools(true);
    // A model record to add: the pools hold one (the model creator is the builder's).
    ModelPool &m = res_pools()->models;
    m.records[0] = ModelRecord{};
    m.records[0].header.name = "box";
    m.records[0].header.name_hash = res_hash_name("box");
    m.count = 1;

    res_pieces_begin();
    EXPECT_FALSE(res_pieces_add(nullptr, "nothing", nullptr));
    uint32_t flags = 0x55;
    for (int i = 0; i < RES_PIECE_COUNT; ++i) EXPECT_TRUE(res_pieces_add(nullptr, "box", &flags));
    EXPECT_FALSE(res_pieces_add(nullptr, "box", &flags)); // the eleventh
    PieceEntry *chain = nullptr;
    EXPECT_TRUE(res_pieces_end(&chain));
    ASSERT_NE(chain, nullptr);
    int n = 0;
    for (PieceEntry *e = chain; e; e = e->next, ++n) EXPECT_EQ(e->flags, 0x55u);
    EXPECT_EQ(n, RES_PIECE_COUNT);
    EXPECT_EQ(res_piece_pool()->in_use, RES_PIECE_COUNT);

    res_pieces_begin();
    PieceEntry *empty = chain;
    EXPECT_FALSE(res_pieces_end(&empty));
    EXPECT_EQ(empty, nullptr);

    res_pieces_free(chain);
    EXPECT_EQ(res_piece_pool()->in_use, 0);
    EXPECT_EQ(res_piece_pool()->highest_in_use, RES_PIECE_COUNT);
    res_pieces_begin();
    EXPECT_TRUE(res_pieces_add(nullptr, "box", nullptr));
    PieceEntry *one = nullptr;
    EXPECT_TRUE(res_pieces_end(&one));
    EXPECT_EQ(one, chain); // the freed chain went back to the front of the free list
    EXPECT_EQ(one->next, nullptr);
    EXPECT_EQ(one->flags, 0u);
    m.count = 0;
    m.records[0] = ModelRecord{};
}
