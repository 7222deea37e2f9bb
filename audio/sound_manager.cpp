#include "audio/sound_manager.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <mutex>
#include <thread>
#include "app/config.h"
#include "app/settings.h"
#include "audio/sound_queue.h"
#include "math/mat4.h"
#include "platform/sound/sound_device.h"
#include "platform/sys/sys_file.h"
#include "platform/sys/sys_time.h"
#include "render/view.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

const char *const MUSIC_NAMES[SND_MUSIC_COUNT] = {"music0", "music1"};
const char *const SLOT_NAMES[SND_SLOT_COUNT] = {"0",
                                                "zq3_chime000",
                                                "zq3_pon000",
                                                "zq3_power001",
                                                "zq3_whistle000",
                                                "zq3_shoot003",
                                                "zq3_switch001",
                                                "zq3_car003",
                                                "cam",
                                                "pan",
                                                "chu"};
const char *const VOICE_NAMES[SND_VOICE_COUNT] = {"0"};

constexpr char DATA_FOLDER[] = ".\\bin\\";
constexpr char DEFAULT_EXTENSION[] = "wav";
constexpr float LISTENER_ROLLOFF = 0.01f;
constexpr uint32_t VOICE_NEVER_SEEN_FRAMES = 181;
constexpr uint32_t VOICE_REPEAT_FRAMES = 300;
constexpr int STOP_WAIT_POLLS = 100; // 1 ms each

SoundManager *g_manager = nullptr;
// The program's three channel buffers; the manager points at them while they are loaded.
DxSound g_music_channel, g_voice_channel, g_ambient_channel;

std::thread::id g_main_thread;
std::mutex g_camera_lock;
Vec3 g_camera_position{0, 0, 0};
EulerAngles g_camera_angles{0, 0, 0};

DxSound *slot_of(SoundManager *m, int32_t slot) {
    if (!m || slot < 0 || slot >= SND_SLOT_COUNT) return nullptr;
    return m->slots[slot];
}

float clamp01(float v) {
    return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
}

int32_t pan_of(float value) {
    float p = value * 10000.0f;
    if (!(p >= -10000.0f)) p = -10000.0f;
    if (p > 10000.0f) p = 10000.0f;
    return (int32_t)p;
}

uint32_t music_type(const char *name) {
    return std::strlen(name) > 3 && name[3] == 'P' ? SND_TYPE_PAN : SND_TYPE_PLAIN;
}

uint32_t slot_type(const char *name) {
    if (name[0] != 's' && name[0] != 'i') return SND_TYPE_3D;
    if (std::strlen(name) > 3 && name[1] == 'f' && name[2] == 'r' && name[3] == 'q')
        return SND_TYPE_FREQUENCY;
    return SND_TYPE_PLAIN;
}

const char *join_path(const char *folder, const char *name) {
    thread_local char path[2 * SND_PATH_SIZE];
    const char *ext = g_manager ? g_manager->extension : DEFAULT_EXTENSION;
    int n = std::snprintf(path, sizeof(path), "%s%s.%s", folder, name, ext);
    if (n < 0 || (size_t)n >= sizeof(path)) path[0] = 0; // too long to name a file
    return path;
}

bool file_opens(const char *path) {
    FILE *f = sys_fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// Resolves the default-effect bit and applies the effect when it differs from the one in force.
// Only an effect that took is recorded.
void apply_wanted_effect(SoundManager *m, DxSound *s, SoundEffectCode effect) {
    SoundEffectCode wanted = (effect & SND_EFFECT_DEFAULT) ? m->default_effect.load() : effect;
    if (wanted == s->effect_in_force) return;
    s->Stop();
    if (s->buffer && snd_apply_effect(s->buffer, wanted) == SND_OK) s->effect_in_force = wanted;
}

// A channel that loads its file when asked: the program's buffer and the manager's fields for
// it, all guarded by the buffer's guard.
struct Channel {
    DxSound &buffer;
    DxSound *&pointer;
    int32_t &id;
    uint32_t &playing;
};

Channel music_of(SoundManager *m) {
    return {g_music_channel, m->music, m->music_id, m->music_playing};
}

Channel voice_of(SoundManager *m) {
    return {g_voice_channel, m->voice, m->voice_id, m->voice_playing};
}

Channel ambient_of(SoundManager *m) {
    return {g_ambient_channel, m->ambient, m->ambient_id, m->ambient_playing};
}

// Loads a channel's file when another index is asked for; false when it is not loaded.
bool load_channel(Channel c, uint32_t index, const char *path, uint32_t type, float volume) {
    if ((int32_t)index == c.id && c.pointer) return true;
    c.buffer.Unload();
    c.pointer = nullptr;
    c.id = -1;
    c.playing = 0;
    if (c.buffer.Load(path, type, volume) != SND_OK) {
        c.buffer.Unload();
        return false;
    }
    c.pointer = &c.buffer;
    c.id = (int32_t)index;
    return true;
}

// Loads the file when needed and plays it from its start, under the buffer's own guard (not the
// manager's lock).
void play_channel(Channel c, uint32_t index, const char *path, uint32_t type, float volume,
                  bool loop) {
    Guard g(c.buffer.guard);
    if (!load_channel(c, index, path, type, volume)) return;
    c.buffer.SetPosition(0.0f);
    c.buffer.Play(loop);
    c.playing = 1;
}

void stop_channel(Channel c) {
    Guard g(c.buffer.guard);
    if (c.pointer) c.buffer.Stop();
}

// The voice and ambient channels take a stop or a volume only while their line plays.
void stop_playing_channel(Channel c) {
    Guard g(c.buffer.guard);
    if (c.pointer && c.playing) c.buffer.Stop();
}

void set_playing_channel_volume(Channel c, float value) {
    Guard g(c.buffer.guard);
    if (c.pointer && c.playing) c.buffer.SetVolume(value);
}

void unload_channel(Channel c) {
    Guard g(c.buffer.guard);
    c.playing = 0;
    c.buffer.Unload();
    c.pointer = nullptr;
    c.id = -1;
}

void read_camera0(Vec3 *position, EulerAngles *angles) {
    const Mat4 *world = view_get_camera_matrix(0);
    *position = {world->m[3][0], world->m[3][1], world->m[3][2]};
    mat4_to_euler(angles, world);
}

void create_device(SoundManager *m) {
    if (!sndl_device_open()) {
        m->error = SND_ERROR_NO_DEVICE;
        return;
    }
    m->device_open = true;
    snd_reset_listener();
}
} // namespace

SoundManager *snd_get_manager(void) {
    return g_manager;
}

int32_t snd_get_error(void) {
    return g_manager ? g_manager->error.load() : SND_ERROR_NONE;
}

void snd_set_error(int32_t code) {
    if (g_manager) g_manager->error = code;
}

static std::mutex g_error_file_lock;
static char g_error_file[256];

void snd_set_error_file(int32_t code, const char *path) {
    {
        std::lock_guard<std::mutex> g(g_error_file_lock);
        // As this system writes the path, so the user can look for the file.
        if (!g_error_file[0] && path) sys_path_native(g_error_file, sizeof g_error_file, path);
    }
    snd_set_error(code);
}

const char *snd_get_error_file(void) {
    static char copy[sizeof g_error_file];
    std::lock_guard<std::mutex> g(g_error_file_lock);
    std::memcpy(copy, g_error_file, sizeof copy);
    return copy;
}

static void clear_error_file(void) {
    std::lock_guard<std::mutex> g(g_error_file_lock);
    g_error_file[0] = 0;
}

// A sound file the program needs does not open: the error names it.
static void check_file_opens(const char *path) {
    if (!file_opens(path)) snd_set_error_file(SND_ERROR_FILE_MISSING, path);
}

void snd_camera_pose(Vec3 *position, EulerAngles *angles) {
    if (std::this_thread::get_id() == g_main_thread) {
        *position = *view_get_position(0);
        *angles = *view_get_angles(0);
        return;
    }
    std::lock_guard<std::mutex> g(g_camera_lock);
    *position = g_camera_position;
    *angles = g_camera_angles;
}

const char *snd_default_path(const char *name) {
    return join_path(g_manager ? g_manager->default_folder : DATA_FOLDER, name);
}

const char *snd_language_path(const char *name) {
    return join_path(g_manager ? g_manager->language_folder : DATA_FOLDER, name);
}

const char *snd_file_path(uint32_t voice_index) {
    if (voice_index >= (uint32_t)SND_VOICE_COUNT) voice_index = 0;
    int32_t language = 0;
    if (g_manager && settings_get_int("golng", &language) && language == 1 &&
        g_manager->voice_in_language[voice_index])
        return snd_language_path(VOICE_NAMES[voice_index]);
    return snd_default_path(VOICE_NAMES[voice_index]);
}

void snd_init(void) {
    if (g_manager) return;
    g_main_thread = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> g(g_camera_lock);
        g_camera_position = {0, 0, 0};
        g_camera_angles = {0, 0, 0};
    }
    SoundManager *m = new SoundManager;
    m->primary_volume = 0.0f;
    m->spare_volume_a = 0.9f;
    m->spare_volume_b = 1.0f;
    m->music_volume = 0.85f;
    m->effect_volume = 0.85f;
    m->device_open = false;
    m->primary_format = {1, 2, SNDL_MIX_RATE, SNDL_MIX_RATE * 4, 4, 16};
    m->error = SND_ERROR_NONE;
    for (DxSound *&s : m->slots) s = nullptr;
    m->music = m->voice = m->ambient = nullptr;
    m->music_playing = m->voice_playing = m->ambient_playing = 0;
    m->music_id = m->voice_id = m->ambient_id = -1;
    m->default_effect = 0;
    m->loaded = 0;
    std::snprintf(m->language_folder, sizeof(m->language_folder), "%s", DATA_FOLDER);
    std::snprintf(m->default_folder, sizeof(m->default_folder), "%s", DATA_FOLDER);
    std::snprintf(m->extension, sizeof(m->extension), "%s", DEFAULT_EXTENSION);
    for (bool &b : m->voice_in_language) b = false;
    std::memset(&m->voice_queue, 0, sizeof(m->voice_queue));
    m->frame_counter = 0;
    g_manager = m;
    clear_error_file();
    snd_queue_init();

    create_device(m);
    if (m->error != SND_ERROR_NONE) return;

    const char *ext = cfg_get_string("SFEXT");
    if (ext && ext[0]) std::snprintf(m->extension, sizeof(m->extension), "%s", ext);

    for (const char *name : SLOT_NAMES) check_file_opens(snd_default_path(name));
    for (const char *name : MUSIC_NAMES) check_file_opens(snd_default_path(name));
    for (int i = 0; i < SND_VOICE_COUNT; ++i) {
        check_file_opens(snd_default_path(VOICE_NAMES[i]));
        m->voice_in_language[i] = file_opens(snd_language_path(VOICE_NAMES[i]));
    }

    if (m->error == SND_ERROR_NONE) {
        bool all = true;
        for (int i = 0; i < SND_SLOT_COUNT && all; ++i) {
            DxSound *s = new DxSound;
            if (s->Load(snd_default_path(SLOT_NAMES[i]), slot_type(SLOT_NAMES[i]),
                        m->effect_volume) != SND_OK) {
                delete s;
                all = false;
                break;
            }
            s->keep = 0;
            s->GetFrequency(&s->initial_frequency);
            m->slots[i] = s;
        }
        if (all) m->loaded = 1;
    }

    snd_voice_queue_clear();
    m->frame_counter = 0;
    snd_post_command(SND_CMD_MUSIC_PLAY, SND_ID_MUSIC | 0); // loaded, then left stopped
    snd_post_command(SND_CMD_MUSIC_STOP, 0);
}

void snd_shutdown(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    snd_stop_thread();
    unload_channel(ambient_of(m));
    unload_channel(voice_of(m));
    for (DxSound *&s : m->slots) {
        delete s;
        s = nullptr;
    }
    unload_channel(music_of(m));
    sndl_device_close();
    g_manager = nullptr;
    delete m;
}

void snd_update(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    snd_voice_queue_step();
    ++m->frame_counter;
    Vec3 position;
    EulerAngles angles;
    read_camera0(&position, &angles);
    {
        std::lock_guard<std::mutex> g(g_camera_lock);
        g_camera_position = position;
        g_camera_angles = angles;
    }
    snd_update_listener(&position, &angles);
}

// ---- effect slots ----

void snd_play_slot(SoundManager *m, int32_t slot, bool loop, float start, SoundEffectCode effect) {
    DxSound *s = slot_of(m, slot);
    if (!s) return;
    Guard g(s->guard);
    if (!(loop && start == 0.0f)) {
        s->SetPosition(start);
        s->Stop();
    }
    apply_wanted_effect(m, s, effect);
    s->Set3DPosition(nullptr);
    s->Play(loop);
}

void snd_play_slot_at(SoundManager *m, int32_t slot, bool loop, const Vec3 *position, float start,
                      SoundEffectCode effect) {
    DxSound *s = slot_of(m, slot);
    if (!s) return;
    Guard g(s->guard);
    if (start != 0.0f) {
        s->Stop();
        s->SetPosition(start);
        for (int i = 0; i < STOP_WAIT_POLLS && s->IsPlaying(); ++i) sys_sleep_ms(1);
    }
    if (!s->Set3DPosition(position)) return;
    apply_wanted_effect(m, s, effect);
    s->Play(loop);
}

void snd_stop_slot(SoundManager *m, int32_t slot) {
    DxSound *s = slot_of(m, slot);
    if (!s) return;
    Guard g(s->guard);
    s->Stop();
    s->SetPosition(0.001f);
}

void snd_slot_set_volume(SoundManager *m, int32_t slot, float value) {
    if (DxSound *s = slot_of(m, slot)) s->SetVolume(clamp01(value));
}

void snd_slot_set_volume_scaled(SoundManager *m, int32_t slot, float value) {
    if (DxSound *s = slot_of(m, slot)) s->SetVolume(clamp01(m->effect_volume * value));
}

void snd_slot_restore_volume(SoundManager *m, int32_t slot) {
    DxSound *s = slot_of(m, slot);
    if (!s) return;
    Guard g(s->guard);
    s->SetVolume(1.0f + (float)s->base_attenuation / 6000.0f);
}

void snd_slot_set_frequency(SoundManager *m, int32_t slot, uint32_t hz) {
    if (DxSound *s = slot_of(m, slot)) s->SetFrequency(hz);
}

uint32_t snd_slot_get_frequency(SoundManager *m, int32_t slot) {
    uint32_t hz = 0;
    if (DxSound *s = slot_of(m, slot)) s->GetFrequency(&hz);
    return hz;
}

void snd_slot_set_pan(SoundManager *m, int32_t slot, float value) {
    if (DxSound *s = slot_of(m, slot)) s->SetPan(pan_of(value));
}

void snd_rewind_slots(void) {
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        if (DxSound *s = slot_of(g_manager, i)) s->SetPosition(0.0f);
}

void snd_set_effect_volume(float value) {
    for (int i = 0; i < SND_SLOT_COUNT; ++i) {
        DxSound *s = slot_of(g_manager, i);
        if (!s) continue;
        Guard g(s->guard);
        s->base_attenuation = snd_volume_to_attenuation(value);
        s->SetVolume(value);
    }
}

void snd_set_default_effect(SoundEffectCode effect) {
    if (g_manager) g_manager->default_effect = effect;
}

void snd_stop_effects(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    for (DxSound *s : m->slots) {
        if (!s) continue;
        Guard g(s->guard);
        if (s->keep == 0) s->Stop();
    }
    stop_channel(ambient_of(m));
    stop_channel(voice_of(m));
    snd_voice_queue_clear();
}

void snd_stop_all(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    for (DxSound *s : m->slots)
        if (s) s->Stop();
    stop_channel(ambient_of(m));
    stop_channel(voice_of(m));
    stop_channel(music_of(m));
    snd_voice_queue_clear();
}

void snd_test_slots(void) {
    SoundManager *m = g_manager;
    if (!m || !m->loaded) return;
    for (DxSound *s : m->slots) {
        Guard g(s->guard);
        s->SetPosition(0.0f);
        s->Play(false);
        s->Stop();
    }
}

void snd_reset_all(void) {
    snd_stop_all();
    snd_set_default_effect(0);
}

// ---- music ----

void snd_music_play(SoundId id) {
    SoundManager *m = g_manager;
    uint32_t index = id & SND_ID_INDEX_MASK;
    if (!m || !m->loaded || index >= (uint32_t)SND_MUSIC_COUNT) return;
    play_channel(music_of(m), index, snd_default_path(MUSIC_NAMES[index]),
                 music_type(MUSIC_NAMES[index]), m->music_volume, true);
}

void snd_music_restart(SoundId id) {
    SoundManager *m = g_manager;
    if (!m) return;
    Guard g(g_music_channel.guard);
    snd_music_play(id);
    if (!m->music) return;
    g_music_channel.SetPosition(0.0f);
    g_music_channel.Play(true);
}

void snd_music_stop(void) {
    if (g_manager) stop_channel(music_of(g_manager));
}

void snd_music_resume(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    Guard g(g_music_channel.guard);
    if (m->music) g_music_channel.Play(true);
}

void snd_music_unload(void) {
    if (g_manager) unload_channel(music_of(g_manager));
}

void snd_music_set_volume(float value) {
    SoundManager *m = g_manager;
    if (!m) return;
    Guard g(g_music_channel.guard);
    if (m->music) g_music_channel.SetVolume(value);
}

void snd_music_set_pan(float value) {
    SoundManager *m = g_manager;
    if (!m) return;
    Guard g(g_music_channel.guard);
    if (m->music) g_music_channel.SetPan(pan_of(value));
}

// ---- voice ----

void snd_voice_play(SoundId id) {
    SoundManager *m = g_manager;
    uint32_t index = id & SND_ID_INDEX_MASK;
    if (!m || !m->loaded || !(id & SND_ID_VOICE) || index >= (uint32_t)SND_VOICE_COUNT) return;
    play_channel(voice_of(m), index, snd_file_path(index), SND_TYPE_PLAIN, m->effect_volume, false);
}

void snd_voice_stop(void) {
    if (g_manager) stop_playing_channel(voice_of(g_manager));
}

void snd_voice_set_volume(float value) {
    if (g_manager) set_playing_channel_volume(voice_of(g_manager), value);
}

void snd_voice_unload(void) {
    if (g_manager) unload_channel(voice_of(g_manager));
}

uint32_t snd_voice_status(void) {
    SoundManager *m = g_manager;
    uint32_t status = 0;
    if (!m) return 0;
    Guard g(g_voice_channel.guard);
    if (m->voice) g_voice_channel.GetStatus(&status);
    return status;
}

bool snd_voice_is_playing(void) {
    SoundManager *m = g_manager;
    if (!m) return false;
    Guard g(g_voice_channel.guard);
    return m->voice && m->voice_playing && g_voice_channel.IsPlaying();
}

// ---- ambient ----

void snd_ambient_play(SoundId id) {
    SoundManager *m = g_manager;
    uint32_t index = id & SND_ID_INDEX_MASK;
    if (!m || !m->loaded || !(id & SND_ID_VOICE) || index >= (uint32_t)SND_VOICE_COUNT) return;
    play_channel(ambient_of(m), index, snd_default_path(VOICE_NAMES[index]), SND_TYPE_PLAIN,
                 m->effect_volume, true);
}

void snd_ambient_stop(void) {
    if (g_manager) stop_playing_channel(ambient_of(g_manager));
}

void snd_ambient_set_volume(float value) {
    if (g_manager) set_playing_channel_volume(ambient_of(g_manager), value);
}

void snd_ambient_unload(void) {
    if (g_manager) unload_channel(ambient_of(g_manager));
}

// ---- voice queue ----

void snd_voice_queue_add(SoundId id, int32_t delay) {
    SoundManager *m = g_manager;
    if (!m || !(id & SND_ID_VOICE)) return;
    Guard g(m->lock);
    VoiceQueue &q = m->voice_queue;
    if (q.count + 1 >= SND_VOICE_QUEUE_SIZE) return;
    if (delay == 0 && q.count > 1) return;
    q.write_index = (q.write_index + 1) % SND_VOICE_QUEUE_SIZE;
    q.entries[q.write_index] = {id, delay, m->frame_counter.load()};
    ++q.count;
}

void snd_voice_queue_say(SoundId id) {
    snd_voice_queue_clear();
    snd_voice_queue_add(id, 60);
}

void snd_voice_queue_clear(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    snd_voice_stop();
    Guard g(m->lock);
    VoiceQueue &q = m->voice_queue;
    q.count = q.write_index = q.read_index = 0;
    q.pending_id = 0;
    q.start_frame = 0;
    q.state = 0;
}

void snd_voice_queue_step(void) {
    SoundManager *m = g_manager;
    if (!m) return;
    VoiceQueue &q = m->voice_queue;
    uint32_t state;
    {
        Guard g(m->lock);
        if (q.count < 1) return;
        state = q.state;
    }
    // The voice's status is read without the manager's lock (its buffer guard comes first).
    bool playing = state != 0 && snd_voice_is_playing();
    SoundId start_id = 0;
    {
        Guard g(m->lock);
        if (q.count < 1) return;
        uint32_t now = m->frame_counter;
        if (q.state != 0) {
            if (playing || now - q.start_frame >= VOICE_NEVER_SEEN_FRAMES) q.state = 2;
            if (q.state == 2) {
                if (playing) return;
                q.state = 0;
            }
        }
        if (q.state != 0) return;
        q.read_index = (q.read_index + 1) % SND_VOICE_QUEUE_SIZE;
        const VoiceQueueEntry e = q.entries[q.read_index];
        if ((int64_t)(uint32_t)(now - e.stamp) <= (int64_t)e.delay + 1) {
            if (!(e.id == q.last_id && now - q.last_frame < VOICE_REPEAT_FRAMES)) {
                q.pending_id = e.id;
                q.start_frame = now;
                q.state = 1;
                q.last_id = e.id;
                q.last_frame = now;
                start_id = e.id;
            }
        }
        --q.count;
    }
    if (start_id) snd_voice_play(start_id);
}

int32_t snd_voice_queue_count(void) {
    SoundManager *m = g_manager;
    if (!m) return 0;
    Guard g(m->lock);
    return m->voice_queue.count;
}

uint32_t snd_frame_counter(void) {
    return g_manager ? g_manager->frame_counter.load() : 0;
}

// ---- names and volumes ----

uint32_t snd_find_name(const char *const *table, int count, const char *name) {
    if (!table || !name) return 0;
    for (int i = 0; i < count; ++i) {
        const char *dot = std::strchr(table[i], '.');
        size_t n = dot ? (size_t)(dot - table[i]) : std::strlen(table[i]);
        if (std::strlen(name) == n && strncasecmp(table[i], name, n) == 0) return (uint32_t)i;
    }
    return 0;
}

SoundId snd_music_id(const char *name) {
    return snd_find_name(MUSIC_NAMES, SND_MUSIC_COUNT, name) | SND_ID_MUSIC;
}

uint32_t snd_slot_index(const char *name) {
    return snd_find_name(SLOT_NAMES, SND_SLOT_COUNT, name);
}

SoundId snd_voice_id(const char *name) {
    return snd_find_name(VOICE_NAMES, SND_VOICE_COUNT, name) | SND_ID_VOICE;
}

const char *snd_slot_name(int32_t index) {
    return index >= 0 && index < SND_SLOT_COUNT ? SLOT_NAMES[index] : nullptr;
}

const char *snd_music_name(int32_t index) {
    return index >= 0 && index < SND_MUSIC_COUNT ? MUSIC_NAMES[index] : nullptr;
}

const char *snd_voice_name(int32_t index) {
    return index >= 0 && index < SND_VOICE_COUNT ? VOICE_NAMES[index] : nullptr;
}

int32_t snd_volume_to_attenuation(float value) {
    if (value == 0.0f || std::isnan(value)) return SNDL_VOLUME_MIN;
    return -snd_volume_drop(value);
}

void snd_set_primary_volume(float value) {
    SoundManager *m = g_manager;
    if (!m) return;
    int32_t attenuation = snd_volume_to_attenuation(value);
    m->primary_volume = (float)attenuation;
    sndl_set_primary_volume(attenuation);
}

int32_t snd_set_master_volume(float value) {
    // An application gain in place of the system's wave-out and mixer volume.
    sndl_set_master_gain(clamp01(value));
    return 0;
}

const uint8_t *snd_read_whole_file(const char *path, uint32_t *size) {
    static uint8_t buffer[SND_WHOLE_FILE_MAX];
    if (size) *size = 0;
    FILE *f = path ? sys_fopen(path, "rb") : nullptr;
    if (!f) return nullptr;
    uint32_t n = (uint32_t)std::fread(buffer, 1, sizeof(buffer), f);
    std::fclose(f);
    if (n >= 2 && buffer[0] == 'c' && buffer[1] == '.') return nullptr;
    // A file starting "SP" keeps its four header bytes in front of the rest, which is the same
    // as reading it whole.
    if (size) *size = n;
    return buffer;
}

// ---- listener ----

void snd_update_listener(const Vec3 *position, const EulerAngles *angles) {
    sndl_listener_set_position(position->x, position->y, position->z, true);
    sndl_listener_set_orientation(std::sin(angles->y), 0.0f, std::cos(angles->y), 0.0f, 1.0f, 0.0f,
                                  true);
    sndl_commit_deferred();
}

void snd_reset_listener(void) {
    sndl_listener_set_velocity(0, 0, 0, true);
    sndl_listener_set_doppler_factor(1.0f, true);
    sndl_listener_set_position(0, 0, 0, true);
    sndl_listener_set_orientation(0, 0, 1, 0, 1, 0, true);
    sndl_listener_set_rolloff_factor(LISTENER_ROLLOFF, true);
    sndl_commit_deferred();
}
