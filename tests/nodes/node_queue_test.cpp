// The queue's sorts: descending order for every input shape, the pending stack within nine, and
// the draw settings' small rules (default material, colour shift, the sort-key layout).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "resource/res_matrix.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"

namespace {

std::vector<uint32_t> shape(int which, int n) {
    std::vector<uint32_t> v(n);
    std::mt19937 rng(12345);
    for (int i = 0; i < n; ++i) {
        switch (which) {
            case 0:
                v[i] = (uint32_t)i;
                break; // ascending
            case 1:
                v[i] = (uint32_t)(n - i);
                break; // descending
            case 2:
                v[i] = 7;
                break; // all equal
            case 3:
                v[i] = (uint32_t)std::min(i, n - 1 - i);
                break; // organ pipe
            default:
                v[i] = rng() % 1000;
                break; // random with many repeats
        }
    }
    return v;
}

TEST(NodeSort, KeysAndDistancesComeOutDescendingWithinNinePending) {
    static SceneObject objects[NODE_QUEUE_SIZE];
    static SceneObject *array[NODE_QUEUE_SIZE];
    for (int which = 0; which < 5; ++which) {
        for (bool by_key : {true, false}) {
            const std::vector<uint32_t> values = shape(which, NODE_QUEUE_SIZE);
            for (int i = 0; i < NODE_QUEUE_SIZE; ++i) {
                objects[i].scratch = values[i];
                if (!by_key) node_set_scratch_distance(&objects[i], (float)values[i] * 0.5f);
                array[i] = &objects[i];
            }
            if (by_key)
                node_sort_by_key(array, NODE_QUEUE_SIZE);
            else
                node_sort_by_distance(array, NODE_QUEUE_SIZE);
            EXPECT_LE(node_sort_last_depth(), 9) << which;
            std::vector<uint32_t> want = values;
            std::sort(want.begin(), want.end(), std::greater<uint32_t>());
            for (int i = 0; i < NODE_QUEUE_SIZE; ++i) {
                const float got =
                    by_key ? (float)array[i]->scratch : node_scratch_distance(array[i]) * 2.0f;
                ASSERT_EQ(got, (float)want[i]) << "shape " << which << " at " << i;
            }
        }
    }
}

TEST(NodeSort, PiecesSortByKeyAndDistance) {
    PieceEntry pieces[RES_PIECE_COUNT] = {};
    PieceEntry *array[RES_PIECE_COUNT];
    for (int i = 0; i < RES_PIECE_COUNT; ++i) {
        pieces[i].value = (float)((i * 7) % 10);
        array[i] = &pieces[i];
    }
    piece_sort_by_distance(array, RES_PIECE_COUNT);
    for (int i = 0; i < RES_PIECE_COUNT; ++i) EXPECT_EQ(array[i]->value, (float)(9 - i));
    for (int i = 0; i < RES_PIECE_COUNT; ++i) pieces[i].key = 0x80000000u + (uint32_t)i;
    piece_sort_by_key(array, RES_PIECE_COUNT);
    for (int i = 0; i < RES_PIECE_COUNT; ++i) EXPECT_EQ(array[i]->key, 0x80000009u - (uint32_t)i);
}

TEST(DrawSettings, DefaultMaterialFlagFollowsEveryField) {
    NodeMaterial m = NODE_MATERIAL_DEFAULTS;
    EXPECT_EQ(node_material_set_factor(&m, 1.0f), 1);
    EXPECT_EQ(node_material_set_specular(&m, 0, 0.5f), 0);
    EXPECT_EQ(node_material_set_specular(&m, 0, 0.0f), 1);
    EXPECT_EQ(node_material_set_ambient(&m, 0xFFFFFFFFu), 0); // alpha counts too
    EXPECT_EQ(node_material_set_ambient(&m, 0x00FFFFFFu), 1);
    EXPECT_EQ(scenedraw_color_shift(0x80FF7F01u, 1), 0x807F3F00u);
    EXPECT_EQ(scenedraw_color_shift(0x80FF7F01u, 33), 0x807F3F00u); // n modulo 32
}

TEST(DrawSettings, SortKeyGathersStateFieldsAndShader) {
    uint32_t f;
    node_init_draw_flags(&f);
    EXPECT_EQ(f, 0x02C4009Eu);
    // Defaults: lighting 1, fog 1, blend 1, cull 0, alpha ref 0, zwrite 1, zfunc 3, nearby 1.
    const uint32_t want = 1u | 1u << 1 | 1u << 2 | 1u << 13 | 3u << 14 | 1u << 17 | 2u << 18;
    EXPECT_EQ(node_sort_key(f, 2), want);
    EXPECT_EQ(node_sort_key(f, 0xFFFF) >> 18, 0x3FFFu); // a negative id fills the top bits
    drawflags_set(&f, DF_BLEND_PAIR, 0x3F);             // masked to five bits
    EXPECT_EQ(drawflags_get(f, DF_BLEND_PAIR), 0x1Fu);
    EXPECT_EQ(drawflags_get(f, DF_CULL), 0u);
}

} // namespace
