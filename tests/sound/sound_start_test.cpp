// Starts from a position and pan changes on a playing buffer: from 2 ms after the call the sound
// is at its level (a ramp against a click may take no longer) and goes on from the right sample.
#include <cmath>
#include "platform/sound/sound_effects.h"
#include "sound_test_util.h"

namespace {
constexpr uint32_t RATE = 44100;
constexpr uint32_t PLAIN = SNDL_CTRL_VOLUME | SNDL_CTRL_FX;
constexpr size_t SETTLED = RATE * 2 / 1000; // 2 ms
constexpr size_t PERIOD = 100;              // of the 441 Hz tone at 44.1 kHz
constexpr double AMPLITUDE = 0.5;

// 10^(mB / 2000), the volume and pan rule.
double gain_of(int32_t millibels) {
    return std::pow(10.0, millibels / 2000.0);
}

// Whether `side` from frame `from` on holds `data` from frame `start` on, scaled by `gain`;
// looping data starts again from its first frame, one-shot data is followed by silence.
::testing::AssertionResult follows(const std::vector<float> &side, const std::vector<int16_t> &data,
                                   size_t start, double gain, bool loop, size_t from = SETTLED) {
    for (size_t i = from; i < side.size(); ++i) {
        size_t at = start + i;
        if (loop) at %= data.size();
        double want = at < data.size() ? gain * data[at] / 32768.0 : 0.0;
        if (std::fabs(side[i] - want) > 0.02 * AMPLITUDE * gain)
            return ::testing::AssertionFailure() << "frame " << i << " (data frame " << at
                                                 << ") is " << side[i] << ", not " << want;
    }
    return ::testing::AssertionSuccess();
}

uint32_t position(SndlBuffer *b) {
    uint32_t bytes = 0;
    EXPECT_TRUE(sndl_buffer_get_position(b, &bytes));
    return bytes;
}

TEST_F(LoopbackTest, AStartFromAPositionPlaysAtItsVolumeFromThere) {
    const std::vector<int16_t> tone = sine16(RATE, 441, 0.5f, (float)AMPLITUDE);
    const int32_t volume = -600;
    const double level = AMPLITUDE * gain_of(volume);
    SndlBuffer *b = make_buffer(tone, RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_set_volume(b, volume));

    // Just loaded, from halfway.
    const size_t half = tone.size() / 2;
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)half * 2));
    ASSERT_TRUE(sndl_buffer_play(b, false));
    Rendered r = render_frames(6000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), level, PERIOD));
    EXPECT_TRUE(level_within_1db(r.right, SETTLED, r.right.size(), level, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, half, gain_of(volume), false));
    EXPECT_EQ(position(b), (half + 6000) * 2); // in the whole buffer
    // It ends at the data's end and does not go on into the first half.
    Rendered end = render_frames((uint32_t)(tone.size() - half - 6000 + 2000));
    EXPECT_TRUE(follows(end.left, tone, half + 6000, gain_of(volume), false, 0));
    EXPECT_EQ(sndl_buffer_status(b), 0u);

    // Played to its end, from a quarter.
    const size_t quarter = tone.size() / 4;
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)quarter * 2));
    ASSERT_TRUE(sndl_buffer_play(b, false));
    r = render_frames(6000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), level, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, quarter, gain_of(volume), false));

    // Paused, then resumed where it stopped.
    ASSERT_TRUE(sndl_buffer_stop(b));
    EXPECT_LT(peak(render_frames(1000).left), 1e-6);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    r = render_frames(4000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), level, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, quarter + 6000, gain_of(volume), false));

    // Paused, moved back, then played.
    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_set_position(b, 2000));
    EXPECT_EQ(position(b), 2000u);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    r = render_frames(4000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), level, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, 1000, gain_of(volume), false));

    // Moved while playing.
    ASSERT_TRUE(sndl_buffer_set_position(b, 12000));
    r = render_frames(4000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), level, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, 6000, gain_of(volume), false));
}

TEST_F(LoopbackTest, ALoopStartedFromAPositionPlaysTheRestThenLoopsTheWhole) {
    const std::vector<int16_t> tone = sine16(RATE, 441, 0.25f, (float)AMPLITUDE);
    const size_t frames = tone.size(), half = frames / 2;
    SndlBuffer *b = make_buffer(tone, RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)half * 2));
    ASSERT_TRUE(sndl_buffer_play(b, true));
    EXPECT_EQ(sndl_buffer_status(b), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    Rendered r = render_frames((uint32_t)(frames * 5 / 2));
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), AMPLITUDE, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, half, 1.0, true));
    EXPECT_EQ(position(b), (half + frames * 5 / 2) % frames * 2);
    EXPECT_EQ(sndl_buffer_status(b), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);

    // Started once from a position and made to loop before the end: it goes on over the end.
    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)half * 2));
    ASSERT_TRUE(sndl_buffer_play(b, false));
    r = render_frames(1000);
    EXPECT_TRUE(follows(r.left, tone, half, 1.0, false));
    ASSERT_TRUE(sndl_buffer_play(b, true));
    r = render_frames((uint32_t)frames);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), AMPLITUDE, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, half + 1000, 1.0, true));

    // Looping from a position and made one-shot before the end: it stops at the end.
    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)half * 2));
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(1000);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    r = render_frames((uint32_t)frames);
    EXPECT_TRUE(follows(r.left, tone, half + 1000, 1.0, false));
    EXPECT_EQ(sndl_buffer_status(b), 0u);
}

// Mono and stereo data panned while playing: the kept side stays at its level, the turned side
// is at its new level 2 ms on, and both go on from the frame where the pan came.
TEST_F(LoopbackTest, APanChangeWhilePlayingKeepsTheOtherSideAtItsLevel) {
    const std::vector<int16_t> tone = sine16(RATE, 441, 1.0f, (float)AMPLITUDE);
    SndlBuffer *mono = make_buffer(tone, RATE, PLAIN | SNDL_CTRL_PAN);
    ASSERT_NE(mono, nullptr);
    ASSERT_TRUE(sndl_buffer_play(mono, true));
    render_frames(5000);
    ASSERT_TRUE(sndl_buffer_set_pan(mono, -2000)); // right 20 dB down, left kept
    Rendered r = render_frames(5000);
    EXPECT_TRUE(level_within_1db(r.left, SETTLED, r.left.size(), AMPLITUDE, PERIOD));
    EXPECT_TRUE(
        level_within_1db(r.right, SETTLED, r.right.size(), AMPLITUDE * gain_of(-2000), PERIOD));
    EXPECT_TRUE(follows(r.left, tone, 5000, 1.0, true));
    EXPECT_TRUE(follows(r.right, tone, 5000, gain_of(-2000), true));
    EXPECT_EQ(sndl_buffer_status(mono), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    // Panned while paused: the next play goes on from the pause at the new levels.
    ASSERT_TRUE(sndl_buffer_stop(mono));
    ASSERT_TRUE(sndl_buffer_set_pan(mono, 3000)); // left 30 dB down, right kept
    ASSERT_TRUE(sndl_buffer_play(mono, true));
    r = render_frames(3000);
    EXPECT_TRUE(level_within_1db(r.right, SETTLED, r.right.size(), AMPLITUDE, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, 10000, gain_of(-3000), true));
    EXPECT_TRUE(follows(r.right, tone, 10000, 1.0, true));
    ASSERT_TRUE(sndl_buffer_stop(mono));

    // Stereo: a 441 Hz tone on the left, a quieter 882 Hz one on the right.
    const std::vector<int16_t> high = sine16(RATE, 882, 1.0f, (float)AMPLITUDE / 2);
    std::vector<int16_t> frames(tone.size() * 2);
    for (size_t i = 0; i < tone.size(); ++i) {
        frames[2 * i] = tone[i];
        frames[2 * i + 1] = high[i];
    }
    SndlBuffer *stereo = make_buffer(frames, RATE, PLAIN | SNDL_CTRL_PAN, 2);
    ASSERT_NE(stereo, nullptr);
    ASSERT_TRUE(sndl_buffer_play(stereo, false));
    render_frames(7000);
    ASSERT_TRUE(sndl_buffer_set_pan(stereo, 1500)); // left 15 dB down, right kept
    r = render_frames(5000);
    EXPECT_TRUE(
        level_within_1db(r.left, SETTLED, r.left.size(), AMPLITUDE * gain_of(-1500), PERIOD));
    EXPECT_TRUE(level_within_1db(r.right, SETTLED, r.right.size(), AMPLITUDE / 2, PERIOD));
    EXPECT_TRUE(follows(r.left, tone, 7000, gain_of(-1500), false));
    EXPECT_TRUE(follows(r.right, high, 7000, 1.0, false));
    EXPECT_EQ(position(stereo), (7000 + 5000) * 4u);
    EXPECT_EQ(sndl_buffer_status(stereo), SNDL_STATUS_PLAYING); // still once
}

TEST_F(LoopbackTest, AStartFromAPositionPlaysTheCompressorsSamples) {
    const std::vector<int16_t> tone = sine16(RATE, 441, 1.0f, (float)AMPLITUDE);
    SndlBuffer *b = make_buffer(tone, RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    const float threshold = -20.0f, ratio = 100.0f;
    SndlCompressorParams c{0.0f, 0.1f, 150.0f, threshold, ratio, 0.0f};
    ASSERT_TRUE(sndl_buffer_set_compressor(b, &c));
    ASSERT_TRUE(sndl_buffer_set_position(b, (uint32_t)tone.size())); // halfway, long settled
    ASSERT_TRUE(sndl_buffer_play(b, false));
    Rendered r = render_frames(4000);
    // Above the threshold the level rises by 1/ratio of what the input rises.
    const double in_db = 20.0 * std::log10(AMPLITUDE),
                 out_db = threshold + (in_db - threshold) / ratio;
    EXPECT_TRUE(
        level_within_1db(r.left, SETTLED, r.left.size(), std::pow(10.0, out_db / 20.0), PERIOD));
}
} // namespace
