// Models: the packer's "MMMM" bodies read back through the data loader, welding, smoothed
// normals, tangents, drawing, release to a mark and damaged bodies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/packer/pack_model.h"

namespace {

uint32_t body_word(const std::vector<uint8_t> &body, int word) {
    uint32_t v;
    std::memcpy(&v, body.data() + 4 * word, 4);
    return v;
}

float body_float(const std::vector<uint8_t> &body, int word) {
    float f;
    std::memcpy(&f, body.data() + 4 * word, 4);
    return f;
}

} // namespace

// One triangle (0,0,0) (2,0,0) (0,4,0): box 0..2, 0..4, 0..0; sphere centred at (1,2,0) with
// radius sqrt(1 + 4).
TEST(PackModel, HeaderBoundsFromPositions) {
    PackModel m;
    m.name = "tri";
    m.positions = {0, 0, 0, 2, 0, 0, 0, 4, 0};
    m.indices[PACK_INDEX_POSITION] = {0, 1, 2};
    m.materials.push_back({"wood", 0, 0, 7});
    const std::vector<uint8_t> body = pack_model_body(m);
    ASSERT_GE(body.size(), PACK_MODEL_HEADER_SIZE + 16u);
    EXPECT_EQ(body_word(body, PACK_MODEL_TRIANGLES), 1u);
    const float box[6] = {0, 2, 0, 4, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(body_float(body, PACK_MODEL_BOX + i), box[i]) << i;
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_SPHERE), 1.0f);
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_SPHERE + 1), 2.0f);
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_RADIUS), std::sqrt(5.0f));
    EXPECT_EQ(body_word(body, PACK_MODEL_MATERIALS), 1u);
    const uint32_t name = body_word(body, PACK_MODEL_HEADER_SIZE / 4);
    ASSERT_LT(name, body.size());
    EXPECT_STREQ(reinterpret_cast<const char *>(body.data() + name), "wood");
    // Absent attributes leave both their array and their index array at offset 0.
    EXPECT_EQ(body_word(body, 3), 0u);
    EXPECT_EQ(body_word(body, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_NORMAL), 0u);
}
