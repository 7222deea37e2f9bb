#include <cmath>
#include "audio/dx_sound.h"
#include "audio_test_util.h"

namespace {
class DxSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = make_data_folder("dx");
        ASSERT_TRUE(sndl_device_open_loopback());
    }
    void TearDown() override { sndl_device_close(); }
    int32_t attenuation(DxSound &s) {
        int32_t mb = 1;
        EXPECT_TRUE(sndl_buffer_get_volume(s.buffer, &mb));
        return mb;
    }
    std::string dir;
};

TEST_F(DxSoundTest, VolumeScaleStartsAtTheBaseAttenuation) {
    DxSound plain, spatial;
    ASSERT_EQ(plain.Load(".\\bin\\cam.wav", SND_TYPE_PLAIN, 0.85f), SND_OK);
    EXPECT_EQ(attenuation(plain),
              -250 - 899); // 0.85f is 0.84999996: (1 - v) x 6000 truncates to 899
    plain.SetVolume(1.0f);
    EXPECT_EQ(attenuation(plain), -250);
    plain.SetVolume(0.0f);
    EXPECT_EQ(attenuation(plain), -6250);
    plain.SetVolume(0.5f);
    float v = 0;
    plain.GetVolume(&v);
    EXPECT_NEAR(v, 1.0f - 3000.0f / 5750.0f, 1e-4f);

    ASSERT_EQ(spatial.Load(".\\bin\\cam.wav", SND_TYPE_3D, 1.0f), SND_OK);
    EXPECT_EQ(attenuation(spatial), 0);
    spatial.SetVolume(0.0f);
    EXPECT_EQ(attenuation(spatial), -6000);
    // A base near silence still reaches silence instead of being refused.
    spatial.base_attenuation = -10000;
    spatial.SetVolume(0.0f);
    EXPECT_EQ(attenuation(spatial), -10000);

    // Far-out and undefined volumes: far below is silence, far above is refused (the old volume
    // stays), not a number is silence; a base with no range left reads back as silence.
    plain.SetVolume(0.5f);
    plain.SetVolume(1e30f);
    EXPECT_EQ(attenuation(plain), -3250);
    plain.SetVolume(-1e30f);
    EXPECT_EQ(attenuation(plain), -10000);
    plain.SetVolume(1.0f);
    plain.SetVolume(NAN);
    EXPECT_EQ(attenuation(plain), -10000);
    plain.base_attenuation = -6000;
    plain.SetVolume(1.0f);
    v = 1;
    plain.GetVolume(&v);
    EXPECT_EQ(v, 0.0f);
}

TEST_F(DxSoundTest, PositionFrequencyAndPanAreClamped) {
    DxSound s;
    ASSERT_EQ(s.Load(".\\bin\\cam.wav", SND_TYPE_FREQUENCY, 1.0f), SND_OK);
    EXPECT_EQ(s.GetBufferBytes(), 22050u); // 0.5 s of 16-bit mono at 22,050 Hz
    uint32_t pos = 0;
    s.SetPosition(1.0f);
    ASSERT_TRUE(sndl_buffer_get_position(s.buffer, &pos));
    EXPECT_EQ(pos, (uint32_t)(22050 * 0.99f) & ~1u);
    s.SetPosition(NAN);
    ASSERT_TRUE(sndl_buffer_get_position(s.buffer, &pos));
    EXPECT_EQ(pos, 0u);

    uint32_t hz = 0;
    s.GetFrequency(&hz);
    EXPECT_EQ(hz, 22050u);
    s.SetFrequency(50);
    s.GetFrequency(&hz);
    EXPECT_EQ(hz, 100u);
    s.SetFrequency(300000);
    s.GetFrequency(&hz);
    EXPECT_EQ(hz, 200000u);

    DxSound panned;
    ASSERT_EQ(panned.Load(".\\bin\\music0.wav", SND_TYPE_PAN, 1.0f), SND_OK);
    panned.SetPan(-20000);
    int32_t pan = 0;
    ASSERT_TRUE(sndl_buffer_get_pan(panned.buffer, &pan));
    EXPECT_EQ(pan, -10000);
}

TEST_F(DxSoundTest, PlayStopAndStatusFollowTheBuffer) {
    DxSound s;
    EXPECT_EQ(s.Play(false), SND_E_FAIL); // unloaded
    EXPECT_FALSE(s.IsPlaying());
    ASSERT_EQ(s.Load(".\\bin\\cam.wav", SND_TYPE_3D, 1.0f), SND_OK);
    ASSERT_EQ(s.Play(true), SND_OK);
    uint32_t status = 0;
    s.GetStatus(&status);
    EXPECT_EQ(status, SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    s.Stop();
    EXPECT_FALSE(s.IsPlaying());
    s.Unload();
    EXPECT_EQ(s.buffer, nullptr);
    EXPECT_EQ(s.wave_format, nullptr);
}

TEST_F(DxSoundTest, LoadsThatCannotWorkFailCleanly) {
    write_file("bin/short.wav", wav_bytes(1, 22050, 0.1f, 440, 1, 14));
    write_file("bin/float.wav", wav_bytes(1, 22050, 0.1f, 440, 3, 16));
    DxSound s;
    EXPECT_EQ(s.Load(".\\bin\\short.wav", SND_TYPE_PLAIN, 1.0f), SND_E_FAIL);
    EXPECT_EQ(s.Load(".\\bin\\float.wav", SND_TYPE_PLAIN, 1.0f), SND_E_FAIL);
    EXPECT_EQ(s.Load(".\\bin\\music0.wav", SND_TYPE_3D, 1.0f), SND_E_FAIL); // stereo in 3D
    EXPECT_EQ(s.Load(".\\bin\\none.wav", SND_TYPE_PLAIN, 1.0f), SND_E_FAIL);
    EXPECT_EQ(s.buffer, nullptr);
    EXPECT_EQ(s.file, nullptr);
    ASSERT_EQ(s.Load(".\\bin\\music0.wav", SND_TYPE_PLAIN, 1.0f), SND_OK);
    EXPECT_EQ(s.wave_format->channels, 2);
}

TEST_F(DxSoundTest, EffectsApplyOnlyToStoppedBuffers) {
    DxSound s;
    ASSERT_EQ(s.Load(".\\bin\\cam.wav", SND_TYPE_3D, 1.0f), SND_OK);
    EXPECT_EQ(snd_apply_effect(s.buffer, SND_EFFECT_ECHO | 50), SND_OK);
    EXPECT_EQ(snd_apply_effect(s.buffer, SND_EFFECT_I3DL2_REVERB | 99), SND_OK); // preset 0
    EXPECT_EQ(snd_apply_effect(s.buffer, SND_EFFECT_COMPRESSOR | 20), SND_OK);
    EXPECT_EQ(snd_apply_effect(s.buffer, 0), SND_OK);
    ASSERT_EQ(s.Play(true), SND_OK);
    EXPECT_NE(snd_apply_effect(s.buffer, SND_EFFECT_ECHO | 50), SND_OK);
}
} // namespace
