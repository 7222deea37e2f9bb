// Truncated and damaged files of every format fail cleanly (run under ASan too).
#include "image_test_util.h"
#include "platform/image/image.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::vector<uint8_t> small_png() {
    PngSpec spec;
    spec.width = 5, spec.height = 3, spec.colour_type = PNG_COLOR_TYPE_PALETTE;
    spec.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0};
    spec.trns = {0};
    spec.rows = {0, 1, 2, 1, 0, 2, 2, 2, 2, 2, 1, 0, 1, 0, 1};
    return test_encode_png(spec);
}

std::vector<uint8_t> small_jpeg() {
    std::vector<uint8_t> rgb(24 * 16 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    return test_encode_jpeg(rgb.data(), 24, 16, 3, 80);
}

std::vector<uint8_t> small_bmp() {
    std::vector<uint8_t> f(54 + 8 + 8, 0);
    const uint8_t head[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0,
                            3,   0,   0,  0, 2, 0, 0, 0, 1, 0, 8,  0, 0, 0, 0,  0, 0, 0};
    memcpy(f.data(), head, sizeof(head));
    f[46] = 2;                    // two palette entries
    f[54] = 255, f[58 + 1] = 255; // blue, green
    const uint8_t rows[] = {0, 1, 0, 0, 1, 1, 0, 0};
    memcpy(f.data() + 62, rows, sizeof(rows));
    return f;
}

std::vector<uint8_t> small_dds() {
    std::vector<uint8_t> f(128 + 16 + 8 + 8, 0x5A);
    memset(f.data(), 0, 128);
    memcpy(f.data(), "DDS ", 4);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) f[at + size_t(k)] = uint8_t(v >> (8 * k));
    };
    put32(4, 124), put32(8, 0x21007), put32(12, 8), put32(16, 4), put32(28, 3);
    put32(76, 32), put32(80, 4), put32(84, 0x31545844);
    return f;
}

struct Sample {
    const char *name;
    std::vector<uint8_t> bytes;
};

// Deterministic bit flips (xorshift), so every run damages the same bytes.
uint32_t next(uint32_t &s) {
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    return s;
}

} // namespace

TEST(DamagedInput, EveryPrefixFailsAndTheWholeFileDecodes) {
    const Sample samples[] = {
        {"png", small_png()}, {"jpeg", small_jpeg()}, {"bmp", small_bmp()}, {"dds", small_dds()}};
    for (const Sample &s : samples) {
        Image img;
        char err[128];
        ASSERT_TRUE(image_decode(s.bytes.data(), s.bytes.size(), &img, err, sizeof(err)))
            << s.name << ": " << err;
        image_free(&img);
        for (size_t n = 0; n < s.bytes.size(); ++n) {
            // An exact-size heap copy lets the address checker see any over-read.
            std::vector<uint8_t> cut(s.bytes.begin(), s.bytes.begin() + long(n));
            err[0] = 0;
            EXPECT_FALSE(image_decode(cut.data(), cut.size(), &img, err, sizeof(err)))
                << s.name << " prefix " << n;
            EXPECT_NE(err[0], 0) << s.name << " prefix " << n;
            EXPECT_EQ(img.data, nullptr);
        }
    }
}

TEST(DamagedInput, FlippedBytesNeverCrash) {
    const Sample samples[] = {
        {"png", small_png()}, {"jpeg", small_jpeg()}, {"bmp", small_bmp()}, {"dds", small_dds()}};
    uint32_t seed = 12345;
    for (const Sample &s : samples) {
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> bad = s.bytes;
            int flips = 1 + int(next(seed) % 4);
            for (int k = 0; k < flips; ++k) bad[next(seed) % bad.size()] ^= uint8_t(next(seed));
            Image img;
            if (image_decode(bad.data(), bad.size(), &img, nullptr, 0)) {
                EXPECT_GT(img.width, 0);
                EXPECT_NE(img.data, nullptr);
            }
            image_free(&img);
        }
    }
}

TEST(DamagedInput, UnknownAndEmptyInput) {
    Image img;
    char err[64];
    EXPECT_FALSE(image_decode(nullptr, 0, &img, err, sizeof(err)));
    EXPECT_FALSE(image_decode("GIF89a", 6, &img, err, sizeof(err)));
    EXPECT_STRNE(err, "");
    EXPECT_FALSE(image_decode("GIF89a", 6, &img, nullptr, 0)); // no reason buffer is fine
}

TEST(ImageFile, LoadsThroughBackslashPathsAndReportsMissingFiles) {
    std::vector<uint8_t> png = small_png();
    const std::string dir = test_temp_folder("image");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/image_file_test.png";
    ASSERT_TRUE(test_write_file(path, png));
    std::string data_path = path;
    for (char &c : data_path)
        if (c == '/') c = '\\';
    Image img;
    char err[256];
    ASSERT_TRUE(image_load_file(data_path.c_str(), &img, err, sizeof(err))) << err;
    EXPECT_EQ(img.width, 5);
    EXPECT_EQ(img.height, 3);
    EXPECT_TRUE(img.has_alpha);
    image_free(&img);
    remove(path.c_str());
    EXPECT_FALSE(image_load_file(path.c_str(), &img, err, sizeof(err)));
    EXPECT_NE(strstr(err, "image_file_test.png"), nullptr) << err;
}
