#include "platform/sound/sound_device.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "platform/sound/sound_internal.h"

namespace {
SndlState g_state;

enum : uint32_t {
    LISTENER_POSITION = 1,
    LISTENER_VELOCITY = 2,
    LISTENER_ORIENTATION = 4,
    LISTENER_DOPPLER = 8,
    LISTENER_ROLLOFF = 16,
};

void reset_listener(SndlListener *l) {
    l->position = {0, 0, 0};
    l->velocity = {0, 0, 0};
    l->front = {0, 0, 1};
    l->top = {0, 1, 0};
    l->doppler = 1.0f;
    l->rolloff = 1.0f;
}

void apply_listener_gain(void) {
    alListenerf(AL_GAIN, sndl_millibels_to_gain(g_state.primary_volume) * g_state.master_gain);
}

// Sends the listener's values to the mixer (z negated) and the rolloff to every 3D source.
void apply_listener(uint32_t mask) {
    const SndlListener &l = g_state.listener;
    if (mask & LISTENER_POSITION)
        alListener3f(AL_POSITION, l.position.x, l.position.y, -l.position.z);
    if (mask & LISTENER_VELOCITY)
        alListener3f(AL_VELOCITY, l.velocity.x, l.velocity.y, -l.velocity.z);
    if (mask & LISTENER_ORIENTATION) {
        ALfloat v[6] = {l.front.x, l.front.y, -l.front.z, l.top.x, l.top.y, -l.top.z};
        alListenerfv(AL_ORIENTATION, v);
    }
    if (mask & LISTENER_DOPPLER) alDopplerFactor(l.doppler);
    for (SndlBuffer &b : g_state.buffers) {
        if (!b.used || !(b.flags & SNDL_CTRL_3D)) continue;
        if (mask & LISTENER_ROLLOFF) alSourcef(b.al_source, AL_ROLLOFF_FACTOR, l.rolloff);
        if (mask & LISTENER_POSITION) sndl_buffer_apply_gain(&b);
    }
}

bool set_listener(uint32_t what, bool deferred, void (*store)(SndlListener *, const float *),
                  const float *values) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!g_state.context) return false;
    if (deferred) {
        store(&g_state.pending_listener, values);
        g_state.pending_listener_mask |= what;
        return true;
    }
    store(&g_state.listener, values);
    g_state.pending_listener_mask &= ~what;
    apply_listener(what);
    return true;
}

bool open_context(ALCdevice *device, const ALCint *attributes, bool loopback) {
    ALCcontext *context = alcCreateContext(device, attributes);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        alcCloseDevice(device);
        return false;
    }
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    g_state.device = device;
    g_state.context = context;
    g_state.loopback = loopback;
    reset_listener(&g_state.listener);
    g_state.pending_listener = g_state.listener;
    g_state.pending_listener_mask = 0;
    g_state.primary_volume = 0;
    g_state.master_gain = 1.0f;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    apply_listener(LISTENER_POSITION | LISTENER_VELOCITY | LISTENER_ORIENTATION | LISTENER_DOPPLER);
    apply_listener_gain();
    sndl_effects_init();
    return true;
}
} // namespace

SndlState &sndl_state(void) {
    return g_state;
}

float sndl_millibels_to_gain(int32_t millibels) {
    if (millibels <= SNDL_VOLUME_MIN) return 0.0f;
    if (millibels >= 0) return 1.0f;
    return std::pow(10.0f, (float)millibels / 2000.0f);
}

bool sndl_device_open(void) {
    if (sndl_device_is_open()) return true;
    const char *name = std::getenv(SNDL_DEVICE_ENV);
    if (name && !name[0]) name = nullptr;
    ALCdevice *device = alcOpenDevice(name);
    if (!device) return false;
    const ALCint attributes[] = {ALC_FREQUENCY,
                                 (ALCint)SNDL_MIX_RATE,
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 ALC_MAX_AUXILIARY_SENDS,
                                 2,
                                 0};
    return open_context(device, attributes, false);
}

bool sndl_device_open_loopback(void) {
    if (sndl_device_is_open()) return false;
    ALCdevice *device = alcLoopbackOpenDeviceSOFT(nullptr);
    if (!device) return false;
    if (!alcIsRenderFormatSupportedSOFT(device, SNDL_MIX_RATE, ALC_STEREO_SOFT, ALC_FLOAT_SOFT)) {
        alcCloseDevice(device);
        return false;
    }
    // No limiter, no HRTF: rendered levels follow the gains exactly.
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,
                                 (ALCint)SNDL_MIX_RATE,
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 ALC_OUTPUT_LIMITER_SOFT,
                                 ALC_FALSE,
                                 ALC_MAX_AUXILIARY_SENDS,
                                 2,
                                 0};
    return open_context(device, attributes, true);
}

void sndl_device_close(void) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!g_state.device) return;
    sndl_buffer_release_all();
    sndl_effects_term();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(g_state.context);
    alcCloseDevice(g_state.device);
    g_state.context = nullptr;
    g_state.device = nullptr;
    g_state.loopback = false;
}

bool sndl_device_is_open(void) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    return g_state.context != nullptr;
}

bool sndl_loopback_render(float *out, uint32_t frames) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!g_state.device || !g_state.loopback || !out) return false;
    alcRenderSamplesSOFT(g_state.device, out, (ALCsizei)frames);
    return true;
}

bool sndl_listener_set_position(float x, float y, float z, bool deferred) {
    const float v[3] = {x, y, z};
    return set_listener(
        LISTENER_POSITION, deferred,
        [](SndlListener *l, const float *p) {
            l->position = {p[0], p[1], p[2]};
        },
        v);
}

bool sndl_listener_set_velocity(float x, float y, float z, bool deferred) {
    const float v[3] = {x, y, z};
    return set_listener(
        LISTENER_VELOCITY, deferred,
        [](SndlListener *l, const float *p) {
            l->velocity = {p[0], p[1], p[2]};
        },
        v);
}

bool sndl_listener_set_orientation(float front_x, float front_y, float front_z, float top_x,
                                   float top_y, float top_z, bool deferred) {
    const float v[6] = {front_x, front_y, front_z, top_x, top_y, top_z};
    return set_listener(
        LISTENER_ORIENTATION, deferred,
        [](SndlListener *l, const float *p) {
            l->front = {p[0], p[1], p[2]};
            l->top = {p[3], p[4], p[5]};
        },
        v);
}

bool sndl_listener_set_doppler_factor(float factor, bool deferred) {
    if (!(factor >= 0.0f && factor <= 10.0f)) return false;
    return set_listener(
        LISTENER_DOPPLER, deferred, [](SndlListener *l, const float *p) { l->doppler = p[0]; },
        &factor);
}

bool sndl_listener_set_rolloff_factor(float factor, bool deferred) {
    if (!(factor >= 0.0f && factor <= 10.0f)) return false;
    return set_listener(
        LISTENER_ROLLOFF, deferred, [](SndlListener *l, const float *p) { l->rolloff = p[0]; },
        &factor);
}

void sndl_listener_get_position(float *x, float *y, float *z) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (x) *x = g_state.listener.position.x;
    if (y) *y = g_state.listener.position.y;
    if (z) *z = g_state.listener.position.z;
}

bool sndl_commit_deferred(void) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!g_state.context) return false;
    uint32_t mask = g_state.pending_listener_mask;
    const SndlListener &p = g_state.pending_listener;
    SndlListener &l = g_state.listener;
    if (mask & LISTENER_POSITION) l.position = p.position;
    if (mask & LISTENER_VELOCITY) l.velocity = p.velocity;
    if (mask & LISTENER_ORIENTATION) {
        l.front = p.front;
        l.top = p.top;
    }
    if (mask & LISTENER_DOPPLER) l.doppler = p.doppler;
    if (mask & LISTENER_ROLLOFF) l.rolloff = p.rolloff;
    g_state.pending_listener_mask = 0;
    for (SndlBuffer &b : g_state.buffers)
        if (b.used) sndl_buffer_commit(&b);
    apply_listener(mask | LISTENER_POSITION); // the mute test needs every source's distance again
    return true;
}

bool sndl_set_primary_volume(int32_t millibels) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!g_state.context || millibels < SNDL_VOLUME_MIN || millibels > SNDL_VOLUME_MAX)
        return false;
    g_state.primary_volume = millibels;
    apply_listener_gain();
    return true;
}

int32_t sndl_get_primary_volume(void) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    return g_state.primary_volume;
}

void sndl_set_master_gain(float gain) {
    std::lock_guard<std::recursive_mutex> guard(g_state.lock);
    if (!(gain >= 0.0f)) gain = 0.0f;
    if (gain > 1.0f) gain = 1.0f;
    g_state.master_gain = gain;
    if (g_state.context) apply_listener_gain();
}
