#include "audio/sound_queue.h"
#include <cstring>
#include "app/semaphore.h"
#include "audio/sound_manager.h"
#include "platform/sys/sys_time.h"

namespace {
constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFF;
constexpr uint32_t COMMAND_GAP_MS = 1;
constexpr uint32_t IDLE_SLEEP_MS = 10;

SoundQueue g_queue;

void take(void) {
    msect_wait(g_queue.lock, WAIT_FOREVER);
}
void give(void) {
    msect_release(g_queue.lock, 1, nullptr);
}

bool has_worker(void) {
    return g_queue.lock && g_queue.worker.joinable();
}

// Waits for room, then queues the command (dropped when the ring is full after all).
void post(const SoundCommand &c) {
    if (!has_worker()) return;
    for (;;) {
        take();
        int32_t count = g_queue.count;
        give();
        if (count < SND_QUEUE_ROOM_LIMIT) break;
        sys_sleep_ms(0);
    }
    take();
    if (g_queue.count < SND_QUEUE_SIZE) {
        g_queue.entries[g_queue.write_index] = c;
        g_queue.write_index = (g_queue.write_index + 1) % SND_QUEUE_SIZE;
        ++g_queue.count;
    }
    give();
}

SoundCommand command(uint32_t code, uint32_t argument) {
    SoundCommand c;
    std::memset(&c, 0, sizeof(c)); // no field survives from an earlier command
    c.code = code;
    c.argument = argument;
    return c;
}

void set_position(SoundCommand *c, const Vec3 *position) {
    c->has_position = position != nullptr;
    if (position) {
        c->x = position->x;
        c->y = position->y;
        c->z = position->z;
    }
}
} // namespace

void snd_post_command(uint32_t code, uint32_t argument) {
    post(command(code, argument));
}

void snd_post_command_extra(uint32_t code, uint32_t argument, uint32_t extra) {
    SoundCommand c = command(code, argument);
    c.extra = extra;
    post(c);
}

void snd_post_command_arg2(uint32_t code, uint32_t argument, uint32_t argument2) {
    SoundCommand c = command(code, argument);
    c.argument2 = argument2;
    post(c);
}

void snd_post_command_at(uint32_t code, uint32_t argument, const Vec3 *position) {
    SoundCommand c = command(code, argument);
    set_position(&c, position);
    post(c);
}

void snd_post_command_value(uint32_t code, float value) {
    SoundCommand c = command(code, 0);
    c.value = value;
    post(c);
}

void snd_post_command_arg_value(uint32_t code, uint32_t argument, float value) {
    SoundCommand c = command(code, argument);
    c.value = value;
    post(c);
}

void snd_post_command_at_value(uint32_t code, uint32_t argument, const Vec3 *position,
                               float value) {
    SoundCommand c = command(code, argument);
    set_position(&c, position);
    c.value = value;
    post(c);
}

void snd_run_command(const SoundCommand *c) {
    SoundManager *m = snd_get_manager();
    int32_t slot = (int32_t)c->argument;
    Vec3 at{c->x, c->y, c->z};
    const Vec3 *position = c->has_position ? &at : nullptr;
    switch (c->code) {
        case SND_CMD_MUSIC_PLAY:
            snd_music_play(c->argument);
            break;
        case SND_CMD_MUSIC_RESTART:
            snd_music_restart(c->argument);
            break;
        case SND_CMD_MUSIC_STOP:
            snd_music_stop();
            break;
        case SND_CMD_MUSIC_RESUME:
            snd_music_resume();
            break;
        case SND_CMD_MUSIC_UNLOAD:
            snd_music_unload();
            break;
        case SND_CMD_MUSIC_VOLUME:
            snd_music_set_volume(c->value);
            break;
        case SND_CMD_SLOT_VOLUME:
            snd_slot_set_volume(m, slot, c->value);
            break;
        case SND_CMD_SLOT_RESTORE_VOLUME:
            snd_slot_restore_volume(m, slot);
            break;
        case SND_CMD_NOTHING:
            break;
        case SND_CMD_SLOT_PLAY:
            snd_play_slot(m, slot, false, 0.0f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_LOOP:
            snd_play_slot(m, slot, true, 0.0f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_LOOP_RESTART:
            snd_play_slot(m, slot, true, 0.001f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_STOP:
            snd_stop_slot(m, slot);
            break;
        case SND_CMD_STOP_EFFECTS:
            snd_stop_effects();
            break;
        case SND_CMD_STOP_ALL:
            snd_stop_all();
            break;
        case SND_CMD_SLOT_PLAY_AT:
            snd_play_slot_at(m, slot, false, position, 0.0f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_LOOP_AT:
            snd_play_slot_at(m, slot, true, position, 0.0f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_PLAY_AT_RESTART:
            snd_play_slot_at(m, slot, false, position, 0.001f, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_PLAY_AT_FROM:
            snd_play_slot_at(m, slot, false, position, c->value, SND_EFFECT_DEFAULT);
            break;
        case SND_CMD_SLOT_FREQUENCY:
            snd_slot_set_frequency(m, slot, c->extra);
            break;
        case SND_CMD_REWIND_SLOTS:
            snd_rewind_slots();
            break;
        case SND_CMD_EFFECT_VOLUME:
            snd_set_effect_volume(c->value);
            break;
        case SND_CMD_VOICE_PLAY:
            snd_voice_play(c->argument);
            break;
        case SND_CMD_VOICE_STOP:
            snd_voice_stop();
            break;
        case SND_CMD_VOICE_UNLOAD:
            snd_voice_unload();
            break;
        case SND_CMD_VOICE_VOLUME:
            snd_voice_set_volume(c->value);
            break;
        case SND_CMD_AMBIENT_PLAY:
            snd_ambient_play(c->argument);
            break;
        case SND_CMD_AMBIENT_STOP:
            snd_ambient_stop();
            break;
        case SND_CMD_AMBIENT_UNLOAD:
            snd_ambient_unload();
            break;
        case SND_CMD_AMBIENT_VOLUME:
            snd_ambient_set_volume(c->value);
            break;
        default:
            break;
    }
}

uint32_t snd_thread_main(SoundQueue *q) {
    while (!q->stop) {
        take();
        int32_t count = q->count;
        give();
        // Commands still queued when the stop flag is set are not run.
        while (count != 0 && !q->stop) {
            // The poster never writes this entry while the count includes it.
            snd_run_command(&q->entries[q->read_index]);
            take();
            q->read_index = (q->read_index + 1) % SND_QUEUE_SIZE;
            --q->count;
            count = q->count;
            give();
            sys_sleep_ms(COMMAND_GAP_MS);
        }
        sys_sleep_ms(IDLE_SLEEP_MS);
    }
    return 1;
}

void snd_queue_init(void) {
    if (g_queue.worker.joinable()) return;
    g_queue.lock = nullptr;
    g_queue.stop = 0;
    g_queue.write_index = g_queue.read_index = g_queue.count = 0;
    g_queue.worker_id = std::thread::id();
    std::memset(g_queue.entries, 0, sizeof(g_queue.entries));
    g_queue.lock = msect_create(1, 1, "sound");
    if (!g_queue.lock) return;
    // The default stack: the original 4096 bytes is below this system's minimum.
    g_queue.worker = std::thread(snd_thread_main, &g_queue);
    g_queue.worker_id = g_queue.worker.get_id();
}

void snd_request_stop(void) {
    if (!g_queue.lock) {
        g_queue.stop = 1;
        return;
    }
    take();
    g_queue.stop = 1;
    give();
}

void snd_stop_thread(void) {
    if (g_queue.worker.joinable()) {
        snd_request_stop();
        g_queue.worker.join();
    }
    g_queue.worker_id = std::thread::id();
    msect_close(g_queue.lock);
    g_queue.lock = nullptr;
}

SoundQueue *snd_queue_get(void) {
    return &g_queue;
}

int32_t snd_queue_count(void) {
    if (!g_queue.lock) return g_queue.count;
    take();
    int32_t count = g_queue.count;
    give();
    return count;
}
