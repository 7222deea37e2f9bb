#include <cmath>
#include "sound_test_util.h"

namespace {
constexpr uint32_t RATE = 44100;
constexpr uint32_t PLAIN = SNDL_CTRL_VOLUME | SNDL_CTRL_FX;

TEST_F(LoopbackTest, VolumeInHundredthsOfDecibelsAndRefusedValuesKeepTheOldOne) {
    SndlBuffer *b = make_buffer(sine16(RATE, 440, 1.0f), RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(2048); // let the mixer settle
    double full = rms(render_frames(8192).left);
    ASSERT_GT(full, 0.05);

    ASSERT_TRUE(sndl_buffer_set_volume(b, -600));
    render_frames(2048);
    double half = rms(render_frames(8192).left);
    EXPECT_NEAR(half / full, 0.5, 0.005);

    EXPECT_FALSE(sndl_buffer_set_volume(b, -10001));
    EXPECT_FALSE(sndl_buffer_set_volume(b, 1));
    int32_t mb = 0;
    ASSERT_TRUE(sndl_buffer_get_volume(b, &mb));
    EXPECT_EQ(mb, -600);

    ASSERT_TRUE(sndl_buffer_set_volume(b, -10000));
    render_frames(2048);
    EXPECT_LT(peak(render_frames(4096).left), 1e-6);
}

TEST_F(LoopbackTest, PrimaryVolumeAndMasterGainScaleEverySound) {
    SndlBuffer *b = make_buffer(sine16(RATE, 440, 1.0f), RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(2048);
    double full = rms(render_frames(8192).left);
    ASSERT_TRUE(sndl_set_primary_volume(-600));
    sndl_set_master_gain(0.5f);
    render_frames(2048);
    EXPECT_NEAR(rms(render_frames(8192).left) / full, 0.25, 0.005);
    EXPECT_FALSE(sndl_set_primary_volume(1)); // refused: the old volume stays
    EXPECT_EQ(sndl_get_primary_volume(), -600);
    ASSERT_TRUE(sndl_set_primary_volume(0));
    sndl_set_master_gain(2.0f); // at most 1
    render_frames(2048);
    EXPECT_NEAR(rms(render_frames(8192).left) / full, 1.0, 0.005);
}

TEST_F(LoopbackTest, PlayWhilePlayingDoesNotRestartAndStopKeepsThePosition) {
    SndlBuffer *b = make_buffer(sine16(RATE, 440, 1.0f), RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    EXPECT_EQ(sndl_buffer_status(b), SNDL_STATUS_PLAYING);
    render_frames(10000);
    uint32_t before = 0, after = 0;
    ASSERT_TRUE(sndl_buffer_get_position(b, &before));
    EXPECT_GE(before, 19000u);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    ASSERT_TRUE(sndl_buffer_get_position(b, &after));
    EXPECT_GE(after, before);

    ASSERT_TRUE(sndl_buffer_stop(b));
    EXPECT_EQ(sndl_buffer_status(b), 0u);
    EXPECT_LT(peak(render_frames(4096).left, 256), 1e-6); // silent while stopped
    uint32_t stopped = 0;
    ASSERT_TRUE(sndl_buffer_get_position(b, &stopped));
    EXPECT_GE(stopped, before);
    EXPECT_EQ(stopped % 2, 0u);

    ASSERT_TRUE(sndl_buffer_play(b, true));
    EXPECT_EQ(sndl_buffer_status(b), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    render_frames(1000);
    uint32_t resumed = 0;
    ASSERT_TRUE(sndl_buffer_get_position(b, &resumed));
    EXPECT_GT(resumed, stopped); // resumed, not restarted
    EXPECT_LT(resumed, stopped + 2 * 2000);
}

TEST_F(LoopbackTest, OneShotThatEndedPlaysAgainFromTheStartAndSetPositionIsHonoured) {
    SndlBuffer *b = make_buffer(sine16(RATE, 440, 0.1f), RATE, PLAIN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    render_frames(8000);
    EXPECT_EQ(sndl_buffer_status(b), 0u);
    ASSERT_TRUE(sndl_buffer_play(b, false));
    render_frames(100);
    uint32_t pos = 0;
    ASSERT_TRUE(sndl_buffer_get_position(b, &pos));
    EXPECT_LT(pos, 1000u);

    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_set_position(b, 6001)); // rounded down to a whole frame
    ASSERT_TRUE(sndl_buffer_get_position(b, &pos));
    EXPECT_EQ(pos, 6000u);
    EXPECT_FALSE(sndl_buffer_set_position(b, sndl_buffer_bytes(b)));
}

TEST_F(LoopbackTest, FrequencyChangesThePitchOnlyWhereAllowed) {
    SndlBuffer *b = make_buffer(sine16(22050, 441, 1.0f), 22050, PLAIN | SNDL_CTRL_FREQUENCY);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(1024);
    int base = zero_crossings(render_frames(RATE / 4).left, 0, RATE / 4);
    ASSERT_TRUE(sndl_buffer_set_frequency(b, 44100));
    render_frames(1024);
    int doubled = zero_crossings(render_frames(RATE / 4).left, 0, RATE / 4);
    EXPECT_NEAR(base, 220, 3);
    EXPECT_NEAR(doubled, 2 * base, 4);
    uint32_t hz = 0;
    ASSERT_TRUE(sndl_buffer_get_frequency(b, &hz));
    EXPECT_EQ(hz, 44100u);
    EXPECT_FALSE(sndl_buffer_set_frequency(b, 99));
    EXPECT_FALSE(sndl_buffer_set_frequency(b, 200001));
    ASSERT_TRUE(sndl_buffer_set_frequency(b, 0)); // back to the data's own rate
    ASSERT_TRUE(sndl_buffer_get_frequency(b, &hz));
    EXPECT_EQ(hz, 22050u);

    SndlBuffer *fixed = make_buffer(sine16(RATE, 441, 0.1f), RATE, PLAIN);
    EXPECT_FALSE(sndl_buffer_set_frequency(fixed, 22050));
    EXPECT_FALSE(sndl_buffer_set_pan(fixed, 100));
    EXPECT_FALSE(sndl_buffer_set_3d_position(fixed, 1, 2, 3, false));
}

TEST_F(LoopbackTest, CreationRefusesWhatTheFlagsOrFormatCannotHold) {
    SndlFormat stereo{2, 16, RATE}, mono{1, 16, RATE}, odd{1, 24, RATE};
    EXPECT_EQ(sndl_buffer_create(&stereo, 4000, SNDL_CTRL_3D), nullptr);
    EXPECT_EQ(sndl_buffer_create(&mono, 4000, SNDL_CTRL_3D | SNDL_CTRL_PAN), nullptr);
    EXPECT_EQ(sndl_buffer_create(&odd, 4000, 0), nullptr);
    EXPECT_EQ(sndl_buffer_create(&stereo, 3, 0), nullptr); // less than one frame
    SndlBuffer *b = sndl_buffer_create(&stereo, 4003, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sndl_buffer_bytes(b), 4000u);
}

TEST_F(LoopbackTest, PanTurnsTheOtherSideDownAndKeepsThisSideAtFullLevel) {
    // A 0.5 sine: rms 0.3536 on each side when unpanned, as the data holds it.
    const double level = 0.5 / std::sqrt(2.0);
    SndlBuffer *b = make_buffer(sine16(RATE, 440, 1.0f), RATE, PLAIN | SNDL_CTRL_PAN);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(2048);
    Rendered centre = render_frames(8192);
    EXPECT_NEAR(rms(centre.left), level, 0.01);
    EXPECT_NEAR(rms(centre.right), level, 0.01);

    uint32_t before = 0, after = 0;
    ASSERT_TRUE(sndl_buffer_get_position(b, &before));
    ASSERT_TRUE(sndl_buffer_set_pan(b, -2000)); // right side 20 dB down, left untouched
    EXPECT_EQ(sndl_buffer_status(b), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    ASSERT_TRUE(sndl_buffer_get_position(b, &after));
    EXPECT_GE(after, before); // the pan does not restart the sound
    EXPECT_LT(after, before + 4096);
    render_frames(2048);
    Rendered left = render_frames(8192);
    EXPECT_NEAR(rms(left.left), level, 0.01);
    EXPECT_NEAR(rms(left.right), level * 0.1, 0.002);
    ASSERT_TRUE(sndl_buffer_set_pan(b, 10000));
    render_frames(2048);
    Rendered right = render_frames(8192);
    EXPECT_LT(rms(right.left), 1e-4);
    EXPECT_NEAR(rms(right.right), level, 0.01);
    EXPECT_FALSE(sndl_buffer_set_pan(b, 10001));

    // Stereo data: each side keeps its own channel, the panned-away side turned down.
    std::vector<int16_t> frames(RATE);
    for (size_t i = 0; i < frames.size(); i += 2) {
        frames[i] = 16384;
        frames[i + 1] = -8192;
    }
    SndlBuffer *stereo = make_buffer(frames, RATE, PLAIN | SNDL_CTRL_PAN, 2);
    ASSERT_NE(stereo, nullptr);
    ASSERT_TRUE(sndl_buffer_set_pan(stereo, 2000)); // set while stopped
    ASSERT_TRUE(sndl_buffer_stop(b));
    ASSERT_TRUE(sndl_buffer_play(stereo, true));
    render_frames(1024);
    Rendered r = render_frames(4096);
    EXPECT_NEAR(r.left[2000], 0.05f, 0.002f);
    EXPECT_NEAR(r.right[2000], -0.25f, 0.005f);
}

TEST_F(LoopbackTest, UnpannedDataPlaysAtItsOwnLevelOnEachSide) {
    std::vector<int16_t> frames(RATE);
    for (size_t i = 0; i < frames.size(); i += 2) {
        frames[i] = 16384;     // left: constant half scale
        frames[i + 1] = -8192; // right: constant quarter scale, inverted
    }
    SndlBuffer *b = make_buffer(frames, RATE, PLAIN, 2);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_play(b, true));
    render_frames(1024);
    Rendered r = render_frames(4096);
    EXPECT_NEAR(r.left[2000], 0.5f, 0.01f);
    EXPECT_NEAR(r.right[2000], -0.25f, 0.01f);
    ASSERT_TRUE(sndl_buffer_stop(b));

    // 8-bit mono, unsigned: 0xC0 is half scale, on both sides.
    std::vector<uint8_t> bytes(RATE / 2, 0xC0);
    SndlFormat narrow{1, 8, RATE};
    SndlBuffer *n = sndl_buffer_create(&narrow, (uint32_t)bytes.size(), PLAIN);
    ASSERT_NE(n, nullptr);
    ASSERT_TRUE(sndl_buffer_write(n, bytes.data(), (uint32_t)bytes.size()));
    ASSERT_TRUE(sndl_buffer_play(n, true));
    render_frames(1024);
    r = render_frames(4096);
    EXPECT_NEAR(r.left[2000], 0.5f, 0.01f);
    EXPECT_NEAR(r.right[2000], 0.5f, 0.01f);
}

class Loopback3dTest : public LoopbackTest {
  protected:
    SndlBuffer *make_3d() {
        SndlBuffer *b = make_buffer(sine16(RATE, 440, 1.0f), RATE,
                                    SNDL_CTRL_3D | SNDL_CTRL_VOLUME | SNDL_MUTE_3D_AT_MAX_DISTANCE);
        if (b) {
            EXPECT_TRUE(sndl_buffer_play(b, true));
        }
        return b;
    }
};

TEST_F(Loopback3dTest, SourceToTheRightIsLouderOnTheRight) {
    SndlBuffer *b = make_3d();
    ASSERT_NE(b, nullptr);
    // Listener at the origin facing +z (left-handed): +x is to its right.
    ASSERT_TRUE(sndl_buffer_set_3d_position(b, 5, 0, 0, false));
    render_frames(2048);
    Rendered r = render_frames(8192);
    EXPECT_GT(rms(r.right), 2.0 * rms(r.left));
    // Turned around (facing -z), the same source is on the left.
    ASSERT_TRUE(sndl_listener_set_orientation(0, 0, -1, 0, 1, 0, false));
    render_frames(2048);
    Rendered turned = render_frames(8192);
    EXPECT_GT(rms(turned.left), 2.0 * rms(turned.right));
}

TEST_F(Loopback3dTest, BeyondTheMaximumDistanceIsSilentAndDeferredWaitsForCommit) {
    SndlBuffer *b = make_3d();
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_listener_set_rolloff_factor(0.01f, false));
    ASSERT_TRUE(sndl_buffer_set_3d_position(b, 0, 0, 50, false));
    render_frames(2048);
    double near_level = rms(render_frames(4096).left);
    EXPECT_GT(near_level, 0.01);

    ASSERT_TRUE(sndl_buffer_set_3d_position(b, 0, 0, 101, true));
    render_frames(2048);
    EXPECT_NEAR(rms(render_frames(4096).left), near_level, near_level * 0.01); // not yet
    ASSERT_TRUE(sndl_commit_deferred());
    render_frames(2048);
    EXPECT_LT(peak(render_frames(4096).left), 1e-6);

    // The listener walking closer brings it back.
    ASSERT_TRUE(sndl_listener_set_position(0, 0, 10, true));
    ASSERT_TRUE(sndl_commit_deferred());
    render_frames(2048);
    EXPECT_GT(rms(render_frames(4096).left), 0.01);
}

TEST_F(Loopback3dTest, DistanceRollsOffByTheListenersFactor) {
    SndlBuffer *b = make_3d();
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(sndl_buffer_set_3d_position(b, 0, 0, 2, false));
    render_frames(2048);
    double at_min = rms(render_frames(4096).left);
    ASSERT_TRUE(sndl_buffer_set_3d_position(b, 0, 0, 20, false));
    render_frames(2048);
    double at_ten = rms(render_frames(4096).left);
    // Inverse distance with rolloff 1 and minimum distance 2: 2 / (2 + (20 - 2)).
    EXPECT_NEAR(at_ten / at_min, 0.1, 0.01);
    ASSERT_TRUE(sndl_listener_set_rolloff_factor(0.01f, false));
    render_frames(2048);
    double gentle = rms(render_frames(4096).left);
    EXPECT_NEAR(gentle / at_min, 2.0 / (2.0 + 0.01 * 18.0), 0.01);
}
} // namespace
