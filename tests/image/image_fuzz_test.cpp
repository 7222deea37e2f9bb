// Bounded, repeatable fuzzing of the image readers: small valid files of every format are
// damaged in many ways (flipped bytes, cut lengths, header fields set to 0, 1, huge and
// negative values) and each result must either decode to a consistent image or fail with
// a reason. Run it under the address checker as well.
#include "image_test_util.h"
#include "platform/image/image.h"
#include "tests/support/test_fuzz.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = FuzzBytes;
using Field = FuzzField;

// A decoded image must describe exactly the memory it owns.
void expect_consistent(const Image &img, const char *what, int run) {
    SCOPED_TRACE(testing::Message() << what << " run " << run);
    ASSERT_NE(img.data, nullptr);
    ASSERT_GE(img.width, 1);
    ASSERT_GE(img.height, 1);
    ASSERT_LE(img.width, 16384);
    ASSERT_LE(img.height, 16384);
    ASSERT_GE(img.levels, 1);
    ASSERT_LE(img.levels, IMAGE_MAX_LEVELS);
    int32_t w = img.width, h = img.height;
    size_t end = 0;
    for (int32_t i = 0; i < img.levels; ++i) {
        size_t want = img.kind == IMAGE_RGBA8 ? size_t(w) * size_t(h) * 4
                                              : size_t((w + 3) / 4) * size_t((h + 3) / 4) *
                                                    (img.kind == IMAGE_DXT1 ? 8u : 16u);
        EXPECT_EQ(img.level_size[i], want) << "level " << i;
        EXPECT_EQ(img.level_offset[i], end) << "level " << i;
        end = img.level_offset[i] + img.level_size[i];
        ASSERT_LE(end, img.size);
        if (img.kind != IMAGE_RGBA8) {
            std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
            EXPECT_TRUE(image_decompress_dxt(img.kind, img.data + img.level_offset[i],
                                             img.level_size[i], w, h, rgba.data()));
        }
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
    }
    EXPECT_EQ(end, img.size);
    // Touch every byte so an owned size larger than the allocation shows up.
    unsigned sum = 0;
    for (size_t i = 0; i < img.size; ++i) sum += img.data[i];
    (void)sum;
}

struct FuzzStats {
    int decoded = 0;
    int refused = 0;
};

// Damages each sample `runs` times; every refusal must leave a reason and an empty image.
FuzzStats fuzz(const char *what, const std::vector<Bytes> &samples,
               std::vector<Field> (*fields_of)(const Bytes &), void (*repair)(Bytes &), int runs,
               uint32_t seed) {
    FuzzStats stats;
    FuzzRng rng = {seed};
    for (int run = 0; run < runs; ++run) {
        const Bytes &good = samples[size_t(run) % samples.size()];
        Bytes bad = fuzz_damage(good, fields_of(good), rng);
        if (repair && rng.below(4) != 0) repair(bad);
        // An exact-size heap copy lets the address checker see any over-read.
        Bytes exact(bad.begin(), bad.end());
        Image img;
        char err[160];
        err[0] = 0;
        if (image_decode(exact.data(), exact.size(), &img, err, sizeof(err))) {
            ++stats.decoded;
            expect_consistent(img, what, run);
            image_free(&img);
        } else {
            ++stats.refused;
            EXPECT_NE(err[0], 0) << what << " run " << run;
            EXPECT_EQ(img.data, nullptr) << what << " run " << run;
        }
        if (testing::Test::HasFatalFailure()) break;
    }
    return stats;
}

// ---- BMP --------------------------------------------------------------------------------

Bytes bmp(uint32_t header, int w, int h, int bpp, uint32_t compression, const Bytes &extra) {
    Bytes f(14 + header, 0);
    f[0] = 'B', f[1] = 'M';
    test_put32(f, 14, header);
    if (header == 12) {
        test_put16(f, 18, uint32_t(w)), test_put16(f, 20, uint32_t(h));
        test_put16(f, 22, 1), test_put16(f, 24, uint32_t(bpp));
    } else {
        test_put32(f, 18, uint32_t(w)), test_put32(f, 22, uint32_t(h));
        test_put16(f, 26, 1), test_put16(f, 28, uint32_t(bpp));
        test_put32(f, 30, compression);
    }
    f.insert(f.end(), extra.begin(), extra.end());
    test_put32(f, 10, uint32_t(f.size()));
    size_t stride = ((size_t(w) * size_t(bpp) + 31) / 32) * 4;
    for (size_t i = 0; i < stride * size_t(h < 0 ? -h : h); ++i) f.push_back(uint8_t(i * 37));
    test_put32(f, 2, uint32_t(f.size()));
    return f;
}

std::vector<Bytes> bmp_samples() {
    Bytes palette(16 * 4);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = uint8_t(i * 11);
    Bytes core_palette(16 * 3, 0x44);
    Bytes masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF};
    Bytes v5(124 - 40, 0); // masks inside a larger header
    memcpy(v5.data(), masks.data(), masks.size());
    return {
        bmp(40, 5, 3, 8, 0, palette), bmp(40, 3, -2, 24, 0, {}), bmp(40, 2, 2, 32, 3, masks),
        bmp(40, 2, 2, 32, 6, masks),  bmp(124, 3, 2, 32, 3, v5), bmp(12, 4, 2, 8, 0, core_palette),
        bmp(40, 4, 4, 32, 0, {}),
    };
}

std::vector<Field> bmp_fields(const Bytes &b) {
    std::vector<Field> f = {{2, 4, false},  {10, 4, false}, {14, 4, false}, {18, 4, false},
                            {22, 4, false}, {18, 2, false}, {20, 2, false}, {22, 2, false},
                            {24, 2, false}, {26, 2, false}, {28, 2, false}, {30, 4, false},
                            {34, 4, false}, {46, 4, false}, {50, 4, false}};
    for (size_t at = 54; at + 4 <= b.size() && at < 54 + 16; at += 4) f.push_back({at, 4, false});
    return f;
}

// ---- DDS --------------------------------------------------------------------------------

Bytes dds(int w, int h, int mips, uint32_t pf_flags, uint32_t code, uint32_t bits,
          const uint32_t masks[4], size_t data_bytes) {
    Bytes data(data_bytes);
    for (size_t i = 0; i < data_bytes; ++i) data[i] = uint8_t(i * 29 + 3);
    return test_dds_file(w, h, mips, pf_flags, code, bits, masks, data);
}

std::vector<Bytes> dds_samples() {
    const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const uint32_t r5g6b5[4] = {0xF800, 0x07E0, 0x001F, 0};
    const uint32_t lum[4] = {0xFF, 0, 0, 0};
    const uint32_t alpha[4] = {0, 0, 0, 0xFF};
    return {
        dds(8, 4, 3, 4, 0x31545844, 0, nullptr, 16 + 8 + 8),  // DXT1, three levels
        dds(4, 4, 0, 4, 0x33545844, 0, nullptr, 16),          // DXT3
        dds(6, 5, 2, 4, 0x35545844, 0, nullptr, 4 * 16 + 16), // DXT5, edges
        dds(3, 2, 2, 0x41, 0, 32, argb, (6 + 1) * 4),         // ARGB with a level
        dds(3, 3, 0, 0x40, 0, 16, r5g6b5, 9 * 2),             // 565
        dds(4, 2, 0, 0x20000, 0, 8, lum, 8),                  // luminance
        dds(2, 2, 0, 0x2, 0, 8, alpha, 4),                    // alpha only
    };
}

std::vector<Field> dds_fields(const Bytes &) {
    std::vector<Field> f;
    const size_t words[] = {4, 8, 12, 16, 20, 24, 28, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112};
    for (size_t at : words) f.push_back({at, 4, false});
    return f;
}

// ---- PNG --------------------------------------------------------------------------------

uint32_t crc32_of(const uint8_t *p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return c ^ 0xFFFFFFFFu;
}

uint32_t rd32be(const Bytes &b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
           uint32_t(b[at + 3]);
}

// Rewrites the checksum of every whole chunk, so damage reaches past the checksum test.
void png_repair(Bytes &b) {
    size_t at = 8;
    while (at + 12 <= b.size()) {
        uint32_t len = rd32be(b, at);
        if (len > b.size() - at - 12) break;
        uint32_t crc = crc32_of(b.data() + at + 4, size_t(len) + 4);
        Field f = {at + 8 + len, 4, true};
        fuzz_put_field(b, f, crc);
        at += 12 + len;
    }
}

std::vector<Field> png_fields(const Bytes &b) {
    std::vector<Field> f = {{16, 4, true}, {20, 4, true}, {24, 1, true}, {25, 1, true},
                            {26, 1, true}, {27, 1, true}, {28, 1, true}};
    size_t at = 8;
    while (at + 12 <= b.size()) {
        f.push_back({at, 4, true});
        uint32_t len = rd32be(b, at);
        if (len > b.size() - at - 12) break;
        at += 12 + len;
    }
    return f;
}

std::vector<Bytes> png_samples() {
    std::vector<Bytes> out;
    PngSpec pal;
    pal.width = 5, pal.height = 3, pal.colour_type = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0};
    pal.trns = {0, 128};
    pal.rows = {0, 1, 2, 1, 0, 2, 2, 2, 2, 2, 1, 0, 1, 0, 1};
    out.push_back(test_encode_png(pal));

    PngSpec grey16;
    grey16.width = 3, grey16.height = 2, grey16.colour_type = PNG_COLOR_TYPE_GRAY;
    grey16.bit_depth = 16;
    for (int i = 0; i < 12; ++i) grey16.rows.push_back(uint8_t(i * 20));
    out.push_back(test_encode_png(grey16));

    PngSpec low;
    low.width = 9, low.height = 2, low.colour_type = PNG_COLOR_TYPE_GRAY, low.bit_depth = 2;
    low.rows = {0x1B, 0xE4, 0x80, 0x6C, 0x39, 0x40};
    out.push_back(test_encode_png(low));

    Bytes rgba(7 * 6 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 13);
    PngSpec inter;
    inter.width = 7, inter.height = 6, inter.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    inter.interlaced = true;
    inter.rows = rgba;
    out.push_back(test_encode_png(inter));

    Bytes rgb(4 * 4 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 5);
    out.push_back(test_encode_png_pixels(4, 4, 3, rgb));
    return out;
}

// ---- JPEG -------------------------------------------------------------------------------

// Segment lengths up to the scan, and the frame's size, component and sampling bytes.
std::vector<Field> jpeg_fields(const Bytes &b) {
    std::vector<Field> f;
    size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        uint8_t marker = b[at + 1];
        size_t len = size_t(b[at + 2]) << 8 | b[at + 3];
        f.push_back({at + 2, 2, true});
        if (marker >= 0xC0 && marker <= 0xC2 && at + 10 <= b.size()) {
            f.push_back({at + 4, 1, true}); // precision
            f.push_back({at + 5, 2, true}); // height
            f.push_back({at + 7, 2, true}); // width
            f.push_back({at + 9, 1, true}); // components
            for (size_t c = at + 10; c + 3 <= at + 2 + len && c + 3 <= b.size(); c += 3) {
                f.push_back({c + 1, 1, true}); // sampling factors
                f.push_back({c + 2, 1, true}); // quantisation table
            }
        } else if (marker == 0xC4 || marker == 0xDB || marker == 0xDA) {
            for (size_t k = 4; k < 24 && at + k < b.size(); ++k) f.push_back({at + k, 1, true});
        }
        if (marker == 0xDA) break;
        at += 2 + len;
    }
    return f;
}

// The frame's height and width.
std::vector<Field> jpeg_frame_size(const Bytes &b) {
    for (const Field &f : jpeg_fields(b))
        if (f.width == 2 && f.at >= 5 && b[f.at - 5] == 0xFF && b[f.at - 4] >= 0xC0 &&
            b[f.at - 4] <= 0xC2)
            return {f, {f.at + 2, 2, true}};
    return {};
}

std::vector<Bytes> jpeg_samples() {
    Bytes rgb(16 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    Bytes grey(9 * 7);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 3);
    return {
        test_encode_jpeg(rgb.data(), 16, 8, 3, 80),
        test_encode_jpeg(rgb.data(), 16, 8, 3, 60, true),
        test_encode_jpeg(grey.data(), 9, 7, 1, 90),
    };
}

// The fuzz samples and flat pictures, whose padding decodes without a complaint.
std::vector<Bytes> jpeg_lying_samples() {
    std::vector<Bytes> out = jpeg_samples();
    Bytes flat(64 * 16 * 3, 90);
    out.push_back(test_encode_jpeg(flat.data(), 64, 16, 3, 75));
    out.push_back(test_encode_jpeg(flat.data(), 200, 8, 1, 75));
    return out;
}

void expect_samples_decode(const std::vector<Bytes> &samples) {
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_FALSE(samples[i].empty()) << "sample " << i;
        Image img;
        char err[160];
        ASSERT_TRUE(image_decode(samples[i].data(), samples[i].size(), &img, err, sizeof(err)))
            << "sample " << i << ": " << err;
        expect_consistent(img, "sample", int(i));
        image_free(&img);
    }
}

// The valid samples decode; then every damaged one decodes consistently or fails, and both
// outcomes occur.
void fuzz_format(const char *what, const std::vector<Bytes> &samples,
                 std::vector<Field> (*fields_of)(const Bytes &), void (*repair)(Bytes &), int runs,
                 uint32_t seed) {
    expect_samples_decode(samples);
    FuzzStats s = fuzz(what, samples, fields_of, repair, runs, seed);
    EXPECT_GT(s.refused, 0);
    EXPECT_GT(s.decoded, 0);
}

} // namespace

TEST(ImageFuzz, DamagedBmpFilesDecodeConsistentlyOrFail) {
    fuzz_format("bmp", bmp_samples(), bmp_fields, nullptr, 20000, 0xB1);
}

TEST(ImageFuzz, DamagedDdsFilesDecodeConsistentlyOrFail) {
    fuzz_format("dds", dds_samples(), dds_fields, nullptr, 20000, 0xD2);
}

TEST(ImageFuzz, DamagedPngFilesDecodeConsistentlyOrFail) {
    fuzz_format("png", png_samples(), png_fields, png_repair, 10000, 0x93);
}

TEST(ImageFuzz, DamagedJpegFilesDecodeConsistentlyOrFail) {
    fuzz_format("jpeg", jpeg_samples(), jpeg_fields, nullptr, 10000, 0x4A);
}

// A header that claims more pixels than the file holds must never decode: the missing
// pixels would otherwise come back as made-up grey or black. The sizes grow past any
// row padding or partial block the samples carry.
TEST(ImageFuzz, LargerDeclaredSizeThanTheDataHoldsFails) {
    struct Case {
        const char *what;
        std::vector<Bytes> samples;
        std::vector<Field> (*fields_of)(const Bytes &);
        void (*repair)(Bytes &);
        std::vector<int> size_fields; // indexes into fields_of: width and height
    };
    const Case cases[] = {
        {"bmp",
         {bmp_samples()[0], bmp_samples()[1], bmp_samples()[3]},
         bmp_fields,
         nullptr,
         {3, 4}},
        {"dds", dds_samples(), dds_fields, nullptr, {2, 3}},
        {"png", png_samples(), png_fields, png_repair, {0, 1}},
        {"jpeg", jpeg_lying_samples(), jpeg_frame_size, nullptr, {0, 1}},
    };
    for (const Case &c : cases) {
        for (size_t i = 0; i < c.samples.size(); ++i) {
            const Bytes &good = c.samples[i];
            std::vector<Field> fields = c.fields_of(good);
            for (int which : c.size_fields) {
                ASSERT_LT(size_t(which), fields.size()) << c.what;
                const Field &f = fields[size_t(which)];
                for (uint32_t grow : {17u, 1000u}) {
                    Bytes bad = good;
                    uint32_t v = fuzz_get_field(bad, f);
                    // Keep the sign of a top-down BMP height.
                    fuzz_put_field(bad, f, int32_t(v) < 0 ? v - grow : v + grow);
                    if (c.repair) c.repair(bad);
                    Image img;
                    char err[160] = "";
                    EXPECT_FALSE(image_decode(bad.data(), bad.size(), &img, err, sizeof(err)))
                        << c.what << " sample " << i << " field at " << f.at << " +" << grow;
                    EXPECT_NE(err[0], 0);
                    image_free(&img);
                }
            }
        }
    }
}

// Where the first scan's coded data begins (0 when there is no scan).
size_t jpeg_scan_data(const Bytes &b) {
    size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        size_t len = size_t(b[at + 2]) << 8 | b[at + 3];
        if (b[at + 1] == 0xDA) return at + 2 + len;
        at += 2 + len;
    }
    return 0;
}

// A single-scan file whose scan is cut short and closed with an end marker is missing
// rows, however the cut falls.
TEST(ImageFuzz, JpegScanCutAndClosedAgainFails) {
    Bytes rgb(48 * 32 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 + (i / 97) * 13);
    Bytes grey(40 * 24);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 5 + (i / 31) * 11);
    const Bytes samples[] = {test_encode_jpeg(rgb.data(), 48, 32, 3, 80),
                             test_encode_jpeg(grey.data(), 40, 24, 1, 90)};
    for (const Bytes &good : samples) {
        size_t scan = jpeg_scan_data(good);
        ASSERT_GT(scan, 0u);
        for (size_t cut = scan; cut + 2 < good.size(); ++cut) {
            Bytes bad(good.begin(), good.begin() + long(cut));
            bad.push_back(0xFF), bad.push_back(0xD9);
            Image img;
            char err[160] = "";
            EXPECT_FALSE(image_decode(bad.data(), bad.size(), &img, err, sizeof(err)))
                << "cut at " << cut << " of " << good.size();
            image_free(&img);
        }
    }
}

// A small file whose header claims a very large picture is refused from its size alone,
// before the pixels are allocated, with a reason that says so.
TEST(ImageFuzz, SmallFileClaimingAHugePictureIsRefusedUpFront) {
    Bytes png = png_samples()[4]; // 4 x 4 RGB
    fuzz_put_field(png, {16, 4, true}, 16384);
    fuzz_put_field(png, {20, 4, true}, 4096);
    png_repair(png);
    Image img;
    char err[160] = "";
    EXPECT_FALSE(image_decode(png.data(), png.size(), &img, err, sizeof(err)));
    EXPECT_NE(strstr(err, "more than the data holds"), nullptr) << err;

    // The same picture with a file large enough to hold it still gets to its pixel data.
    png = png_samples()[4];
    fuzz_put_field(png, {16, 4, true}, 16);
    fuzz_put_field(png, {20, 4, true}, 16);
    png_repair(png);
    EXPECT_FALSE(image_decode(png.data(), png.size(), &img, err, sizeof(err)));
    EXPECT_EQ(strstr(err, "more than the data holds"), nullptr) << err;

    for (const Bytes &good : jpeg_samples()) {
        std::vector<Field> size = jpeg_frame_size(good);
        ASSERT_EQ(size.size(), 2u);
        Bytes jpeg = good;
        fuzz_put_field(jpeg, size[0], 4096);
        fuzz_put_field(jpeg, size[1], 16384);
        err[0] = 0;
        EXPECT_FALSE(image_decode(jpeg.data(), jpeg.size(), &img, err, sizeof(err)));
        EXPECT_NE(strstr(err, "more than the data holds"), nullptr) << err;
        jpeg = good;
        fuzz_put_field(jpeg, size[0], 64);
        fuzz_put_field(jpeg, size[1], 64);
        EXPECT_FALSE(image_decode(jpeg.data(), jpeg.size(), &img, err, sizeof(err)));
        EXPECT_EQ(strstr(err, "more than the data holds"), nullptr) << err;
    }
}

// Where the last scan (its start-of-scan marker) begins, and where the end marker is.
void jpeg_last_scan(const Bytes &b, size_t *scan, size_t *end) {
    *scan = *end = 0;
    for (size_t at = 2; at + 1 < b.size(); ++at) {
        if (b[at] != 0xFF) continue;
        if (b[at + 1] == 0xDA) *scan = at;
        if (b[at + 1] == 0xD9) *end = at;
    }
}

// A progressive file repeating one scan thousands of times costs a pass over every block
// per scan: it is refused rather than worked through.
TEST(ImageFuzz, JpegWithEndlessScansIsRefused) {
    Bytes rgb(256 * 256 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 + (i / 777) * 13);
    Bytes good = test_encode_jpeg(rgb.data(), 256, 256, 3, 80, true);
    size_t scan, end;
    jpeg_last_scan(good, &scan, &end);
    ASSERT_GT(scan, 0u);
    ASSERT_GT(end, scan);
    Bytes bad(good.begin(), good.begin() + long(end));
    for (int k = 0; k < 5000; ++k)
        bad.insert(bad.end(), good.begin() + long(scan), good.begin() + long(end));
    bad.push_back(0xFF), bad.push_back(0xD9);
    Image img;
    char err[160] = "";
    EXPECT_FALSE(image_decode(bad.data(), bad.size(), &img, err, sizeof(err)));
    EXPECT_NE(strstr(err, "scans"), nullptr) << err;
    image_free(&img);
    // The file as made, with its usual handful of scans, still decodes.
    ASSERT_TRUE(image_decode(good.data(), good.size(), &img, err, sizeof(err))) << err;
    image_free(&img);
}

// Block decompression takes its sizes from the caller: sizes the blocks given cannot cover
// are refused, however large, without overflowing the block count.
TEST(ImageFuzz, DxtDecompressionRefusesSizesItsBlocksCannotCover) {
    uint8_t blocks[32] = {};
    uint8_t rgba[8 * 4 * 4] = {};
    const int32_t sides[] = {0x7FFFFFFF, 0x7FFFFFFE, 0x7FFFFFFD, 0x40000000, 0x10000, -1, 0};
    for (ImageKind kind : {IMAGE_DXT1, IMAGE_DXT3, IMAGE_DXT5}) {
        for (int32_t w : sides) {
            EXPECT_FALSE(image_decompress_dxt(kind, blocks, sizeof(blocks), w, 4, rgba)) << w;
            EXPECT_FALSE(image_decompress_dxt(kind, blocks, sizeof(blocks), 4, w, rgba)) << w;
            EXPECT_FALSE(image_decompress_dxt(kind, blocks, sizeof(blocks), w, w, rgba)) << w;
        }
        EXPECT_TRUE(image_decompress_dxt(kind, blocks, sizeof(blocks), 8, 4, rgba));
    }
    EXPECT_FALSE(image_decompress_dxt(IMAGE_RGBA8, blocks, sizeof(blocks), 4, 4, rgba));
}
