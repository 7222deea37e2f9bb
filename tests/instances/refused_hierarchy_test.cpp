// A hierarchy whose matrices no pose could carry is refused when it is stored: an instance
// given it has no bones, so nothing non-finite reaches a pose or a palette.
#include <gtest/gtest.h>

#include <cmath>

#include "instance_test_env.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"

TEST(RefusedHierarchy, ANaNMatrixIsRefusedRatherThanPosed) {
    inst_test_start();
    const ResourceHandle mime = res_find_motion("mo", "mime");
    ASSERT_NE(mime, 0u);
    SampleHierarchy h = inst_test_hierarchy("mo");
    ASSERT_GE(h.frames.size(), 3u);
    const float kept = h.frames[2].rest[5];
    h.frames[2].rest[5] = NAN;
    const ResourceHandle refused = inst_test_make_hierarchy(h);
    EXPECT_EQ(refused, 0u);

    ModelInstance *in = model_instance_alloc();
    ASSERT_NE(in, nullptr);
    model_set_hierarchy_motion(in, static_cast<int32_t>(refused), static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 3, nullptr, 0, 1);
    EXPECT_EQ(model_bone_count(in), 0);
    EXPECT_EQ(model_bone_at(in, 0), nullptr);

    // The same hierarchy without the NaN is stored and posed, every value finite.
    h.frames[2].rest[5] = kept;
    const ResourceHandle whole = inst_test_make_hierarchy(h);
    ASSERT_NE(whole, 0u);
    model_set_hierarchy_motion(in, static_cast<int32_t>(whole), static_cast<int32_t>(mime));
    model_instance_pose(in, nullptr, 3, nullptr, 0, 1);
    ASSERT_EQ(model_bone_count(in), static_cast<int32_t>(h.frames.size()));
    for (int32_t i = 0; i < model_bone_count(in); ++i)
        for (int k = 0; k < 16; ++k)
            EXPECT_TRUE(std::isfinite(model_bone_at(in, i)->pose.m[k / 4][k % 4])) << i;
    model_instance_free(in);
}
