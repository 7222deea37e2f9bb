// The model-set builder on the generated stage set: merged and separate placement, frame-row
// patterns, the wall queries, the matrix stack left as found, and release.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modelset_test_env.h"
#include "resource/res_frames.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_collision.h"
#include "scene/node_settings.h"
#include "scene/piece_node.h"
#include "scene/model_set.h"
#include "tools/packer/pack_frames.h"

namespace {

class ModelSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(modelset_test_begin());
        ASSERT_TRUE(modelset_test_load({"s1"}));
    }
    void TearDown() override {
        modelset_release();
        modelset_test_end();
    }
};

const SampleHierarchy &stage(void) {
    return modelset_test_file("s1").hierarchies[0];
}

bool ends_with_nd(const std::string &n) {
    return n.size() >= 3 && n.compare(n.size() - 3, 3, "_nd") == 0;
}

std::vector<std::string> s_called;

} // namespace

TEST_F(ModelSetTest, MergedStageIsOnePieceNodeWithTheWallFound) {
    const int32_t objects = obj_get_live_count(), owners = owner_count();
    const OwnerId owner = modelset_init();
    ASSERT_NE(owner, 0u);
    EXPECT_EQ(owner_count(), owners + 1);
    const int32_t depth = res_matrix_depth();
    const ResourceHandle wall = modelset_build("s1", "stage", nullptr, 0);
    EXPECT_EQ(res_matrix_depth(), depth);
    EXPECT_NE(wall, 0u);
    EXPECT_EQ(wall, res_find_collmesh("s1", "stage_wall"));

    // The pieces: the frames with a model, in list order; markers and "_nd" frames add nothing.
    std::vector<std::string> want;
    for (const SampleFrame &f : stage().frames)
        if (!ends_with_nd(f.name) && modelset_test_has_model(modelset_test_file("s1"), f.name))
            want.push_back(f.name);
    ASSERT_EQ(want.size(), 4u);
    SceneObject *node = modelset_part_by_suffix("_s");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(modelset_part_by_suffix("_t"), nullptr);
    ASSERT_TRUE(meshnode_is_mesh_node(node));
    EXPECT_EQ(node->layer, 53);
    std::vector<std::string> got;
    for (const PieceEntry *e = meshnode_of(node)->pieces; e; e = e->next) {
        got.push_back(res_model_name(e->model));
        EXPECT_EQ((e->flags >> 16) & 7, 2u) << "alpha reference of an opaque part";
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(modelset_kind_count(1), want.size());
    EXPECT_EQ(modelset_test_objects(owner).size(), 1u);
    // The part's own collision mesh (the floor) is the node's collider.
    EXPECT_NE(meshnode_collision_list(node), nullptr);

    // The wall stands at x = 3 facing -x.
    const Vec3 s = {0, 0.5f, 0}, d = {5, 0, 0};
    Vec3 p, n, hit, slide;
    uint32_t face = 0;
    ASSERT_TRUE(modelset_wall_raycast(&s, &d, &p, &n, &face));
    EXPECT_NEAR(p.x, 3.0f, 1e-5);
    EXPECT_NEAR(p.y, 0.5f, 1e-5);
    EXPECT_NEAR(n.x, -1.0f, 1e-5);
    EXPECT_NEAR(n.y, 0.0f, 1e-5);
    EXPECT_NEAR(n.z, 0.0f, 1e-5);
    ASSERT_TRUE(modelset_wall_sweep(&s, &d, &hit, &slide, &n, &face));
    EXPECT_NEAR(hit.x, 3.0f, 1e-5);
    EXPECT_NEAR(slide.x, 3.0f, 1e-5); // the end (5, 0.5, 0) moved back onto the wall's plane
    const Vec3 short_d = {2, 0, 0};
    EXPECT_FALSE(modelset_wall_raycast(&s, &short_d, &p, &n, &face));

    // Release gives back the objects, the owner id and the pieces.
    modelset_release();
    EXPECT_EQ(obj_get_live_count(), objects);
    EXPECT_EQ(owner_count(), owners);
    EXPECT_EQ(res_piece_pool()->in_use, 0);
    EXPECT_EQ(modelset_owner(), 0u);
    EXPECT_FALSE(modelset_wall_raycast(&s, &d, &p, &n, &face));
}

TEST_F(ModelSetTest, SeparateNodesTakeTheirFramesWorldMatricesAndRows) {
    const OwnerId owner = modelset_init();
    const int32_t depth = res_matrix_depth();
    s_called.clear();
    const ModelSetRow rows[] = {
        {"post_#", [](SceneObject *, ResourceHandle, const char *f) { s_called.push_back(f); }, 7,
         nullptr, nullptr},
        {"lamp_*", [](SceneObject *, ResourceHandle, const char *f) { s_called.push_back(f); }, 0,
         nullptr, nullptr},
        {nullptr, nullptr, 0, nullptr, nullptr}};
    EXPECT_EQ(modelset_place_part("s1", "stage_s", rows, MODELSET_CULL | MODELSET_BLENDED, 0),
              nullptr);
    EXPECT_EQ(res_matrix_depth(), depth);

    // One node per frame with a model, and an empty (hidden) node for "deco_nd".
    std::vector<SceneObject *> nodes = modelset_test_objects(owner);
    std::vector<std::string> want;
    for (const SampleFrame &f : stage().frames)
        if (ends_with_nd(f.name) || modelset_test_has_model(modelset_test_file("s1"), f.name))
            want.push_back(f.name);
    ASSERT_EQ(nodes.size(), want.size());
    EXPECT_EQ(modelset_kind_count(MODELSET_CULL | MODELSET_BLENDED), want.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        int frame = 0;
        while (stage().frames[frame].name != want[i]) ++frame;
        ASSERT_TRUE(mdlnode_is_model_node(nodes[i]));
        const Mat4 w = modelset_test_world(stage(), frame);
        const Mat4 *got = mdlnode_world_matrix(nodes[i]);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(got->m[k / 4][k % 4], w.m[k / 4][k % 4], 1e-5) << want[i] << " " << k;
        const bool empty = ends_with_nd(want[i]);
        EXPECT_EQ((nodes[i]->flags & OBJ_FLAG_VISIBLE) != 0, !empty) << want[i];
        EXPECT_EQ(mdlnode_get_model(nodes[i]), res_find_model("s1", want[i].c_str())) << want[i];
        const uint32_t df = mdlnode_head(nodes[i])->draw_flags;
        EXPECT_EQ(drawflags_get(df, DF_CULL), 2u);
        EXPECT_EQ(drawflags_get(df, DF_BLENDED), 1u);
        EXPECT_EQ(drawflags_get(df, DF_ALPHA_REF), 3u);
        EXPECT_EQ(nodes[i]->layer, 51);
        uint32_t value;
        std::memcpy(&value, nodes[i]->user, sizeof value);
        EXPECT_EQ(value, want[i].rfind("post_", 0) == 0 ? 7u : 0u) << want[i];
    }
    EXPECT_EQ(s_called, (std::vector<std::string>{"post_1", "post_12", "lamp_01"}));
}

TEST_F(ModelSetTest, PatternsMatchDigitRunsAndNonEmptyRests) {
    EXPECT_TRUE(modelset_name_matches("post_#", "post_1"));
    EXPECT_TRUE(modelset_name_matches("post_#", "post_12"));
    EXPECT_FALSE(modelset_name_matches("post_#", "post_"));
    EXPECT_FALSE(modelset_name_matches("post_#", "post_x"));
    EXPECT_FALSE(modelset_name_matches("post_#", "post_1x"));
    EXPECT_TRUE(modelset_name_matches("post_#_a", "post_12_a"));
    EXPECT_TRUE(modelset_name_matches("lamp_*", "lamp_01"));
    EXPECT_FALSE(modelset_name_matches("lamp_*", "lamp_"));
    EXPECT_FALSE(modelset_name_matches("lamp", "lamp_01"));
}

TEST_F(ModelSetTest, AnUnbalancedListLeavesTheMatrixStackAsFound) {
    // A root with one child whose closing pop is blanked: the walk ends one push deeper.
    PackFrame child{"kid", pack_translation(1, 0, 0), {}};
    std::vector<uint8_t> body = pack_hierarchy_body({"top", pack_translation(0, 1, 0), {child}});
    uint32_t *w = reinterpret_cast<uint32_t *>(body.data());
    size_t end = 0;
    while (w[end] != 5) end += w[end] == 2 ? 17 : w[end] == 1 ? 3 : 1;
    ASSERT_EQ(w[end - 1], 4u);
    w[end - 1] = 0; // passed over by the walk
    ASSERT_NE(res_create_hierarchy("s1", "odd", body.data(), (uint32_t)body.size()), 0u);
    modelset_init();
    res_matrix_push();
    const int32_t depth = res_matrix_depth();
    modelset_place_part("s1", "odd", nullptr, 0, 0);
    EXPECT_EQ(res_matrix_depth(), depth);
    res_matrix_pop();
}

TEST_F(ModelSetTest, FaultsLeaveNothingBehind) {
    const int32_t objects = obj_get_live_count(), owners = owner_count();
    // A second init releases the first set and its owner.
    modelset_init();
    modelset_build("s1", "stage", nullptr, 0);
    ASSERT_EQ(obj_get_live_count(), objects + 1);
    const OwnerId second = modelset_init();
    EXPECT_EQ(obj_get_live_count(), objects);
    EXPECT_EQ(owner_count(), owners + 1);
    EXPECT_EQ(res_piece_pool()->in_use, 0);

    // A name whose part or wall name would not fit is refused, not cut into another name.
    std::string longname(MODELSET_NAME_SIZE - 3, 'x');
    EXPECT_EQ(modelset_build("s1", longname.c_str(), nullptr, 0), 0u);
    EXPECT_EQ(obj_get_live_count(), objects);
    EXPECT_EQ(modelset_get()->slot_count, 0u);

    // No object for the piece-mesh node: the chain goes back to the piece pool.
    std::vector<SceneObject *> filler;
    while (SceneObject *o = obj_create(second + 1)) filler.push_back(o);
    EXPECT_NE(modelset_build("s1", "stage", nullptr, 0), 0u);
    EXPECT_EQ(modelset_part_by_suffix("_s"), nullptr);
    EXPECT_EQ(res_piece_pool()->in_use, 0);
    for (SceneObject *o : filler) obj_destroy(o);
    modelset_release();

    // Without a free owner id nothing is built (owner 0's objects are never released).
    std::vector<OwnerId> taken;
    while (OwnerId id = owner_alloc()) taken.push_back(id);
    EXPECT_EQ(modelset_init(), 0u);
    EXPECT_EQ(modelset_build("s1", "stage", nullptr, 0), 0u);
    EXPECT_EQ(obj_get_live_count(), objects);
    for (OwnerId id : taken) owner_free(id);
    EXPECT_EQ(owner_count(), owners);
}
