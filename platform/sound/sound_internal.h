// State shared by the sound layer's own files; not for callers.
#pragma once
#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
#include <cstdint>
#include <mutex>
#include "platform/sound/sound_buffer.h"
#include "platform/sound/sound_effects.h"

struct SndlVec3 {
    float x, y, z;
};

// Deferred buffer settings waiting for the next commit.
enum : uint32_t {
    SNDL_PENDING_POSITION = 1,
    SNDL_PENDING_VELOCITY = 2,
    SNDL_PENDING_MIN_DISTANCE = 4,
    SNDL_PENDING_MAX_DISTANCE = 8,
};

enum SndlEffectKind : uint32_t {
    SNDL_EFFECT_NONE = 0,
    SNDL_EFFECT_ECHO = 1,
    SNDL_EFFECT_REVERB = 2,
    SNDL_EFFECT_COMPRESSOR = 3,
};

struct SndlBuffer {
    bool used;
    uint32_t flags;
    SndlFormat format;
    uint32_t block;
    uint32_t bytes;
    ALuint al_buffer;    // the buffer's own samples
    ALuint al_processed; // samples reworked by the compressor, 0 when none
    ALuint al_start;     // the samples from a start position on, 0 until first needed
    ALuint al_source;
    uint8_t *pcm;           // copy of the samples, the source of reworked ones
    uint8_t *processed;     // the compressor's samples in the buffer's format, null when none
    int64_t pending_offset; // byte offset to start from at the next play, -1 none
    // While the source holds al_start: the byte where its samples begin, and whether the whole
    // data follows them (made for looping).
    bool start_attached;
    bool start_loops;
    uint32_t start_from;
    bool looping;
    int32_t volume;
    uint32_t frequency;
    int32_t pan;
    SndlVec3 position, velocity;
    float min_distance, max_distance;
    SndlVec3 pending_position, pending_velocity;
    float pending_min_distance, pending_max_distance;
    uint32_t pending;
    bool muted; // beyond the maximum distance
    SndlEffectKind effect;
    ALuint dry_filter, send_filter;
    SndlCompressorParams compressor;
};

struct SndlListener {
    SndlVec3 position, velocity, front, top;
    float doppler, rolloff;
};

struct SndlState {
    std::recursive_mutex lock;
    ALCdevice *device;
    ALCcontext *context;
    bool loopback;
    SndlListener listener;
    SndlListener pending_listener;
    uint32_t pending_listener_mask;
    int32_t primary_volume;
    float master_gain;
    bool efx;
    ALuint echo_effect, reverb_effect;
    ALuint echo_slot, reverb_slot;
    SndlBuffer buffers[SNDL_MAX_BUFFERS];
};

SndlState &sndl_state(void);
// Recomputes the source gain from volume and mute state, and the mute state from the distance.
void sndl_buffer_apply_gain(SndlBuffer *b);
// Applies a buffer's deferred 3D settings.
void sndl_buffer_commit(SndlBuffer *b);
void sndl_buffer_release_all(void);
void sndl_effects_init(void);
void sndl_effects_term(void);
// Removes any effect from the buffer (restoring its own samples); caller holds the lock.
void sndl_effects_detach(SndlBuffer *b);
// Re-runs a sample-reworking effect after the samples changed; the source must have let go of
// its buffers. Caller holds the lock.
void sndl_effects_refresh(SndlBuffer *b);
bool sndl_buffer_valid(const SndlBuffer *b);
// Puts samples laid out as the buffer's format into the mixer buffer `target`: those from byte
// `from` to the end and, with `then_whole`, the whole data again after them, with the loop
// points around that copy (a looping source plays the rest once, then loops the whole). 3D
// buffers keep their mono data; 2D buffers become 16-bit stereo with the pan's side gains
// applied, played through the direct channels, so each side sounds at exactly its own level.
bool sndl_upload_samples(SndlBuffer *b, ALuint target, const void *data, uint32_t from,
                         bool then_whole);
// Byte offset (in the buffer's own format) the source plays from, or would resume from.
int64_t sndl_source_offset(SndlBuffer *b);
// Stops the source and lets go of its mixer buffers, keeping the position for the next play.
void sndl_source_detach(SndlBuffer *b);
