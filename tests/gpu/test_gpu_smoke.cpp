#include "gpu_test_util.h"

TEST_F(GpuTest, ClearAndQuad) {
    gpu_clear(GPU_CLEAR_TARGET, 0xFF102030u, 1.0f, 0);
    EXPECT_EQ(pixel(0, 0), 0xFF102030u);
    quad(9.5f, 9.5f, 19.5f, 19.5f, 0xFFFF0000u);
    EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(pixel(19, 19), 0xFFFF0000u);
    EXPECT_EQ(pixel(20, 20), 0xFF102030u);
    EXPECT_EQ(pixel(9, 9), 0xFF102030u);
}
