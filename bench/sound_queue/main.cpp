// Measures the sound start-up (file checks and the eleven slot loads), how long the main thread
// is held when it posts 20 commands in one frame, how fast the worker drains them, and one
// frame's direct slot play plus listener step.
// Run from a folder holding bin/ with the sound files, or without arguments to use generated
// ones; ALSOFT_DRIVERS=null runs it without a sound card.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include "audio/sound_manager.h"
#include "bench/scratch_folder.h"
#include "audio/sound_queue.h"
#include "platform/sys/sys_time.h"
#include "render/view.h"

namespace {
using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void put(std::vector<uint8_t> &b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

void write_wav(const std::string &path, uint16_t channels, uint32_t rate, float seconds) {
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < (uint32_t)(rate * seconds); ++i)
        for (uint16_t c = 0; c < channels; ++c)
            put(data, (uint16_t)(int16_t)(8000.0 * std::sin(i * 0.05)), 2);
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put(b, 36 + (uint32_t)data.size(), 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(b, 16, 4);
    put(b, 1, 2);
    put(b, channels, 2);
    put(b, rate, 4);
    put(b, rate * channels * 2, 4);
    put(b, channels * 2u, 2);
    put(b, 16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, (uint32_t)data.size(), 4);
    b.insert(b.end(), data.begin(), data.end());
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) std::exit(2);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

// The generated data, in a scratch folder removed when the benchmark ends.
void make_data(void) {
    const char *made = bench_scratch_folder("bench_sound_queue");
    if (!made) std::exit(2);
    const std::string dir = made;
    std::filesystem::create_directory(dir + "/bin");
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        write_wav(dir + "/bin/" + snd_slot_name(i) + ".wav", 1, 22050, 1.0f);
    for (int i = 0; i < SND_VOICE_COUNT; ++i)
        write_wav(dir + "/bin/" + snd_voice_name(i) + ".wav", 1, 22050, 1.0f);
    for (int i = 0; i < SND_MUSIC_COUNT; ++i)
        write_wav(dir + "/bin/" + snd_music_name(i) + ".wav", 2, 44100, 60.0f);
    if (chdir(dir.c_str()) != 0) std::exit(2);
}
} // namespace

int main(int argc, char **argv) {
    if (argc > 1) {
        if (chdir(argv[1]) != 0) return 2;
    } else {
        make_data();
    }
    view_set_defaults();
    Clock::time_point t = Clock::now();
    snd_init();
    std::printf("snd_init (device, checks, 11 slot loads): %.2f ms, error %d\n", ms_since(t),
                snd_get_error());
    if (snd_get_error()) return 1;
    while (snd_queue_count() != 0) sys_sleep_ms(1);
    // Music 0 was loaded by the start-up commands: switch to 1 and back to force two loads.
    t = Clock::now();
    snd_post_command(SND_CMD_MUSIC_PLAY, SND_ID_MUSIC | 1);
    while (snd_queue_count() != 0) sys_sleep_ms(0);
    std::printf("worker: load and start a 60 s stereo music: %.2f ms\n", ms_since(t));

    double worst_post = 0, total_post = 0, total_drain = 0;
    const int rounds = 20;
    for (int r = 0; r < rounds; ++r) {
        Clock::time_point p = Clock::now();
        for (int i = 0; i < 20; ++i)
            snd_post_command(i % 2 ? (uint32_t)SND_CMD_SLOT_VOLUME : (uint32_t)SND_CMD_SLOT_PLAY,
                             (uint32_t)(i % 11));
        double posted = ms_since(p);
        while (snd_queue_count() != 0) sys_sleep_ms(0);
        total_drain += ms_since(p);
        total_post += posted;
        if (posted > worst_post) worst_post = posted;
    }
    std::printf("posting 20 commands in one frame: mean %.2f ms, worst %.2f ms\n",
                total_post / rounds, worst_post);
    std::printf("worker drains 20 commands in: mean %.2f ms (%.2f ms per command)\n",
                total_drain / rounds, total_drain / rounds / 20);

    SoundManager *m = snd_get_manager();
    t = Clock::now();
    const int frames = 1000;
    for (int f = 0; f < frames; ++f) {
        snd_play_slot(m, f % 11, false, 0.0f, SND_EFFECT_DEFAULT);
        snd_update();
    }
    std::printf("one frame's direct slot play + snd_update: %.3f ms\n", ms_since(t) / frames);
    snd_shutdown();
    return 0;
}
