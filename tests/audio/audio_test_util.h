// Sound files and a data folder for the audio tests, and helpers to drive the worker.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include <gtest/gtest.h>
#include "audio/sound_manager.h"
#include "audio/sound_queue.h"
#include "platform/sound/sound_device.h"
#include "platform/sys/sys_shm.h"
#include "platform/sys/sys_time.h"
#include "tests/support/test_files.h"

inline void put16(std::vector<uint8_t> &b, uint16_t v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
}
inline void put32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

// A PCM WAV of a sine at `hz`; `tag` other than 1 writes that format code instead.
inline std::vector<uint8_t> wav_bytes(uint16_t channels, uint32_t rate, float seconds,
                                      float hz = 440.0f, uint16_t tag = 1, uint16_t fmt_size = 16) {
    std::vector<uint8_t> data;
    uint32_t frames = (uint32_t)(rate * seconds);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            put16(data,
                  (uint16_t)(int16_t)std::lrint(12000.0 * std::sin(2 * M_PI * hz * i / rate)));
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put32(b, 4 + 8 + fmt_size + 8 + (uint32_t)data.size());
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, fmt_size);
    put16(b, tag);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * channels * 2);
    put16(b, (uint16_t)(channels * 2));
    put16(b, 16);
    for (int i = 16; i < fmt_size; ++i) b.push_back(0);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, (uint32_t)data.size());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    ASSERT_TRUE(test_write_file(path, bytes)) << path;
}

// A working folder with bin/ holding every sound the manager loads; the process moves into it.
// One folder per tag for the whole test program, removed when the program ends. A death test's
// child (which ends with _Exit and removes nothing) finds its parent's folder in the environment.
inline std::string make_data_folder(const char *tag) {
    const std::string variable = std::string("TAVOK_AUDIO_TEST_DIR_") + tag;
    const char *known = std::getenv(variable.c_str());
    const std::string dir = known ? known : test_temp_folder((std::string("audio_") + tag).c_str());
    EXPECT_FALSE(dir.empty());
    setenv(variable.c_str(), dir.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(dir + "/bin", ec);
    EXPECT_TRUE(std::filesystem::create_directory(dir + "/bin", ec)) << dir;
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        write_file(dir + "/bin/" + snd_slot_name(i) + ".wav", wav_bytes(1, 22050, 0.5f));
    for (int i = 0; i < SND_VOICE_COUNT; ++i)
        write_file(dir + "/bin/" + snd_voice_name(i) + ".wav", wav_bytes(1, 22050, 0.5f));
    for (int i = 0; i < SND_MUSIC_COUNT; ++i)
        write_file(dir + "/bin/" + snd_music_name(i) + ".wav",
                   wav_bytes(2, 44100, 1.0f, 220.0f + 110.0f * i));
    EXPECT_EQ(chdir(dir.c_str()), 0);
    return dir;
}

inline void wait_queue_empty() {
    for (int i = 0; i < 2000 && snd_queue_count() != 0; ++i) sys_sleep_ms(1);
    ASSERT_EQ(snd_queue_count(), 0);
}

inline void use_private_semaphores() {
    std::string prefix = "tavok_audio_" + std::to_string(getpid()) + "_";
    sys_shm_set_name_prefix(prefix.c_str());
}

// Mixes `frames` frames on the loopback device, advancing every playing buffer.
inline void render(uint32_t frames) {
    std::vector<float> out((size_t)frames * 2);
    ASSERT_TRUE(sndl_loopback_render(out.data(), frames));
}
