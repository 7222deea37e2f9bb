#include <cmath>
#include <cstdlib>
#include "app/app_hooks.h"
#include "app/scene_manager.h"
#include "audio_test_util.h"
#include "render/view.h"
#include "tests/sound/sound_test_util.h"

namespace {
constexpr SoundId VOICE = SND_ID_VOICE | 0;
constexpr uint32_t VOICE_PLAYED_OUT = 26460; // frames: 0.6 s, longer than the 0.5 s voice

class ManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        use_private_semaphores();
        make_data_folder("mgr");
        view_set_defaults();
        // The manager takes the device that is already open: here one that mixes on demand.
        ASSERT_TRUE(sndl_device_open_loopback());
        snd_init();
        m = snd_get_manager();
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(snd_get_error(), SND_ERROR_NONE);
        wait_queue_empty();
    }
    void TearDown() override {
        snd_shutdown();
        sndl_device_close();
    }
    uint32_t slot_status(int slot) {
        uint32_t s = 0;
        m->slots[slot]->GetStatus(&s);
        return s;
    }
    uint32_t slot_position(int slot) {
        uint32_t p = 0;
        EXPECT_TRUE(sndl_buffer_get_position(m->slots[slot]->buffer, &p));
        return p;
    }
    int32_t slot_volume(int slot) {
        int32_t v = 1;
        EXPECT_TRUE(sndl_buffer_get_volume(m->slots[slot]->buffer, &v));
        return v;
    }
    uint32_t music_status() {
        uint32_t s = 0;
        if (m->music) m->music->GetStatus(&s);
        return s;
    }
    SoundManager *m = nullptr;
};

TEST_F(ManagerTest, StartUpLoadsEverySlotAndLeavesTheFirstMusicStopped) {
    EXPECT_EQ(m->loaded, 1);
    for (int i = 0; i < SND_SLOT_COUNT; ++i) {
        ASSERT_NE(m->slots[i], nullptr) << i;
        EXPECT_EQ(m->slots[i]->type, SND_TYPE_3D) << i; // no shipped slot name starts with s or i
        EXPECT_EQ(m->slots[i]->initial_frequency, 22050u) << i;
        EXPECT_EQ(m->slots[i]->keep, 0u) << i;
    }
    EXPECT_EQ(m->music_id, 0);
    ASSERT_NE(m->music, nullptr);
    EXPECT_EQ(music_status(), 0u);
}

TEST_F(ManagerTest, QueuedCommandsRunInOrderOnTheWorker) {
    snd_post_command(SND_CMD_MUSIC_PLAY, SND_ID_MUSIC | 1);
    snd_post_command(SND_CMD_MUSIC_PLAY, SND_ID_MUSIC | 0);
    wait_queue_empty();
    EXPECT_EQ(m->music_id, 0);
    EXPECT_EQ(music_status(), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    snd_post_command(SND_CMD_MUSIC_STOP, 0);
    wait_queue_empty();
    EXPECT_EQ(music_status(), 0u);

    snd_post_command(SND_CMD_VOICE_PLAY, VOICE);
    wait_queue_empty();
    EXPECT_TRUE(snd_voice_is_playing());
    EXPECT_EQ(snd_voice_status(), SNDL_STATUS_PLAYING);
    snd_post_command(SND_CMD_VOICE_STOP, 0);
    wait_queue_empty();
    EXPECT_FALSE(snd_voice_is_playing());
    // Unknown codes are consumed without effect.
    snd_post_command(31, 0);
    snd_post_command(SND_CMD_NOTHING, 0);
    wait_queue_empty();
}

TEST_F(ManagerTest, AmbientLoopsTheVoiceLinePlaysOnceAndUnloadsForget) {
    snd_ambient_set_volume(0.5f); // nothing loaded yet: no effect
    snd_ambient_stop();
    snd_ambient_play(VOICE);
    ASSERT_NE(m->ambient, nullptr);
    EXPECT_EQ(m->ambient_id, 0);
    uint32_t status = 0;
    m->ambient->GetStatus(&status);
    EXPECT_EQ(status, SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    int32_t full = 0, half = 0;
    snd_ambient_set_volume(1.0f);
    ASSERT_TRUE(sndl_buffer_get_volume(m->ambient->buffer, &full));
    snd_ambient_set_volume(0.5f);
    ASSERT_TRUE(sndl_buffer_get_volume(m->ambient->buffer, &half));
    EXPECT_LT(half, full);
    snd_ambient_stop();
    m->ambient->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    snd_ambient_unload();
    EXPECT_EQ(m->ambient, nullptr);
    EXPECT_EQ(m->ambient_id, -1);
    EXPECT_EQ(m->ambient_playing, 0u);

    snd_voice_play(0); // no voice bit: not a voice line
    EXPECT_EQ(m->voice, nullptr);
    // Indexes beyond the name tables load nothing.
    snd_voice_play(VOICE | SND_VOICE_COUNT);
    snd_ambient_play(VOICE | 0xFFFFFF);
    snd_music_play(SND_ID_MUSIC | SND_MUSIC_COUNT);
    EXPECT_EQ(m->voice, nullptr);
    EXPECT_EQ(m->ambient, nullptr);
    EXPECT_EQ(m->music_id, 0);
    snd_voice_play(VOICE);
    EXPECT_EQ(snd_voice_status(), SNDL_STATUS_PLAYING);
    snd_voice_set_volume(0.5f);
    ASSERT_TRUE(sndl_buffer_get_volume(m->voice->buffer, &half));
    EXPECT_LT(half, full);
    render(VOICE_PLAYED_OUT);
    EXPECT_FALSE(snd_voice_is_playing());
    snd_voice_unload();
    EXPECT_EQ(m->voice, nullptr);
    EXPECT_EQ(m->voice_id, -1);
    snd_voice_stop(); // unloaded: no effect
    EXPECT_EQ(snd_voice_status(), 0u);
}

TEST_F(ManagerTest, TwentyPostsInOneFrameAreAllRun) {
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        snd_post_command_arg_value(SND_CMD_SLOT_VOLUME, (uint32_t)i, 0.05f * (float)(i + 1));
    for (int i = 0; i < 9; ++i)
        snd_post_command_extra(SND_CMD_SLOT_FREQUENCY, (uint32_t)i, 10000u + 1000u * (uint32_t)i);
    wait_queue_empty();
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        EXPECT_EQ(slot_volume(i), -(int32_t)((1.0f - 0.05f * (float)(i + 1)) * 6000.0f)) << i;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(snd_slot_get_frequency(m, i), 10000u + 1000u * i) << i;
}

TEST_F(ManagerTest, AnEntryKeepsNoFieldFromAnEarlierCommand) {
    Vec3 far_away{0, 0, 500};
    snd_post_command_at(SND_CMD_SLOT_PLAY_AT, 3, &far_away);
    wait_queue_empty();
    sndl_commit_deferred();
    float x, y, z;
    ASSERT_TRUE(sndl_buffer_get_3d_position(m->slots[3]->buffer, &x, &y, &z));
    EXPECT_EQ(z, 500.0f);
    for (int i = 0; i < SND_QUEUE_SIZE - 1; ++i) snd_post_command(SND_CMD_NOTHING, 0);
    wait_queue_empty();
    snd_update();                              // gives the worker its copy of camera 0
    snd_post_command(SND_CMD_SLOT_PLAY_AT, 3); // the same ring entry, no position this time
    wait_queue_empty();
    sndl_commit_deferred();
    ASSERT_TRUE(sndl_buffer_get_3d_position(m->slots[3]->buffer, &x, &y, &z));
    // Two units from camera 0.
    const Vec3 eye = *view_get_position(0);
    const float yaw = view_get_angles(0)->y;
    EXPECT_NEAR(x, eye.x + 2.0f * std::sin(-yaw), 1e-4f);
    EXPECT_NEAR(z, eye.z - 2.0f * std::cos(-yaw), 1e-4f);
}

TEST_F(ManagerTest, LoopedPlayKeepsItsPositionAndLoopRestartRewinds) {
    snd_play_slot(m, 4, true, 0.0f, SND_EFFECT_DEFAULT);
    EXPECT_EQ(slot_status(4), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);
    render(4000);
    uint32_t before = slot_position(4);
    EXPECT_GE(before, 3000u);
    snd_post_command(SND_CMD_SLOT_LOOP, 4);
    wait_queue_empty();
    EXPECT_GE(slot_position(4), before);
    snd_post_command(SND_CMD_SLOT_LOOP_RESTART, 4);
    wait_queue_empty();
    EXPECT_LT(slot_position(4), 100u);
    EXPECT_EQ(slot_status(4), SNDL_STATUS_PLAYING | SNDL_STATUS_LOOPING);

    snd_stop_slot(m, 4);
    EXPECT_EQ(slot_status(4), 0u);
    EXPECT_EQ(slot_position(4), 22u); // 0.001 of 22,050 bytes, whole samples
    // Out-of-range slots are ignored.
    snd_play_slot(m, 11, false, 0.0f, 0);
    snd_play_slot(m, -1, false, 0.0f, 0);
    snd_stop_slot(nullptr, 0);
}

TEST_F(ManagerTest, PlayAtAStartFractionAndTheDefaultEffect) {
    snd_set_default_effect(SND_EFFECT_ECHO | 30);
    Vec3 p{1, 0, 1};
    snd_play_slot_at(m, 5, false, &p, 0.5f, SND_EFFECT_DEFAULT);
    EXPECT_EQ(slot_status(5), SNDL_STATUS_PLAYING);
    EXPECT_GE(slot_position(5), 11024u);
    EXPECT_EQ(m->slots[5]->effect_in_force, SND_EFFECT_ECHO | 30);
    snd_play_slot(m, 5, false, 0.0f, 0); // effect 0 removes it
    EXPECT_EQ(m->slots[5]->effect_in_force, 0u);
    snd_reset_all();
    EXPECT_EQ(m->default_effect, 0u);
    EXPECT_EQ(slot_status(5), 0u);
}

// The game starts its effects by stopping the slot and playing it once from 0.001; code 18 plays
// one from a fraction. Either way the effect is at its steady level 2 ms after the start.
TEST_F(ManagerTest, SlotsStartedFromAPositionSoundAtTheirLevelAtOnce) {
    const size_t settled = 88, window = 110; // 2 ms; a window holds a period of the 440 Hz tone
    const Vec3 ahead{0, 0, 2};
    Rendered r;
    double steady = 0;
    for (int round = 0; round < 2; ++round) { // never played, then played to its end
        snd_stop_slot(m, 3);
        snd_play_slot_at(m, 3, false, &ahead, 0.001f, 0);
        r = render_frames(10000);
        steady = peak(r.left, 6000, 10000);
        EXPECT_GT(steady, 0.05);
        EXPECT_TRUE(level_within_1db(r.left, settled, 6000, steady, window)) << round;
        EXPECT_TRUE(level_within_1db(r.right, settled, 6000, peak(r.right, 6000, 10000), window));
        render(20000);
        EXPECT_EQ(slot_status(3), 0u);
    }

    snd_post_command_at_value(SND_CMD_SLOT_PLAY_AT_FROM, 5, &ahead, 0.5f);
    wait_queue_empty();
    EXPECT_EQ(slot_status(5), SNDL_STATUS_PLAYING);
    r = render_frames(8000);
    steady = peak(r.left, 5000, 8000);
    EXPECT_GT(steady, 0.05);
    EXPECT_TRUE(level_within_1db(r.left, settled, 5000, steady, window));
    EXPECT_GE(slot_position(5), 11024u + 4000u);
}

TEST_F(ManagerTest, StopEffectsSparesKeptSlotsAndStopAllTakesEverything) {
    m->slots[1]->keep = 1;
    snd_play_slot(m, 1, true, 0.0f, 0);
    snd_play_slot(m, 2, true, 0.0f, 0);
    snd_post_command(SND_CMD_MUSIC_RESUME, 0);
    wait_queue_empty();
    snd_stop_effects();
    EXPECT_NE(slot_status(1), 0u);
    EXPECT_EQ(slot_status(2), 0u);
    EXPECT_NE(music_status(), 0u);
    snd_stop_all();
    EXPECT_EQ(slot_status(1), 0u);
    EXPECT_EQ(music_status(), 0u);
}

TEST_F(ManagerTest, EffectVolumeFollowsTheCurveAndZeroMutes) {
    snd_set_effect_volume(0.5f);
    EXPECT_EQ(m->slots[0]->base_attenuation, -3000);
    EXPECT_EQ(slot_volume(0), -6000);
    snd_set_effect_volume(0.0f);
    for (int i = 0; i < SND_SLOT_COUNT; ++i) EXPECT_EQ(slot_volume(i), -10000) << i;
    snd_slot_restore_volume(m, 0); // 1 + base / 6000 is below 0: silence
    EXPECT_EQ(slot_volume(0), -10000);
    snd_set_effect_volume(1.0f);
    EXPECT_EQ(slot_volume(0), 0);
}

TEST_F(ManagerTest, SameVoiceLineWithin300FramesPlaysOnce) {
    snd_voice_queue_add(VOICE, 0);
    snd_update();
    EXPECT_TRUE(snd_voice_is_playing());
    snd_voice_queue_add(VOICE, 0);
    snd_update(); // waits for the line that plays
    EXPECT_EQ(snd_voice_queue_count(), 1);
    render(VOICE_PLAYED_OUT);
    snd_update();
    EXPECT_EQ(snd_voice_queue_count(), 0);
    EXPECT_FALSE(snd_voice_is_playing()); // dropped as a repeat

    for (int i = 0; i < 300; ++i) snd_update();
    snd_voice_queue_add(VOICE, 0);
    snd_update();
    EXPECT_TRUE(snd_voice_is_playing());
}

TEST_F(ManagerTest, AVoiceLineThatWaitedPastItsDelayIsDropped) {
    for (int waited : {59, 62}) {
        snd_voice_queue_add(VOICE, 0);
        snd_update();
        ASSERT_TRUE(snd_voice_is_playing());
        for (int i = 0; i < 301; ++i) snd_update(); // the line still plays (nothing is mixed)
        snd_voice_queue_add(VOICE, 60);
        for (int i = 0; i < waited; ++i) snd_update();
        render(VOICE_PLAYED_OUT);
        snd_update();
        EXPECT_EQ(snd_voice_is_playing(), waited < 60) << waited;
        snd_voice_queue_clear();
        for (int i = 0; i < 301; ++i) snd_update();
    }
}

TEST_F(ManagerTest, ListenerFollowsCameraZero) {
    Vec3 eye{3, 1, -4}, target{3, 1, 10};
    view_set_look_at(0, &eye, &target, nullptr);
    snd_update();
    float x, y, z;
    sndl_listener_get_position(&x, &y, &z);
    EXPECT_NEAR(x, 3.0f, 1e-4f);
    EXPECT_NEAR(y, 1.0f, 1e-4f);
    EXPECT_NEAR(z, -4.0f, 1e-4f);
    EXPECT_EQ(snd_frame_counter(), 1u);
}

TEST_F(ManagerTest, StoppingTheWorkerLeavesQueuedCommandsUnrun) {
    snd_request_stop();
    snd_post_command(SND_CMD_MUSIC_PLAY, SND_ID_MUSIC | 1);
    sys_sleep_ms(30);
    EXPECT_EQ(snd_queue_count(), 1);
    EXPECT_EQ(m->music_id, 0);
}

TEST(SoundQueue, ExitWhileTheWorkerRunsEndsWithTheGivenStatus) {
    // A library calling exit() with the worker running must not turn the status into an abort.
    EXPECT_EXIT(
        {
            snd_queue_init();
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

TEST(SoundQueue, PostingWithoutAWorkerReturnsAtOnce) {
    int32_t before = snd_queue_count();
    for (int i = 0; i < 20; ++i) snd_post_command(SND_CMD_MUSIC_STOP, 0);
    EXPECT_EQ(snd_queue_count(), before);
}

TEST(SoundNames, LookupsIgnoreCaseAndMatchWholeNames) {
    EXPECT_EQ(snd_slot_index("ZQ3_PON000"), 2u);
    EXPECT_EQ(snd_slot_index("zq3_pon000.wav"), 0u);
    EXPECT_EQ(snd_slot_index("zq3_pon"), 0u);
    EXPECT_EQ(snd_slot_index("chu"), 10u);
    EXPECT_EQ(snd_music_id("Music1"), 0x80000001u);
    EXPECT_EQ(snd_voice_id("missing"), 0x40000000u);
    const char *const dotted[] = {"alpha.x", "beta.y.z"};
    EXPECT_EQ(snd_find_name(dotted, 2, "BETA"), 1u);
}

TEST(SoundNames, EachFileNameLooksUpItsOwnIndex) {
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        EXPECT_EQ(snd_slot_index(snd_slot_name(i)), (uint32_t)i);
    for (int i = 0; i < SND_MUSIC_COUNT; ++i)
        EXPECT_EQ(snd_music_id(snd_music_name(i)), SND_ID_MUSIC | i);
    for (int i = 0; i < SND_VOICE_COUNT; ++i)
        EXPECT_EQ(snd_voice_id(snd_voice_name(i)), SND_ID_VOICE | i);
    EXPECT_EQ(snd_slot_name(-1), nullptr);
    EXPECT_EQ(snd_slot_name(SND_SLOT_COUNT), nullptr);
    EXPECT_EQ(snd_music_name(SND_MUSIC_COUNT), nullptr);
    EXPECT_EQ(snd_voice_name(SND_VOICE_COUNT), nullptr);
}

TEST(SoundFiles, WholeFileReaderRefusesCDotFilesAndStopsAtItsBuffer) {
    make_data_folder("whole");
    write_file("bin/c.bin", {'c', '.', 'x'});
    write_file("bin/sp.bin", {'S', 'P', 1, 2, 3, 4, 5});
    std::vector<uint8_t> big(SND_WHOLE_FILE_MAX + 10, 7);
    write_file("bin/big.bin", big);
    uint32_t size = 99;
    EXPECT_EQ(snd_read_whole_file(".\\bin\\c.bin", &size), nullptr);
    EXPECT_EQ(snd_read_whole_file(".\\bin\\none.bin", &size), nullptr);
    EXPECT_EQ(size, 0u);
    const uint8_t *sp = snd_read_whole_file(".\\bin\\sp.bin", &size);
    ASSERT_NE(sp, nullptr);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(sp[0], 'S');
    EXPECT_EQ(sp[6], 5);
    ASSERT_NE(snd_read_whole_file(".\\bin\\big.bin", &size), nullptr);
    EXPECT_EQ(size, SND_WHOLE_FILE_MAX);
}

TEST(SoundVolumes, AttenuationCurve) {
    EXPECT_EQ(snd_volume_to_attenuation(0.0f), -10000);
    EXPECT_EQ(snd_volume_to_attenuation(0.5f), -3000);
    EXPECT_EQ(snd_volume_to_attenuation(1.0f), 0);
    EXPECT_EQ(snd_volume_to_attenuation(NAN), -10000);
    EXPECT_EQ(snd_volume_to_attenuation(-1e30f), -20000);
    EXPECT_EQ(snd_volume_to_attenuation(1e30f), 20000);
}

// Each start-up fault ends the program with status 1 at its first frame.
class SoundErrorTest : public ::testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

void first_frame_with_error(int32_t expected) {
    use_private_semaphores();
    view_set_defaults();
    app_hooks()->snd_get_error = []() { return (uint32_t)snd_get_error(); };
    app_hooks()->snd_get_error_file = snd_get_error_file;
    snd_init();
    if (snd_get_error() != expected) std::_Exit(10);
    app_init_scene_manager();
    app_update_scenes();
    std::_Exit(0);
}

TEST_F(SoundErrorTest, NoDeviceIs256) {
    make_data_folder("e256");
    EXPECT_EXIT(
        {
            setenv(SNDL_DEVICE_ENV, "no such device", 1);
            first_frame_with_error(SND_ERROR_NO_DEVICE);
        },
        ::testing::ExitedWithCode(1), "code 256");
}

TEST_F(SoundErrorTest, UnusableSoundIs257) {
    make_data_folder("e257");
    write_file("bin/cam.wav", wav_bytes(1, 22050, 0.1f, 440, 3, 16)); // float samples
    EXPECT_EXIT(
        {
            sndl_device_open_loopback();
            first_frame_with_error(SND_ERROR_BUFFER);
        },
        ::testing::ExitedWithCode(1), "code 257, detail 0: [^ ]*cam\\.wav: a sound buffer");
}

TEST_F(SoundErrorTest, MissingSoundFileIs258) {
    make_data_folder("e258");
    std::remove("bin/zq3_pon000.wav");
    EXPECT_EXIT(
        {
            sndl_device_open_loopback();
            first_frame_with_error(SND_ERROR_FILE_MISSING);
        },
        ::testing::ExitedWithCode(1),
        "code 258, detail 0: [^ ]*zq3_pon000\\.wav: a sound file is missing or cannot be read");
}
} // namespace
