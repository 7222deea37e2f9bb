// The sound command queue: a ring of 16 commands posted by the main thread and run in order by
// one worker thread, so that loading and starting the streamed channels never holds up a frame.
#pragma once
#include <atomic>
#include <cstdint>
#include <thread>
#include "math/math_types.h"

struct SharedSemaphore;

struct SoundCommand {
    uint32_t code;      // 0..29; other values are skipped
    uint32_t argument;  // a SoundId or an effect slot number
    uint32_t argument2; // kept with the command; no code reads it
    float value;        // volume or start fraction
    uint32_t has_position;
    float x, y, z;
    uint32_t extra; // frequency in Hz for code 19
};
static_assert(sizeof(SoundCommand) == 36, "nine 32-bit words");

constexpr int SND_QUEUE_SIZE = 16;
// A poster waits while this many commands or more are queued.
constexpr int32_t SND_QUEUE_ROOM_LIMIT = 14;

enum SoundCommandCode : uint32_t {
    SND_CMD_MUSIC_PLAY = 0,
    SND_CMD_MUSIC_RESTART = 1,
    SND_CMD_MUSIC_STOP = 2,
    SND_CMD_MUSIC_RESUME = 3,
    SND_CMD_MUSIC_UNLOAD = 4,
    SND_CMD_MUSIC_VOLUME = 5,
    SND_CMD_SLOT_VOLUME = 6,
    SND_CMD_SLOT_RESTORE_VOLUME = 7,
    SND_CMD_NOTHING = 8,
    SND_CMD_SLOT_PLAY = 9,
    SND_CMD_SLOT_LOOP = 10,
    SND_CMD_SLOT_LOOP_RESTART = 11,
    SND_CMD_SLOT_STOP = 12,
    SND_CMD_STOP_EFFECTS = 13,
    SND_CMD_STOP_ALL = 14,
    SND_CMD_SLOT_PLAY_AT = 15,
    SND_CMD_SLOT_LOOP_AT = 16,
    SND_CMD_SLOT_PLAY_AT_RESTART = 17,
    SND_CMD_SLOT_PLAY_AT_FROM = 18,
    SND_CMD_SLOT_FREQUENCY = 19,
    SND_CMD_REWIND_SLOTS = 20,
    SND_CMD_EFFECT_VOLUME = 21,
    SND_CMD_VOICE_PLAY = 22,
    SND_CMD_VOICE_STOP = 23,
    SND_CMD_VOICE_UNLOAD = 24,
    SND_CMD_VOICE_VOLUME = 25,
    SND_CMD_AMBIENT_PLAY = 26,
    SND_CMD_AMBIENT_STOP = 27,
    SND_CMD_AMBIENT_UNLOAD = 28,
    SND_CMD_AMBIENT_VOLUME = 29,
    SND_CMD_COUNT = 30,
};

struct SoundQueue {
    std::thread worker;
    SharedSemaphore *lock; // "sound": guards the indices, the count and the entries
    std::atomic<uint32_t> stop;
    int32_t write_index;
    int32_t read_index;
    int32_t count;
    std::thread::id worker_id;
    SoundCommand entries[SND_QUEUE_SIZE];

    // A library may end the process with exit() while the worker runs (Xlib does when the display
    // goes away): stop and join it then, since destroying a running std::thread aborts.
    ~SoundQueue() {
        if (worker.joinable()) {
            stop = 1;
            worker.join();
        }
    }
};

// Posting: each fills a cleared entry with the fields of its row. Without a worker the command is
// dropped at once (nothing would drain the queue).
void snd_post_command(uint32_t code, uint32_t argument);
void snd_post_command_extra(uint32_t code, uint32_t argument, uint32_t extra);
void snd_post_command_arg2(uint32_t code, uint32_t argument, uint32_t argument2);
void snd_post_command_at(uint32_t code, uint32_t argument, const Vec3 *position);
void snd_post_command_value(uint32_t code, float value);
void snd_post_command_arg_value(uint32_t code, uint32_t argument, float value);
void snd_post_command_at_value(uint32_t code, uint32_t argument, const Vec3 *position, float value);

// Creates the lock and starts the worker; a failed creation leaves no worker.
void snd_queue_init(void);
// The worker's body.
uint32_t snd_thread_main(SoundQueue *queue);
// Stops and joins the worker (queued commands stay unrun), then closes the lock.
void snd_stop_thread(void);
void snd_request_stop(void);
// Runs one command on the calling thread.
void snd_run_command(const SoundCommand *command);

SoundQueue *snd_queue_get(void);
// Commands waiting, read under the lock.
int32_t snd_queue_count(void);
