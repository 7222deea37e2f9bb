#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "platform/sound/wave_file.h"
#include "tests/support/test_files.h"
#include "tests/support/test_fuzz.h"

namespace {
using Bytes = std::vector<uint8_t>;

void put16(Bytes &b, uint16_t v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
}
void put32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}
void chunk(Bytes &b, const char *id, const Bytes &body, uint32_t declared = UINT32_MAX) {
    b.insert(b.end(), id, id + 4);
    put32(b, declared == UINT32_MAX ? (uint32_t)body.size() : declared);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
}
Bytes fmt_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes f;
    uint16_t block = (uint16_t)(channels * bits / 8);
    put16(f, tag);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * block);
    put16(f, block);
    put16(f, bits);
    return f;
}
Bytes riff(const Bytes &chunks, int32_t size_adjust = 0) {
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, (uint32_t)(chunks.size() + 4 + size_adjust));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}
Bytes samples(size_t n) {
    Bytes d(n);
    for (size_t i = 0; i < n; ++i) d[i] = (uint8_t)(i * 7 + 1);
    return d;
}

SndlWaveResult parse(SndlWave *w, const Bytes &b) {
    return sndl_wave_parse(w, b.data(), (uint32_t)b.size());
}

TEST(WaveFile, SkipsUnknownAndPaddedChunksAndFindsTheData) {
    Bytes c;
    chunk(c, "junk", samples(5)); // odd size: one pad byte follows
    chunk(c, "fmt ", fmt_body(1, 2, 22050, 16));
    chunk(c, "LIST", samples(12));
    chunk(c, "data", samples(400));
    SndlWave w;
    ASSERT_EQ(parse(&w, riff(c)), SNDL_WAVE_OK);
    EXPECT_EQ(w.format.channels, 2);
    EXPECT_EQ(w.format.samples_per_sec, 22050u);
    EXPECT_EQ(w.format.block_align, 4);
    EXPECT_EQ(w.data_bytes, 400u);
    EXPECT_EQ(w.data_offset, 12u + 14 + 24 + 20 + 8);
    EXPECT_EQ(w.bytes[w.data_offset], 1);
    EXPECT_TRUE(sndl_wave_is_playable(&w.format));
    sndl_wave_free(&w);
    EXPECT_EQ(w.bytes, nullptr);
}

TEST(WaveFile, DataSizeIsTheSmallerOfDeclaredAndPresentInWholeBlocks) {
    Bytes c;
    chunk(c, "fmt ", fmt_body(1, 1, 44100, 16));
    Bytes truncated = c;
    chunk(truncated, "data", samples(1000));
    truncated.resize(truncated.size() - 499); // the file ends early: 501 bytes of data remain
    SndlWave w;
    ASSERT_EQ(parse(&w, riff(truncated)), SNDL_WAVE_OK);
    EXPECT_EQ(w.data_bytes, 500u);
    EXPECT_LE(w.data_offset + w.data_bytes, w.file_bytes);
    sndl_wave_free(&w);

    Bytes lying = c;
    chunk(lying, "data", samples(64), 0x7FFFFFF0);
    ASSERT_EQ(parse(&w, riff(lying, 0x1000000)), SNDL_WAVE_OK); // the RIFF size lies as well
    EXPECT_EQ(w.data_bytes, 64u);
    sndl_wave_free(&w);
}

TEST(WaveFile, NonPcmWithA16ByteFormatDoesNotBorrowFromTheNextChunk) {
    Bytes c;
    chunk(c, "fmt ", fmt_body(3, 1, 44100, 32)); // float samples, no extra-size word
    chunk(c, "data", samples(64));
    SndlWave w;
    ASSERT_EQ(parse(&w, riff(c)), SNDL_WAVE_OK);
    EXPECT_EQ(w.format.format_tag, 3);
    EXPECT_EQ(w.format.extra_size, 0);
    EXPECT_EQ(w.data_bytes, 64u);
    EXPECT_FALSE(sndl_wave_is_playable(&w.format));
    sndl_wave_free(&w);
}

TEST(WaveFile, PlayableFormatsArePcm8Or16MonoOrStereoPlainOrExtensible) {
    SndlWaveFormat f{};
    f = {1, 1, 8000, 8000, 1, 8, 0, {}};
    EXPECT_TRUE(sndl_wave_is_playable(&f));
    f = {1, 2, 44100, 44100 * 6, 6, 24, 0, {}};
    EXPECT_FALSE(sndl_wave_is_playable(&f));
    f = {1, 3, 44100, 44100 * 6, 6, 16, 0, {}};
    EXPECT_FALSE(sndl_wave_is_playable(&f));
    f = {1, 2, 44100, 44100 * 4, 2, 16, 0, {}}; // block does not match the layout
    EXPECT_FALSE(sndl_wave_is_playable(&f));

    Bytes ext = fmt_body(0xFFFE, 2, 44100, 16);
    put16(ext, 22);
    put16(ext, 16); // valid bits
    put32(ext, 3);  // channel mask
    const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext.insert(ext.end(), pcm, pcm + 16);
    Bytes c;
    chunk(c, "fmt ", ext);
    chunk(c, "data", samples(16));
    SndlWave w;
    ASSERT_EQ(parse(&w, riff(c)), SNDL_WAVE_OK);
    EXPECT_EQ(w.format.extra_size, 22);
    EXPECT_TRUE(sndl_wave_is_playable(&w.format));
    w.format.extra[6] = 3; // a float sub-format
    EXPECT_FALSE(sndl_wave_is_playable(&w.format));
    sndl_wave_free(&w);
}

TEST(WaveFile, MalformedFilesAreRefused) {
    SndlWave w;
    Bytes c;
    Bytes short_fmt = fmt_body(1, 1, 44100, 16);
    short_fmt.resize(14);
    chunk(c, "fmt ", short_fmt);
    chunk(c, "data", samples(16));
    EXPECT_EQ(parse(&w, riff(c)), SNDL_WAVE_BAD_FILE);

    Bytes big_extra = fmt_body(2, 1, 44100, 4);
    put16(big_extra, 40); // claims 40 extra bytes, has none
    c.clear();
    chunk(c, "fmt ", big_extra);
    chunk(c, "data", samples(16));
    EXPECT_EQ(parse(&w, riff(c)), SNDL_WAVE_BAD_FILE);

    c.clear();
    chunk(c, "fmt ", fmt_body(1, 1, 44100, 16));
    EXPECT_EQ(parse(&w, riff(c)), SNDL_WAVE_BAD_FILE); // no data chunk

    c.clear();
    chunk(c, "data", samples(16));
    EXPECT_EQ(parse(&w, riff(c)), SNDL_WAVE_BAD_FILE); // no format chunk

    Bytes not_wave = riff(c);
    std::memcpy(not_wave.data() + 8, "AVI ", 4);
    EXPECT_EQ(parse(&w, not_wave), SNDL_WAVE_BAD_FILE);
    EXPECT_EQ(parse(&w, Bytes{'R', 'I', 'F', 'F'}), SNDL_WAVE_BAD_FILE);
    EXPECT_EQ(w.bytes, nullptr);
}

TEST(WaveFile, ReadsFilesByBackslashPathsAndReportsMissingOnes) {
    Bytes c;
    chunk(c, "fmt ", fmt_body(1, 1, 11025, 8));
    chunk(c, "data", samples(33));
    std::string dir = test_temp_folder("wave");
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(test_write_file(dir + "/t.wav", riff(c)));

    SndlWave w;
    ASSERT_EQ(sndl_wave_read(&w, (dir + "\\t.wav").c_str()), SNDL_WAVE_OK);
    EXPECT_EQ(w.data_bytes, 33u);
    EXPECT_EQ(w.format.bits_per_sample, 8);
    sndl_wave_free(&w);
    EXPECT_EQ(sndl_wave_read(&w, (dir + "\\missing.wav").c_str()), SNDL_WAVE_CANNOT_OPEN);
}

Bytes extensible_fmt() {
    Bytes ext = fmt_body(0xFFFE, 1, 22050, 16);
    put16(ext, 22);
    put16(ext, 16);
    put32(ext, 4);
    const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext.insert(ext.end(), pcm, pcm + 16);
    return ext;
}

std::vector<Bytes> wave_samples() {
    std::vector<Bytes> out;
    Bytes c;
    chunk(c, "junk", samples(5));
    chunk(c, "fmt ", fmt_body(1, 2, 22050, 16));
    chunk(c, "data", samples(64));
    out.push_back(riff(c));
    c.clear();
    chunk(c, "fmt ", fmt_body(1, 1, 8000, 8));
    chunk(c, "data", samples(33));
    chunk(c, "LIST", samples(10));
    out.push_back(riff(c));
    c.clear();
    chunk(c, "fmt ", extensible_fmt());
    chunk(c, "data", samples(40));
    out.push_back(riff(c));
    c.clear();
    Bytes adpcm = fmt_body(2, 1, 11025, 4);
    put16(adpcm, 2);
    put16(adpcm, 0x1F4);
    chunk(c, "data", samples(20)); // data before the format
    chunk(c, "fmt ", adpcm);
    out.push_back(riff(c));
    c.clear();
    Bytes pcm18 = fmt_body(1, 2, 44100, 8);
    put16(pcm18, 0);
    chunk(c, "fmt ", pcm18);
    chunk(c, "data", samples(18));
    out.push_back(riff(c));
    return out;
}

// The RIFF size, every chunk size, and the words of each format chunk.
std::vector<FuzzField> wave_fields(const Bytes &b) {
    std::vector<FuzzField> f = {{4, 4, false}};
    size_t at = 12;
    while (at + 8 <= b.size()) {
        f.push_back({at + 4, 4, false});
        uint32_t len = fuzz_get_field(b, {at + 4, 4, false});
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
            const std::pair<size_t, int> words[] = {{0, 2},  {2, 2},  {4, 4},  {8, 4},
                                                    {12, 2}, {14, 2}, {16, 2}, {18, 2}};
            for (const auto &w : words)
                if (w.first + size_t(w.second) <= len)
                    f.push_back({at + 8 + w.first, w.second, false});
        }
        at += 8 + size_t(len) + (len & 1);
    }
    return f;
}

// Damaged files either fail and leave nothing behind, or describe data that lies wholly
// inside the file, in whole blocks.
TEST(WaveFile, DamagedFilesAreReadConsistentlyOrRefused) {
    std::vector<Bytes> good = wave_samples();
    for (const Bytes &g : good) {
        SndlWave w;
        ASSERT_EQ(parse(&w, g), SNDL_WAVE_OK);
        sndl_wave_free(&w);
    }
    FuzzRng rng = {0x5EED};
    int read = 0, refused = 0;
    for (int run = 0; run < 20000; ++run) {
        const Bytes &sample = good[size_t(run) % good.size()];
        Bytes bad = fuzz_damage(sample, wave_fields(sample), rng);
        Bytes exact(bad.begin(), bad.end()); // exact size, for the address checker
        SndlWave w;
        SndlWaveResult r = parse(&w, exact);
        if (r != SNDL_WAVE_OK) {
            ++refused;
            EXPECT_EQ(r, SNDL_WAVE_BAD_FILE) << "run " << run;
            EXPECT_EQ(w.bytes, nullptr) << "run " << run;
            EXPECT_EQ(w.data_bytes, 0u) << "run " << run;
            continue;
        }
        ++read;
        ASSERT_NE(w.bytes, nullptr) << "run " << run;
        EXPECT_EQ(w.file_bytes, exact.size()) << "run " << run;
        EXPECT_GE(w.data_offset, 20u) << "run " << run;
        ASSERT_LE(uint64_t(w.data_offset) + w.data_bytes, w.file_bytes) << "run " << run;
        if (w.format.block_align) {
            EXPECT_EQ(w.data_bytes % w.format.block_align, 0u) << "run " << run;
        }
        EXPECT_LE(w.format.extra_size, SNDL_WAVE_MAX_EXTRA);
        EXPECT_EQ(std::memcmp(w.bytes, exact.data(), exact.size()), 0);
        unsigned sum = 0;
        for (uint32_t i = 0; i < w.data_bytes; ++i) sum += w.bytes[w.data_offset + i];
        (void)sum;
        sndl_wave_is_playable(&w.format);
        sndl_wave_free(&w);
        EXPECT_EQ(w.bytes, nullptr);
    }
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}
} // namespace
