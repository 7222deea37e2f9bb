#include <cstring>

#include "math_test_util.h"
#include "reference_values.h"

namespace {

uint32_t crc32_bytes(const void *data, size_t size) {
    const unsigned char *p = (const unsigned char *)data;
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

TEST(SineTable, EveryEntryIsTheRoundedSine) {
    const float *t = mathf_sine_table();
    EXPECT_EQ(crc32_bytes(t, 65536 * sizeof(float)), kSineTableCrc32);
    EXPECT_EQ(t[0], 0.0f);
    EXPECT_EQ(t[16384], 1.0f);
    EXPECT_EQ(t[32768], 0.0f);
    EXPECT_EQ(t[49152], -1.0f);
}

TEST(SineTable, IndicesTruncateAndWrap) {
    const float *t = mathf_sine_table();
    for (const TableIndexCase &c : kTableIndexCases) {
        SCOPED_TRACE(testing::Message() << (c.degrees ? "deg " : "rad ") << c.angle);
        if (c.degrees) {
            EXPECT_EQ(mathf_table_index_deg(c.angle), c.sin_index);
            EXPECT_EQ(mathf_sin_table_deg(c.angle), t[c.sin_index]);
            EXPECT_EQ(mathf_cos_table_deg(c.angle), t[c.cos_index]);
        } else {
            EXPECT_EQ(mathf_table_index(c.angle), c.sin_index);
            EXPECT_EQ(mathf_sin_table(c.angle), t[c.sin_index]);
            EXPECT_EQ(mathf_cos_table(c.angle), t[c.cos_index]);
        }
    }
    // No interpolation and the 65535 scale: 90 degrees stops one entry short of the peak.
    EXPECT_EQ(mathf_table_index_deg(90.0f), 16383u);
    EXPECT_EQ(mathf_cos_table(0.0f), 1.0f);
}

TEST(SineTable, UnrepresentableProductsGiveIndexZero) {
    EXPECT_EQ(mathf_table_index(NAN), 0u);
    EXPECT_EQ(mathf_table_index(INFINITY), 0u);
    EXPECT_EQ(mathf_table_index(-INFINITY), 0u);
    EXPECT_EQ(mathf_sin_table(NAN), 0.0f);
    EXPECT_EQ(mathf_cos_table_deg(INFINITY), 0.0f);
    // A selection pulse after hours of frames: frame x 60 degrees is far past 2^31.
    float angle = 60.0f * 40000000.0f;
    EXPECT_EQ(mathf_table_index_deg(angle), 8367u);
}

TEST(EstimateRoots, WithinTwelveBits) {
    const float tol = 1.0f / 2048.0f;
    for (float x = 1e-6f; x < 1e7f; x *= 1.37f) {
        double exact = std::sqrt((double)x);
        EXPECT_NEAR(mathf_sqrt_fast(x) / exact, 1.0, tol) << x;
        EXPECT_NEAR(mathf_rsqrt_fast(x) * exact, 1.0, tol) << x;
        EXPECT_EQ(mathf_rcp_sqrt(x), 1.0f / std::sqrt(x)) << x;
    }
    EXPECT_EQ(mathf_sqrt_fast(0.0f), 0.0f);
    EXPECT_EQ(mathf_rcp_sqrt(0.0f), INFINITY);
}

TEST(ScalarHelpers, ClampAndLerp) {
    EXPECT_EQ(mathf_clamp01(-2.0f), 0.0f);
    EXPECT_EQ(mathf_clamp01(0.25f), 0.25f);
    EXPECT_EQ(mathf_clamp01(7.0f), 1.0f);
    // The lower bound is tested first when the bounds are crossed.
    EXPECT_EQ(mathf_clamp(0.0f, 5.0f, 1.0f), 5.0f);
    EXPECT_EQ(mathf_clamp(7.0f, 5.0f, 1.0f), 1.0f);
    EXPECT_EQ(mathf_lerp(2.0f, 6.0f, 1.5f), 8.0f); // t is not clamped
}

TEST(ScalarHelpers, MinMaxIndexKeepsEarlierTies) {
    const float f[] = {3.0f, 1.0f, 3.0f, 1.0f};
    int imax = -1, imin = -1;
    mathf_minmax_index_f32(f, 4, &imax, &imin);
    EXPECT_EQ(imax, 0);
    EXPECT_EQ(imin, 1);
    const int32_t v[] = {4, -9, 12, 12, -9, 0};
    mathf_minmax_index_i32(v, 6, &imax, nullptr);
    EXPECT_EQ(imax, 2);
    mathf_minmax_index_i32(v, 6, nullptr, &imin);
    EXPECT_EQ(imin, 1);
    mathf_minmax_index_i32(v, 1, &imax, &imin);
    EXPECT_EQ(imax, 0);
    EXPECT_EQ(imin, 0);
}

TEST(ScalarHelpers, MinMaxIndexOfNothingReadsNothing) {
    int imax = -1, imin = -1;
    mathf_minmax_index_f32(nullptr, 0, &imax, &imin); // would fault if element 0 were read
    EXPECT_EQ(imax, 0);
    EXPECT_EQ(imin, 0);
    imax = imin = -1;
    mathf_minmax_index_i32(nullptr, -3, &imax, &imin);
    EXPECT_EQ(imax, 0);
    EXPECT_EQ(imin, 0);
}
