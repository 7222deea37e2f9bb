// Levels of detail over models read by the data loader: the node draws the last entry whose
// value the squared camera distance reaches, checked just inside and just outside each switch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "math/mat4.h"
#include "nodes_test_env.h"
#include "render/gfx_state.h"
#include "render/view.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "tests/support/test_files.h"
#include "tools/packer/pack_model.h"
#include "tools/packer/packer.h"

namespace {

// A square of side 2 about the origin in the z = 0 plane, facing +z, in one vertex colour (the
// colour turns lighting off, so it shows as it is).
PackModel colored_square(const char *name, uint32_t argb) {
    PackModel m;
    m.name = name;
    m.positions = {-1, 1, 0, 1, 1, 0, -1, -1, 0, 1, -1, 0};
    m.normals = {0, 0, 1};
    m.colors = {argb};
    m.indices[PACK_INDEX_POSITION] = {0, 2, 1, 2, 3, 1};
    m.indices[PACK_INDEX_NORMAL] = {0, 0, 0, 0, 0, 0};
    m.indices[PACK_INDEX_COLOR] = {0, 0, 0, 0, 0, 0};
    m.materials.push_back({"", 0, 1, 0});
    return m;
}

class LoadedLods : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nodes_test_device());
        nodes_test_begin(0xFF000000u);
        const std::string dir = test_temp_folder("lods");
        ASSERT_FALSE(dir.empty());
        loader_init();
        loader_set_data_folder((dir + "/").c_str(), 0);
        loader_set_data_folder((dir + "/").c_str(), 1);
        std::vector<uint8_t> file;
        const uint32_t tag = pack_tag_of("MMMM");
        pack_append_chunk(file, tag, pack_expected_version(tag),
                          pack_model_body(colored_square("near", 0xFFFF0000u)));
        pack_append_chunk(file, tag, pack_expected_version(tag),
                          pack_model_body(colored_square("far", 0xFF00FF00u)));
        ASSERT_TRUE(test_write_file(dir + "/lods.bin", file));
        ASSERT_TRUE(loader_enqueue("lods", 0));
        int guard = 0;
        int32_t r;
        while ((r = loader_step()) == 1 && ++guard < 1000) {
        }
        ASSERT_EQ(r, 0);
        near_model = res_find_model("lods", "near");
        far_model = res_find_model("lods", "far");
    }
    void TearDown() override { loader_shutdown(); }
    ResourceHandle near_model = 0, far_model = 0;
};

TEST_F(LoadedLods, ModelSwitchesWhereTheSquaredDistanceReachesAnEntry) {
    ASSERT_NE(near_model, 0u);
    ASSERT_NE(far_model, 0u);
    const Vec3 at = {3.0f, 0.0f, 0.0f};
    Mat4 world;
    mat4_identity(&world);
    world.m[3][0] = at.x;
    SceneObject *node = mdlnode_create_persistent(0, &world, near_model, NODE_DEFAULT_LAYER);
    ASSERT_NE(node, nullptr);
    // Switch values in squared units: the near model from distance 5, the far one from 10.
    const float values[2] = {25.0f, 100.0f};
    const NodeLod lods[2] = {{near_model, values[0]}, {far_model, values[1]}};
    mdlnode_set_lods(node, lods);

    const uint32_t colors[3] = {0x000000u, 0xFF0000u, 0x00FF00u}; // none, near, far
    // The camera looks at the node from along (-3, 0, 4) / 5, off every axis, at squared
    // distances 1% short of, exactly at (5 and 10 land on whole coordinates) and 1% past each
    // switch value, then well past both.
    std::vector<float> scales;
    for (float value : values)
        for (float k : {0.99f, 1.0f, 1.01f}) scales.push_back(sqrtf(value * k) / 5.0f);
    scales.push_back(3.0f);
    int seen[3] = {};
    for (float s : scales) {
        const Vec3 eye = {at.x - 3.0f * s, 0.0f, 4.0f * s};
        view_set_look_at(0, &eye, &at, nullptr);
        gfx_clear(GFX_CLEAR_ALL, 0xFF000000u);
        nodes_test_frame();
        // The rule, from the camera position the frame used: no model to begin with; each
        // entry whose value is at most the squared distance takes over.
        const Mat4 *cam = view_get_camera_matrix(0);
        const double dx = cam->m[3][0] - at.x, dy = cam->m[3][1] - at.y, dz = cam->m[3][2] - at.z;
        const double d2 = dx * dx + dy * dy + dz * dz;
        int want = 0;
        for (int i = 0; i < 2; ++i)
            if (values[i] <= d2) want = i + 1;
        ++seen[want];
        EXPECT_EQ(nodes_test_pixel_at(at) & 0xFFFFFF, colors[want]) << "squared distance " << d2;
    }
    // Each choice was met, the exact switch points taking the entry.
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[1], 3);
    EXPECT_EQ(seen[2], 3);
}

} // namespace
