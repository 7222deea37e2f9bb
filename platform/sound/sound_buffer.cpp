#include "platform/sound/sound_buffer.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "platform/sound/sound_device.h"
#include "platform/sound/sound_internal.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

bool finite_vec(float x, float y, float z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

ALint source_state(const SndlBuffer *b) {
    ALint state = AL_INITIAL;
    alGetSourcei(b->al_source, AL_SOURCE_STATE, &state);
    return state;
}

void apply_3d(SndlBuffer *b) {
    alSource3f(b->al_source, AL_POSITION, b->position.x, b->position.y, -b->position.z);
    alSource3f(b->al_source, AL_VELOCITY, b->velocity.x, b->velocity.y, -b->velocity.z);
    alSourcef(b->al_source, AL_REFERENCE_DISTANCE, b->min_distance);
    alSourcef(b->al_source, AL_MAX_DISTANCE, b->max_distance);
    sndl_buffer_apply_gain(b);
}

void configure_source(SndlBuffer *b) {
    ALuint s = b->al_source;
    alSourcef(s, AL_PITCH, 1.0f);
    alSourcei(s, AL_LOOPING, AL_FALSE);
    if (b->flags & SNDL_CTRL_3D) {
        alSourcei(s, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(s, AL_ROLLOFF_FACTOR, sndl_state().listener.rolloff);
        apply_3d(b);
    } else {
        // The listener's place and the distance do not touch 2D sounds; their stereo data goes
        // straight to the output channels (the pan is in the data).
        alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(s, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(s, AL_ROLLOFF_FACTOR, 0.0f);
        alSourcei(s, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        sndl_buffer_apply_gain(b);
    }
}

void fill_silence(SndlBuffer *b) {
    std::memset(b->pcm, b->format.bits == 8 ? 0x80 : 0, b->bytes);
}

// Puts the buffer's samples into the mixer buffer; the buffer is stopped and rewound.
bool upload(SndlBuffer *b) {
    sndl_source_detach(b);
    b->pending_offset = -1;
    alGetError();
    bool ok = sndl_upload_samples(b, b->al_buffer, b->pcm, 0, false);
    sndl_effects_refresh(b);
    ALuint attach = b->al_processed ? b->al_processed : b->al_buffer;
    alSourcei(b->al_source, AL_BUFFER, (ALint)attach);
    return ok && alGetError() == AL_NO_ERROR;
}

// Plays from byte `from` with the looping flag in force. The mixer fades a source in over its
// whole first mix (some 2,000 frames) when it starts anywhere but at the first frame of its
// data, against a click; so a start from later in the buffer plays a mixer buffer whose data
// begins there, from its first frame, and sounds at its level at once.
bool start_at(SndlBuffer *b, uint32_t from) {
    alSourceStop(b->al_source);
    alSourcei(b->al_source, AL_BUFFER, 0);
    b->start_attached = false;
    b->pending_offset = -1;
    alGetError();
    ALuint attach = b->al_processed ? b->al_processed : b->al_buffer;
    if (from > 0) {
        if (!b->al_start) alGenBuffers(1, &b->al_start);
        const uint8_t *data = b->processed ? b->processed : b->pcm;
        if (b->al_start && sndl_upload_samples(b, b->al_start, data, from, b->looping)) {
            attach = b->al_start;
            b->start_attached = true;
            b->start_loops = b->looping;
            b->start_from = from;
        }
    }
    alGetError();
    alSourcei(b->al_source, AL_BUFFER, (ALint)attach);
    alSourcei(b->al_source, AL_LOOPING, b->looping ? AL_TRUE : AL_FALSE);
    // Without a mixer buffer of its own the start is still in place, faded in.
    if (from > 0 && !b->start_attached)
        alSourcei(b->al_source, AL_SAMPLE_OFFSET, (ALint)(from / b->block));
    alSourcePlay(b->al_source);
    return alGetError() == AL_NO_ERROR;
}

// Side gains of the pan: one side turned down by |pan| hundredths of a decibel, the other at 0 dB.
void convert_to_stereo(const SndlBuffer *b, const uint8_t *p, uint32_t frames, int16_t *out) {
    const SndlFormat &f = b->format;
    float left = b->pan > 0 ? sndl_millibels_to_gain(-b->pan) : 1.0f;
    float right = b->pan < 0 ? sndl_millibels_to_gain(b->pan) : 1.0f;
    const uint32_t step = f.bits / 8u, second = f.channels == 2 ? step : 0;
    auto sample = [&](const uint8_t *q) {
        return f.bits == 8 ? (float)((q[0] - 128) * 256) : (float)(int16_t)(q[0] | q[1] << 8);
    };
    // Side gains are at most 1: rounding cannot leave the 16-bit range.
    for (uint32_t i = 0; i < frames; ++i, p += b->block) {
        out[2 * i] = (int16_t)std::lrint(sample(p) * left);
        out[2 * i + 1] = (int16_t)std::lrint(sample(p + second) * right);
    }
}
} // namespace

bool sndl_upload_samples(SndlBuffer *b, ALuint target, const void *data, uint32_t from,
                         bool then_whole) {
    const SndlFormat &f = b->format;
    const uint8_t *bytes = (const uint8_t *)data;
    const uint32_t whole = b->bytes / b->block, rest = whole - from / b->block;
    const uint32_t frames = rest + (then_whole ? whole : 0);
    // 3D buffers and unpanned 16-bit stereo are already what the mixer plays.
    const bool as_is =
        (b->flags & SNDL_CTRL_3D) || (f.channels == 2 && f.bits == 16 && b->pan == 0);
    ALenum format = AL_FORMAT_STEREO16;
    if (b->flags & SNDL_CTRL_3D) format = f.bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    const uint32_t out_block = as_is ? b->block : 4;
    alGetError();
    if (as_is && !then_whole) {
        alBufferData(target, format, bytes + from, (ALsizei)(rest * b->block), (ALsizei)f.rate);
    } else {
        uint8_t *out = (uint8_t *)std::malloc((size_t)frames * out_block);
        if (!out) return false;
        if (as_is) {
            std::memcpy(out, bytes + from, (size_t)rest * b->block);
            if (then_whole) std::memcpy(out + (size_t)rest * b->block, bytes, b->bytes);
        } else {
            convert_to_stereo(b, bytes + from, rest, (int16_t *)out);
            if (then_whole) convert_to_stereo(b, bytes, whole, (int16_t *)out + 2 * (size_t)rest);
        }
        alBufferData(target, format, out, (ALsizei)(frames * out_block), (ALsizei)f.rate);
        std::free(out);
    }
    if (then_whole) {
        const ALint points[2] = {(ALint)rest, (ALint)frames};
        alBufferiv(target, AL_LOOP_POINTS_SOFT, points);
    }
    return alGetError() == AL_NO_ERROR;
}

int64_t sndl_source_offset(SndlBuffer *b) {
    if (b->pending_offset >= 0) return b->pending_offset;
    ALint state = source_state(b), frames = 0;
    if (state != AL_PLAYING && state != AL_PAUSED) return 0;
    alGetSourcei(b->al_source, AL_SAMPLE_OFFSET, &frames);
    int64_t bytes = frames > 0 ? (int64_t)frames * b->block : 0;
    if (!b->start_attached) return bytes;
    // The start buffer holds the rest of the data from start_from on, then maybe the whole.
    int64_t rest = (int64_t)b->bytes - b->start_from;
    return bytes < rest ? b->start_from + bytes : bytes - rest;
}

void sndl_source_detach(SndlBuffer *b) {
    int64_t offset = sndl_source_offset(b);
    alSourceStop(b->al_source);
    alSourcei(b->al_source, AL_BUFFER, 0);
    b->start_attached = false;
    b->pending_offset = offset > 0 ? offset : -1;
}

bool sndl_buffer_valid(const SndlBuffer *b) {
    const SndlState &st = sndl_state();
    if (!b || b < st.buffers || b >= st.buffers + SNDL_MAX_BUFFERS) return false;
    return b->used && st.context;
}

void sndl_buffer_apply_gain(SndlBuffer *b) {
    b->muted = false;
    if ((b->flags & SNDL_CTRL_3D) && (b->flags & SNDL_MUTE_3D_AT_MAX_DISTANCE)) {
        const SndlVec3 &l = sndl_state().listener.position;
        float dx = b->position.x - l.x, dy = b->position.y - l.y, dz = b->position.z - l.z;
        b->muted = dx * dx + dy * dy + dz * dz > b->max_distance * b->max_distance;
    }
    alSourcef(b->al_source, AL_GAIN, b->muted ? 0.0f : sndl_millibels_to_gain(b->volume));
}

void sndl_buffer_commit(SndlBuffer *b) {
    if (!b->pending) return;
    if (b->pending & SNDL_PENDING_POSITION) b->position = b->pending_position;
    if (b->pending & SNDL_PENDING_VELOCITY) b->velocity = b->pending_velocity;
    if (b->pending & SNDL_PENDING_MIN_DISTANCE) b->min_distance = b->pending_min_distance;
    if (b->pending & SNDL_PENDING_MAX_DISTANCE) b->max_distance = b->pending_max_distance;
    b->pending = 0;
    apply_3d(b);
}

SndlBuffer *sndl_buffer_create(const SndlFormat *format, uint32_t bytes, uint32_t flags) {
    if (!format || (format->channels != 1 && format->channels != 2)) return nullptr;
    if (format->bits != 8 && format->bits != 16) return nullptr;
    if (format->rate < SNDL_FREQUENCY_MIN || format->rate > SNDL_FREQUENCY_MAX) return nullptr;
    if ((flags & SNDL_CTRL_3D) && (format->channels != 1 || (flags & SNDL_CTRL_PAN)))
        return nullptr;
    uint32_t block = format->channels * format->bits / 8u;
    bytes -= bytes % block;
    if (bytes == 0) return nullptr;

    SndlState &st = sndl_state();
    Guard guard(st.lock);
    if (!st.context) return nullptr;
    SndlBuffer *b = nullptr;
    for (SndlBuffer &candidate : st.buffers)
        if (!candidate.used) {
            b = &candidate;
            break;
        }
    if (!b) return nullptr;
    *b = SndlBuffer{};
    b->pcm = (uint8_t *)std::malloc(bytes);
    if (!b->pcm) return nullptr;
    alGetError();
    alGenBuffers(1, &b->al_buffer);
    alGenSources(1, &b->al_source);
    if (alGetError() != AL_NO_ERROR) {
        if (alIsSource(b->al_source)) alDeleteSources(1, &b->al_source);
        if (alIsBuffer(b->al_buffer)) alDeleteBuffers(1, &b->al_buffer);
        std::free(b->pcm);
        *b = SndlBuffer{};
        return nullptr;
    }
    b->used = true;
    b->flags = flags;
    b->format = *format;
    b->block = block;
    b->bytes = bytes;
    b->frequency = format->rate;
    b->min_distance = SNDL_DEFAULT_MIN_DISTANCE;
    b->max_distance = SNDL_DEFAULT_MAX_DISTANCE;
    b->pending_offset = -1;
    fill_silence(b);
    upload(b);
    configure_source(b);
    return b;
}

void sndl_buffer_release(SndlBuffer *b) {
    SndlState &st = sndl_state();
    Guard guard(st.lock);
    if (!sndl_buffer_valid(b)) return;
    alSourceStop(b->al_source);
    sndl_effects_detach(b);
    alSourcei(b->al_source, AL_BUFFER, 0);
    alDeleteSources(1, &b->al_source);
    alDeleteBuffers(1, &b->al_buffer);
    if (b->al_start) alDeleteBuffers(1, &b->al_start);
    std::free(b->pcm);
    *b = SndlBuffer{};
}

void sndl_buffer_release_all(void) {
    for (SndlBuffer &b : sndl_state().buffers)
        if (b.used) sndl_buffer_release(&b);
}

bool sndl_buffer_write(SndlBuffer *b, const void *data, uint32_t bytes) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || (!data && bytes)) return false;
    if (bytes > b->bytes) bytes = b->bytes;
    if (bytes) std::memcpy(b->pcm, data, bytes);
    std::memset(b->pcm + bytes, b->format.bits == 8 ? 0x80 : 0, b->bytes - bytes); // silence after
    return upload(b);
}

uint32_t sndl_buffer_bytes(const SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    return sndl_buffer_valid(b) ? b->bytes : 0;
}

uint32_t sndl_buffer_flags(const SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    return sndl_buffer_valid(b) ? b->flags : 0;
}

const SndlFormat *sndl_buffer_format(const SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    return sndl_buffer_valid(b) ? &b->format : nullptr;
}

bool sndl_buffer_play(SndlBuffer *b, bool loop) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b)) return false;
    b->looping = loop;
    ALint state = source_state(b);
    if (state == AL_PLAYING || state == AL_PAUSED) {
        // A start buffer holds the whole data after the rest only when made for looping.
        if (b->start_attached && b->start_loops != loop)
            return start_at(b, (uint32_t)sndl_source_offset(b));
        alSourcei(b->al_source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
        // Starting a playing source again would restart it from the beginning; a paused one
        // resumes where it stopped.
        if (state == AL_PAUSED) alSourcePlay(b->al_source);
        return true;
    }
    return start_at(b, b->pending_offset > 0 ? (uint32_t)b->pending_offset : 0);
}

bool sndl_buffer_stop(SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b)) return false;
    if (source_state(b) == AL_PLAYING) alSourcePause(b->al_source);
    return true;
}

uint32_t sndl_buffer_status(SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || source_state(b) != AL_PLAYING) return 0;
    return SNDL_STATUS_PLAYING | (b->looping ? SNDL_STATUS_LOOPING : 0);
}

bool sndl_buffer_get_position(SndlBuffer *b, uint32_t *bytes) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !bytes) return false;
    *bytes = (uint32_t)sndl_source_offset(b);
    *bytes -= *bytes % b->block;
    return true;
}

bool sndl_buffer_set_position(SndlBuffer *b, uint32_t bytes) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || bytes >= b->bytes) return false;
    bytes -= bytes % b->block;
    if (source_state(b) == AL_PLAYING) return start_at(b, bytes);
    // A paused, initial or finished source starts there at the next play.
    alSourceStop(b->al_source);
    b->pending_offset = bytes;
    return true;
}

bool sndl_buffer_set_volume(SndlBuffer *b, int32_t millibels) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_VOLUME)) return false;
    if (millibels < SNDL_VOLUME_MIN || millibels > SNDL_VOLUME_MAX) return false;
    b->volume = millibels;
    sndl_buffer_apply_gain(b);
    return true;
}

bool sndl_buffer_get_volume(SndlBuffer *b, int32_t *millibels) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !millibels || !(b->flags & SNDL_CTRL_VOLUME)) return false;
    *millibels = b->volume;
    return true;
}

bool sndl_buffer_set_frequency(SndlBuffer *b, uint32_t hz) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_FREQUENCY)) return false;
    if (hz == 0) hz = b->format.rate;
    if (hz < SNDL_FREQUENCY_MIN || hz > SNDL_FREQUENCY_MAX) return false;
    b->frequency = hz;
    alSourcef(b->al_source, AL_PITCH, (float)hz / (float)b->format.rate);
    return true;
}

bool sndl_buffer_get_frequency(SndlBuffer *b, uint32_t *hz) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !hz || !(b->flags & SNDL_CTRL_FREQUENCY)) return false;
    *hz = b->frequency;
    return true;
}

bool sndl_buffer_set_pan(SndlBuffer *b, int32_t pan) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_PAN)) return false;
    if (pan < SNDL_PAN_LEFT || pan > SNDL_PAN_RIGHT) return false;
    if (pan == b->pan) return true;
    b->pan = pan;
    // The side gains live in the mixer's copy of the samples: rebuild it and go on from where
    // the sound is.
    ALint state = source_state(b);
    int64_t offset = sndl_source_offset(b);
    bool ok = upload(b);
    if (offset > 0) b->pending_offset = offset;
    if (state == AL_PLAYING) ok = start_at(b, offset > 0 ? (uint32_t)offset : 0) && ok;
    return ok;
}

bool sndl_buffer_get_pan(SndlBuffer *b, int32_t *pan) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !pan || !(b->flags & SNDL_CTRL_PAN)) return false;
    *pan = b->pan;
    return true;
}

bool sndl_buffer_set_3d_position(SndlBuffer *b, float x, float y, float z, bool deferred) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_3D) || !finite_vec(x, y, z)) return false;
    if (deferred) {
        b->pending_position = {x, y, z};
        b->pending |= SNDL_PENDING_POSITION;
        return true;
    }
    b->position = {x, y, z};
    b->pending &= ~SNDL_PENDING_POSITION;
    apply_3d(b);
    return true;
}

bool sndl_buffer_get_3d_position(SndlBuffer *b, float *x, float *y, float *z) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_3D)) return false;
    if (x) *x = b->position.x;
    if (y) *y = b->position.y;
    if (z) *z = b->position.z;
    return true;
}

bool sndl_buffer_set_3d_velocity(SndlBuffer *b, float x, float y, float z, bool deferred) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_3D) || !finite_vec(x, y, z)) return false;
    if (deferred) {
        b->pending_velocity = {x, y, z};
        b->pending |= SNDL_PENDING_VELOCITY;
        return true;
    }
    b->velocity = {x, y, z};
    b->pending &= ~SNDL_PENDING_VELOCITY;
    apply_3d(b);
    return true;
}

bool sndl_buffer_set_min_distance(SndlBuffer *b, float distance, bool deferred) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_3D)) return false;
    if (!(distance > 0.0f) || !std::isfinite(distance)) return false;
    if (deferred) {
        b->pending_min_distance = distance;
        b->pending |= SNDL_PENDING_MIN_DISTANCE;
        return true;
    }
    b->min_distance = distance;
    b->pending &= ~SNDL_PENDING_MIN_DISTANCE;
    apply_3d(b);
    return true;
}

bool sndl_buffer_set_max_distance(SndlBuffer *b, float distance, bool deferred) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_3D)) return false;
    if (!(distance > 0.0f) || !std::isfinite(distance)) return false;
    if (deferred) {
        b->pending_max_distance = distance;
        b->pending |= SNDL_PENDING_MAX_DISTANCE;
        return true;
    }
    b->max_distance = distance;
    b->pending &= ~SNDL_PENDING_MAX_DISTANCE;
    apply_3d(b);
    return true;
}
