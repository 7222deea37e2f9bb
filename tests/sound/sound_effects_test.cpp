#include <algorithm>
#include <cmath>
#include "platform/sound/sound_effects.h"
#include "sound_test_util.h"

namespace {
constexpr uint32_t RATE = 44100;
constexpr uint32_t FX = SNDL_CTRL_VOLUME | SNDL_CTRL_FX;

// 20 ms of tone at the start of a 1 s buffer, silence after it.
std::vector<int16_t> burst() {
    std::vector<int16_t> s = sine16(RATE, 1000, 1.0f, 0.8f);
    for (size_t i = RATE / 50; i < s.size(); ++i) s[i] = 0;
    return s;
}

size_t ms(double t) {
    return (size_t)(t * RATE / 1000.0);
}

TEST_F(LoopbackTest, EchoAddsADelayedCopy200msLater) {
    SndlBuffer *b = make_buffer(burst(), RATE, FX);
    ASSERT_NE(b, nullptr);
    SndlEchoParams echo{50, 50, 200, 200, 0};
    ASSERT_TRUE(sndl_buffer_set_echo(b, &echo));
    ASSERT_TRUE(sndl_buffer_play(b, false));
    Rendered r = render_frames(ms(700));
    double dry = rms(r.left, ms(2), ms(18));
    double gap = rms(r.left, ms(40), ms(190));
    double first = rms(r.left, ms(204), ms(218));
    double second = rms(r.left, ms(404), ms(418)); // the feedback repeats it
    EXPECT_GT(dry, 0.05);
    EXPECT_LT(gap, dry * 0.01);
    EXPECT_GT(first, dry * 0.3);
    EXPECT_GT(second, first * 0.2);
    EXPECT_LT(second, first * 0.8);
}

TEST_F(LoopbackTest, EffectsNeedTheFlagAStoppedBufferAndValidParameters) {
    SndlBuffer *plain = make_buffer(burst(), RATE, SNDL_CTRL_VOLUME);
    SndlEchoParams echo{50, 50, 200, 200, 0};
    EXPECT_FALSE(sndl_buffer_set_echo(plain, &echo));

    SndlBuffer *b = make_buffer(burst(), RATE, FX);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    EXPECT_FALSE(sndl_buffer_set_echo(b, &echo));
    EXPECT_FALSE(sndl_buffer_set_i3dl2_reverb(b, 1));
    ASSERT_TRUE(sndl_buffer_stop(b));
    SndlEchoParams bad{101, 50, 200, 200, 0};
    EXPECT_FALSE(sndl_buffer_set_echo(b, &bad));
    EXPECT_FALSE(sndl_buffer_set_i3dl2_reverb(b, SNDL_I3DL2_PRESET_COUNT));
    EXPECT_EQ(sndl_i3dl2_preset(SNDL_I3DL2_PRESET_COUNT), nullptr);
    EXPECT_TRUE(sndl_buffer_set_i3dl2_reverb(b, 29));
}

TEST_F(LoopbackTest, ReverbLeavesATailAndClearingRemovesIt) {
    SndlBuffer *b = make_buffer(burst(), RATE, FX);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_set_i3dl2_reverb(b, 8)); // concert hall, 3.9 s decay
    ASSERT_TRUE(sndl_buffer_play(b, false));
    Rendered wet = render_frames(ms(300));
    double tail = rms(wet.left, ms(100), ms(300));
    EXPECT_GT(tail, 1e-3);

    ASSERT_TRUE(sndl_buffer_stop(b));
    render_frames(RATE * 8); // let the tail die away
    ASSERT_TRUE(sndl_buffer_clear_effects(b));
    ASSERT_TRUE(sndl_buffer_set_position(b, 0));
    ASSERT_TRUE(sndl_buffer_play(b, false));
    render_frames(ms(6)); // the source steps through its buffer
    Rendered dry = render_frames(ms(300));
    EXPECT_LT(rms(dry.left, ms(100), ms(300)), tail * 0.01);
}

TEST_F(LoopbackTest, CompressorReworksACopyAndClearingRestoresTheOriginal) {
    SndlBuffer *b = make_buffer(sine16(RATE, 441, 1.0f, 0.5f), RATE, FX);
    ASSERT_NE(b, nullptr);
    SndlCompressorParams c{0.0f, 0.1f, 150.0f, -20.0f, 100.0f, 0.0f};
    ASSERT_TRUE(sndl_buffer_set_compressor(b, &c));
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(ms(300));
    double squeezed = peak(render_frames(ms(100)).left);
    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_clear_effects(b));
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(ms(50));
    double original = peak(render_frames(ms(100)).left);
    // -6 dB in, threshold -20 dB at ratio 100: about 14 dB less.
    EXPECT_NEAR(20.0 * std::log10(original / squeezed), 14.0, 1.0);
}

TEST(Compressor, SteadyLevelsAboveTheThresholdSettleNearItAndQuietOnesPass) {
    SndlCompressorParams c{0.0f, 0.1f, 150.0f, -20.0f, 100.0f, 0.0f};
    std::vector<int16_t> loud = sine16(RATE, 441, 0.5f, 0.5f);
    sndl_compress_samples(loud.data(), (uint32_t)loud.size(), 1, RATE, &c);
    double p = 0;
    for (size_t i = loud.size() / 2; i < loud.size(); ++i)
        p = std::fmax(p, std::abs(loud[i]) / 32768.0);
    EXPECT_NEAR(20.0 * std::log10(p), -20.0, 1.0);

    std::vector<int16_t> quiet = sine16(RATE, 441, 0.5f, 0.05f), copy = quiet;
    sndl_compress_samples(quiet.data(), (uint32_t)quiet.size(), 1, RATE, &c);
    EXPECT_EQ(quiet, copy);

    // The output gain saturates instead of wrapping.
    SndlCompressorParams boost{25.0f, 0.1f, 150.0f, 0.0f, 100.0f, 0.0f};
    std::vector<int16_t> hot = sine16(RATE, 441, 0.1f, 0.9f), before = hot;
    sndl_compress_samples(hot.data(), (uint32_t)hot.size(), 1, RATE, &boost);
    int16_t top = 0;
    for (size_t i = 0; i < hot.size(); ++i) {
        ASSERT_GE((int)hot[i] * before[i], 0) << i;
        top = std::max(top, hot[i]);
    }
    EXPECT_EQ(top, 32767);
}
} // namespace
