// The sound manager: the device and listener, eleven effect slots loaded at start-up, the music,
// voice and ambient channels that load their file when asked, volumes, the voice queue, and the
// error code that ends the program at the next frame.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include "audio/dx_sound.h"
#include "math/math_types.h"

// Bit 31: music, bit 30: voice or ambient; the low 24 bits index the name table.
using SoundId = uint32_t;
constexpr SoundId SND_ID_MUSIC = 0x80000000;
constexpr SoundId SND_ID_VOICE = 0x40000000;
constexpr SoundId SND_ID_INDEX_MASK = 0x00FFFFFF;

constexpr int SND_SLOT_COUNT = 11;
constexpr int SND_MUSIC_COUNT = 2;
constexpr int SND_VOICE_COUNT = 1;
constexpr int SND_VOICE_QUEUE_SIZE = 16;
constexpr int SND_PATH_SIZE = 260;
constexpr int SND_EXTENSION_SIZE = 16;

constexpr int32_t SND_ERROR_NONE = 0;
constexpr int32_t SND_ERROR_NO_DEVICE = 256;
constexpr int32_t SND_ERROR_BUFFER = 257;
constexpr int32_t SND_ERROR_FILE_MISSING = 258;

struct VoiceQueueEntry {
    SoundId id;
    int32_t delay;  // frames the line may wait before it is dropped
    uint32_t stamp; // sound frame counter when queued
};

struct VoiceQueue {
    int32_t count;
    int32_t write_index;
    int32_t read_index;
    VoiceQueueEntry entries[SND_VOICE_QUEUE_SIZE];
    SoundId pending_id;
    uint32_t start_frame;
    uint32_t state; // 0 idle, 1 started, 2 finishing
    SoundId last_id;
    uint32_t last_frame;
};

// PCM, 2 channels, 44,100 Hz, 16 bits.
struct SndPrimaryFormat {
    uint16_t format_tag, channels;
    uint32_t samples_per_sec, avg_bytes_per_sec;
    uint16_t block_align, bits_per_sample;
};

struct SoundManager {
    float primary_volume; // 1/100 dB
    float spare_volume_a, spare_volume_b;
    float music_volume;
    float effect_volume; // slots, voice and ambient at load
    bool device_open;
    SndPrimaryFormat primary_format;
    std::atomic<int32_t> error;
    DxSound *slots[SND_SLOT_COUNT];
    // Each channel's pointer, playing flag and id are guarded by that channel's buffer guard.
    DxSound *music, *voice, *ambient;
    uint32_t music_playing, voice_playing, ambient_playing;
    int32_t music_id, voice_id, ambient_id;
    std::atomic<uint32_t> default_effect;
    // Guards the voice queue. Taken after a buffer's guard, never before one.
    std::recursive_mutex lock;
    std::atomic<uint8_t> loaded;
    char language_folder[SND_PATH_SIZE];
    char default_folder[SND_PATH_SIZE];
    char extension[SND_EXTENSION_SIZE];
    bool voice_in_language[SND_VOICE_COUNT];
    VoiceQueue voice_queue;
    std::atomic<uint32_t> frame_counter;
};

// Life and frame.
void snd_init(void);
void snd_shutdown(void);
void snd_update(void);
int32_t snd_get_error(void);
void snd_set_error(int32_t code);
// The error with the sound file it concerns, for the fatal line: the first file named since
// snd_init is kept. Any thread.
void snd_set_error_file(int32_t code, const char *path);
// The file of the error, "" when none was named. Main thread (the text is a copy kept for it).
const char *snd_get_error_file(void);
SoundManager *snd_get_manager(void);

// Camera 0's position and angles for sounds placed in front of it: read from the view on the
// main thread, from the copy the last snd_update took on any other thread.
void snd_camera_pose(Vec3 *position, EulerAngles *angles);

// Paths "%s%s.%s" (folder, name, extension); each thread has its own result buffer.
const char *snd_file_path(uint32_t voice_index);
const char *snd_default_path(const char *name);
const char *snd_language_path(const char *name);

// Effect slots; slot numbers outside 0..10 and slots that are not loaded do nothing.
void snd_play_slot(SoundManager *m, int32_t slot, bool loop, float start, SoundEffectCode effect);
void snd_play_slot_at(SoundManager *m, int32_t slot, bool loop, const Vec3 *position, float start,
                      SoundEffectCode effect);
void snd_stop_slot(SoundManager *m, int32_t slot);
void snd_slot_set_volume(SoundManager *m, int32_t slot, float value);
void snd_slot_set_volume_scaled(SoundManager *m, int32_t slot, float value);
void snd_slot_restore_volume(SoundManager *m, int32_t slot);
void snd_slot_set_frequency(SoundManager *m, int32_t slot, uint32_t hz);
uint32_t snd_slot_get_frequency(SoundManager *m, int32_t slot);
void snd_slot_set_pan(SoundManager *m, int32_t slot, float value);
void snd_rewind_slots(void);
void snd_set_effect_volume(float value);
void snd_set_default_effect(SoundEffectCode effect);
void snd_stop_effects(void);
void snd_stop_all(void);
void snd_test_slots(void);
void snd_reset_all(void);

// Music channel.
void snd_music_play(SoundId id);
void snd_music_restart(SoundId id);
void snd_music_stop(void);
void snd_music_resume(void);
void snd_music_unload(void);
void snd_music_set_volume(float value);
void snd_music_set_pan(float value);

// Voice channel.
void snd_voice_play(SoundId id);
void snd_voice_stop(void);
void snd_voice_set_volume(float value);
void snd_voice_unload(void);
uint32_t snd_voice_status(void);
bool snd_voice_is_playing(void);

// Ambient channel.
void snd_ambient_play(SoundId id);
void snd_ambient_stop(void);
void snd_ambient_set_volume(float value);
void snd_ambient_unload(void);

// Voice queue.
void snd_voice_queue_add(SoundId id, int32_t delay);
void snd_voice_queue_say(SoundId id);
void snd_voice_queue_clear(void);
void snd_voice_queue_step(void);
int32_t snd_voice_queue_count(void);
uint32_t snd_frame_counter(void);

// Names to ids: the part of a table name before its first '.' against the whole given name,
// ignoring case; no match gives index 0.
uint32_t snd_find_name(const char *const *table, int count, const char *name);
SoundId snd_music_id(const char *name);
uint32_t snd_slot_index(const char *name);
SoundId snd_voice_id(const char *name);

// The files the manager loads, named without folder or extension: effect slot, music and voice
// `index`; null outside their tables.
const char *snd_slot_name(int32_t index);
const char *snd_music_name(int32_t index);
const char *snd_voice_name(int32_t index);

// Volumes.
int32_t snd_volume_to_attenuation(float value);
void snd_set_primary_volume(float value);
int32_t snd_set_master_volume(float value);

// Reads a whole file (at most SND_WHOLE_FILE_MAX bytes) into one static buffer; null when it
// cannot be opened or starts with "c.". `size` (may be null) receives the bytes read.
constexpr uint32_t SND_WHOLE_FILE_MAX = 1u << 20;
const uint8_t *snd_read_whole_file(const char *path, uint32_t *size);

// Listener.
void snd_update_listener(const Vec3 *position, const EulerAngles *angles);
void snd_reset_listener(void);
