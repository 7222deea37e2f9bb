#include "platform/sound/sound_effects.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "platform/sound/sound_internal.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

// The I3DL2 environment presets: room, room HF, room rolloff, decay time, decay HF ratio,
// reflections, reflections delay, reverb, reverb delay, diffusion, density, HF reference.
const SndlI3dl2Preset PRESETS[SNDL_I3DL2_PRESET_COUNT] = {
    {-1000, -100, 0.0f, 1.49f, 0.83f, -2602, 0.007f, 200, 0.011f, 100.0f, 100.0f,
     5000.0f}, // default
    {-1000, -100, 0.0f, 1.49f, 0.83f, -2602, 0.007f, 200, 0.011f, 100.0f, 100.0f,
     5000.0f}, // generic
    {-1000, -6000, 0.0f, 0.17f, 0.10f, -1204, 0.001f, 207, 0.002f, 100.0f, 100.0f,
     5000.0f}, // padded cell
    {-1000, -454, 0.0f, 0.40f, 0.83f, -1646, 0.002f, 53, 0.003f, 100.0f, 100.0f, 5000.0f}, // room
    {-1000, -1200, 0.0f, 1.49f, 0.54f, -370, 0.007f, 1030, 0.011f, 100.0f, 60.0f,
     5000.0f}, // bathroom
    {-1000, -6000, 0.0f, 0.50f, 0.10f, -1376, 0.003f, -1104, 0.004f, 100.0f, 100.0f,
     5000.0f}, // living room
    {-1000, -300, 0.0f, 2.31f, 0.64f, -711, 0.012f, 83, 0.017f, 100.0f, 100.0f,
     5000.0f}, // stone room
    {-1000, -476, 0.0f, 4.32f, 0.59f, -789, 0.020f, -289, 0.030f, 100.0f, 100.0f,
     5000.0f}, // auditorium
    {-1000, -500, 0.0f, 3.92f, 0.70f, -1230, 0.020f, -2, 0.029f, 100.0f, 100.0f,
     5000.0f}, // concert hall
    {-1000, 0, 0.0f, 2.91f, 1.30f, -602, 0.015f, -302, 0.022f, 100.0f, 100.0f, 5000.0f},   // cave
    {-1000, -698, 0.0f, 7.24f, 0.33f, -1166, 0.020f, 16, 0.030f, 100.0f, 100.0f, 5000.0f}, // arena
    {-1000, -1000, 0.0f, 10.05f, 0.23f, -602, 0.020f, 198, 0.030f, 100.0f, 100.0f,
     5000.0f}, // hangar
    {-1000, -4000, 0.0f, 0.30f, 0.10f, -1831, 0.002f, -1630, 0.030f, 100.0f, 100.0f,
     5000.0f}, // carpeted hallway
    {-1000, -300, 0.0f, 1.49f, 0.59f, -1219, 0.007f, 441, 0.011f, 100.0f, 100.0f,
     5000.0f}, // hallway
    {-1000, -237, 0.0f, 2.70f, 0.79f, -1214, 0.013f, 395, 0.020f, 100.0f, 100.0f,
     5000.0f}, // stone corridor
    {-1000, -270, 0.0f, 1.49f, 0.86f, -1204, 0.007f, -4, 0.011f, 100.0f, 100.0f, 5000.0f}, // alley
    {-1000, -3300, 0.0f, 1.49f, 0.54f, -2560, 0.162f, -613, 0.088f, 79.0f, 100.0f,
     5000.0f}, // forest
    {-1000, -800, 0.0f, 1.49f, 0.67f, -2273, 0.007f, -2217, 0.011f, 50.0f, 100.0f, 5000.0f}, // city
    {-1000, -2500, 0.0f, 1.49f, 0.21f, -2780, 0.300f, -2014, 0.100f, 27.0f, 100.0f,
     5000.0f}, // mountains
    {-1000, -1000, 0.0f, 1.49f, 0.83f, -10000, 0.061f, 500, 0.025f, 100.0f, 100.0f,
     5000.0f}, // quarry
    {-1000, -2000, 0.0f, 1.49f, 0.50f, -2466, 0.179f, -2514, 0.100f, 21.0f, 100.0f,
     5000.0f}, // plain
    {-1000, 0, 0.0f, 1.65f, 1.50f, -1363, 0.008f, -1153, 0.012f, 100.0f, 100.0f,
     5000.0f}, // parking lot
    {-1000, -1000, 0.0f, 2.81f, 0.14f, 429, 0.014f, 648, 0.021f, 80.0f, 60.0f,
     5000.0f}, // sewer pipe
    {-1000, -4000, 0.0f, 1.49f, 0.10f, -449, 0.007f, 1700, 0.011f, 100.0f, 100.0f,
     5000.0f}, // underwater
    {-1000, -600, 0.0f, 1.10f, 0.83f, -400, 0.005f, 500, 0.010f, 100.0f, 100.0f,
     5000.0f}, // small room
    {-1000, -600, 0.0f, 1.30f, 0.83f, -1000, 0.010f, -200, 0.020f, 100.0f, 100.0f,
     5000.0f}, // medium room
    {-1000, -600, 0.0f, 1.50f, 0.83f, -1600, 0.020f, -1000, 0.040f, 100.0f, 100.0f,
     5000.0f}, // large room
    {-1000, -600, 0.0f, 1.80f, 0.70f, -1300, 0.015f, -800, 0.030f, 100.0f, 100.0f,
     5000.0f}, // medium hall
    {-1000, -600, 0.0f, 1.80f, 0.70f, -2000, 0.030f, -1400, 0.060f, 100.0f, 100.0f,
     5000.0f},                                                                       // large hall
    {-1000, -200, 0.0f, 1.30f, 0.90f, 0, 0.002f, 0, 0.010f, 100.0f, 75.0f, 5000.0f}, // plate
};

float level_gain(int32_t millibels) {
    if (millibels <= -10000) return 0.0f;
    return std::pow(10.0f, (float)millibels / 2000.0f);
}

float clampf(float v, float lo, float hi) {
    return std::max(lo, std::min(hi, v));
}

bool in_range(float v, float lo, float hi) {
    return v >= lo && v <= hi;
}

bool can_apply(SndlBuffer *b) {
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_FX) || !sndl_state().efx) return false;
    ALint state = AL_INITIAL;
    alGetSourcei(b->al_source, AL_SOURCE_STATE, &state);
    return state != AL_PLAYING;
}

ALuint make_gain_filter(float gain) {
    ALuint f = 0;
    alGenFilters(1, &f);
    alFilteri(f, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
    alFilterf(f, AL_LOWPASS_GAIN, clampf(gain, 0.0f, 1.0f));
    alFilterf(f, AL_LOWPASS_GAINHF, 1.0f);
    return f;
}

// Routes the source: the dry path at `dry`, one send into `slot` at `wet`. False (and the routing
// undone) when the mixer refuses it, e.g. a context without auxiliary sends.
bool route(SndlBuffer *b, ALuint slot, float dry, float wet) {
    alGetError();
    b->dry_filter = make_gain_filter(dry);
    b->send_filter = make_gain_filter(wet);
    alSourcei(b->al_source, AL_DIRECT_FILTER, (ALint)b->dry_filter);
    alSource3i(b->al_source, AL_AUXILIARY_SEND_FILTER, (ALint)slot, 0, (ALint)b->send_filter);
    if (alGetError() == AL_NO_ERROR) return true;
    sndl_effects_detach(b);
    return false;
}

void drop_compressed(SndlBuffer *b) {
    if (b->al_processed) alDeleteBuffers(1, &b->al_processed);
    b->al_processed = 0;
    std::free(b->processed);
    b->processed = nullptr;
}

// Fills the buffer's second mixer buffer with compressed samples, keeping them in the buffer's
// format for starts from a position (the source must not hold any mixer buffer).
bool build_compressed(SndlBuffer *b) {
    uint32_t samples = b->bytes / (b->format.bits / 8u);
    int16_t *work = (int16_t *)std::malloc((size_t)samples * sizeof(int16_t));
    if (!work) return false;
    if (b->format.bits == 8)
        for (uint32_t i = 0; i < samples; ++i) work[i] = (int16_t)((b->pcm[i] - 128) << 8);
    else
        std::memcpy(work, b->pcm, (size_t)samples * 2);
    sndl_compress_samples(work, samples / b->format.channels, b->format.channels, b->format.rate,
                          &b->compressor);
    if (b->format.bits == 8) {
        uint8_t *narrow = (uint8_t *)work; // in place: each byte is written after it is read
        for (uint32_t i = 0; i < samples; ++i) narrow[i] = (uint8_t)((work[i] >> 8) + 128);
    }
    std::free(b->processed);
    b->processed = (uint8_t *)work;
    if (!b->al_processed) alGenBuffers(1, &b->al_processed);
    return b->al_processed && sndl_upload_samples(b, b->al_processed, b->processed, 0, false);
}

void set_reverb_params(ALuint effect, const SndlI3dl2Preset &p) {
    ALint type = AL_EFFECT_NULL;
    alGetEffecti(effect, AL_EFFECT_TYPE, &type);
    if (type == AL_EFFECT_EAXREVERB) {
        alEffectf(effect, AL_EAXREVERB_DENSITY, clampf(p.density / 100.0f, 0.0f, 1.0f));
        alEffectf(effect, AL_EAXREVERB_DIFFUSION, clampf(p.diffusion / 100.0f, 0.0f, 1.0f));
        alEffectf(effect, AL_EAXREVERB_GAIN, clampf(level_gain(p.room), 0.0f, 1.0f));
        alEffectf(effect, AL_EAXREVERB_GAINHF, clampf(level_gain(p.room_hf), 0.0f, 1.0f));
        alEffectf(effect, AL_EAXREVERB_GAINLF, 1.0f);
        alEffectf(effect, AL_EAXREVERB_DECAY_TIME, clampf(p.decay_time, 0.1f, 20.0f));
        alEffectf(effect, AL_EAXREVERB_DECAY_HFRATIO, clampf(p.decay_hf_ratio, 0.1f, 2.0f));
        alEffectf(effect, AL_EAXREVERB_DECAY_LFRATIO, 1.0f);
        alEffectf(effect, AL_EAXREVERB_REFLECTIONS_GAIN,
                  clampf(level_gain(p.reflections), 0.0f, 3.16f));
        alEffectf(effect, AL_EAXREVERB_REFLECTIONS_DELAY, clampf(p.reflections_delay, 0.0f, 0.3f));
        alEffectf(effect, AL_EAXREVERB_LATE_REVERB_GAIN, clampf(level_gain(p.reverb), 0.0f, 10.0f));
        alEffectf(effect, AL_EAXREVERB_LATE_REVERB_DELAY, clampf(p.reverb_delay, 0.0f, 0.1f));
        alEffectf(effect, AL_EAXREVERB_HFREFERENCE, clampf(p.hf_reference, 1000.0f, 20000.0f));
        alEffectf(effect, AL_EAXREVERB_ROOM_ROLLOFF_FACTOR,
                  clampf(p.room_rolloff_factor, 0.0f, 10.0f));
    } else {
        alEffectf(effect, AL_REVERB_DENSITY, clampf(p.density / 100.0f, 0.0f, 1.0f));
        alEffectf(effect, AL_REVERB_DIFFUSION, clampf(p.diffusion / 100.0f, 0.0f, 1.0f));
        alEffectf(effect, AL_REVERB_GAIN, clampf(level_gain(p.room), 0.0f, 1.0f));
        alEffectf(effect, AL_REVERB_GAINHF, clampf(level_gain(p.room_hf), 0.0f, 1.0f));
        alEffectf(effect, AL_REVERB_DECAY_TIME, clampf(p.decay_time, 0.1f, 20.0f));
        alEffectf(effect, AL_REVERB_DECAY_HFRATIO, clampf(p.decay_hf_ratio, 0.1f, 2.0f));
        alEffectf(effect, AL_REVERB_REFLECTIONS_GAIN,
                  clampf(level_gain(p.reflections), 0.0f, 3.16f));
        alEffectf(effect, AL_REVERB_REFLECTIONS_DELAY, clampf(p.reflections_delay, 0.0f, 0.3f));
        alEffectf(effect, AL_REVERB_LATE_REVERB_GAIN, clampf(level_gain(p.reverb), 0.0f, 10.0f));
        alEffectf(effect, AL_REVERB_LATE_REVERB_DELAY, clampf(p.reverb_delay, 0.0f, 0.1f));
        alEffectf(effect, AL_REVERB_ROOM_ROLLOFF_FACTOR,
                  clampf(p.room_rolloff_factor, 0.0f, 10.0f));
    }
}
} // namespace

void sndl_effects_init(void) {
    SndlState &st = sndl_state();
    st.efx = false;
    if (!alcIsExtensionPresent(st.device, "ALC_EXT_EFX")) return;
    alGetError();
    alGenEffects(1, &st.echo_effect);
    alEffecti(st.echo_effect, AL_EFFECT_TYPE, AL_EFFECT_ECHO);
    alGenEffects(1, &st.reverb_effect);
    alEffecti(st.reverb_effect, AL_EFFECT_TYPE, AL_EFFECT_EAXREVERB);
    if (alGetError() != AL_NO_ERROR) alEffecti(st.reverb_effect, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
    alGenAuxiliaryEffectSlots(1, &st.echo_slot);
    alGenAuxiliaryEffectSlots(1, &st.reverb_slot);
    st.efx = alGetError() == AL_NO_ERROR;
}

void sndl_effects_term(void) {
    SndlState &st = sndl_state();
    if (st.echo_slot) alDeleteAuxiliaryEffectSlots(1, &st.echo_slot);
    if (st.reverb_slot) alDeleteAuxiliaryEffectSlots(1, &st.reverb_slot);
    if (st.echo_effect) alDeleteEffects(1, &st.echo_effect);
    if (st.reverb_effect) alDeleteEffects(1, &st.reverb_effect);
    st.echo_slot = st.reverb_slot = st.echo_effect = st.reverb_effect = 0;
    st.efx = false;
}

void sndl_effects_detach(SndlBuffer *b) {
    if (b->dry_filter || b->send_filter) {
        alSourcei(b->al_source, AL_DIRECT_FILTER, AL_FILTER_NULL);
        alSource3i(b->al_source, AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, 0, AL_FILTER_NULL);
        if (b->dry_filter) alDeleteFilters(1, &b->dry_filter);
        if (b->send_filter) alDeleteFilters(1, &b->send_filter);
        b->dry_filter = b->send_filter = 0;
    }
    if (b->al_processed) {
        sndl_source_detach(b); // a paused source resumes from its position at the next play
        alSourcei(b->al_source, AL_BUFFER, (ALint)b->al_buffer);
        drop_compressed(b);
    }
    b->effect = SNDL_EFFECT_NONE;
}

void sndl_effects_refresh(SndlBuffer *b) {
    if (b->effect == SNDL_EFFECT_COMPRESSOR) build_compressed(b);
}

bool sndl_buffer_set_echo(SndlBuffer *b, const SndlEchoParams *p) {
    SndlState &st = sndl_state();
    Guard guard(st.lock);
    if (!p || !can_apply(b)) return false;
    if (!in_range(p->wet_dry_mix, 0, 100) || !in_range(p->feedback, 0, 100) ||
        !in_range(p->left_delay_ms, 1, 2000) || !in_range(p->right_delay_ms, 1, 2000) ||
        (p->pan_delay != 0 && p->pan_delay != 1))
        return false;
    sndl_effects_detach(b);
    // The first tap comes after the shorter delay, the second after the longer one; the spread
    // sends each tap to its own side.
    float first = std::min(p->left_delay_ms, p->right_delay_ms) / 1000.0f;
    float second = std::max(p->left_delay_ms, p->right_delay_ms) / 1000.0f;
    alEffectf(st.echo_effect, AL_ECHO_DELAY, clampf(first, 0.0f, AL_ECHO_MAX_DELAY));
    alEffectf(st.echo_effect, AL_ECHO_LRDELAY, clampf(second - first, 0.0f, AL_ECHO_MAX_LRDELAY));
    alEffectf(st.echo_effect, AL_ECHO_DAMPING, 0.0f);
    alEffectf(st.echo_effect, AL_ECHO_FEEDBACK, p->feedback / 100.0f);
    alEffectf(st.echo_effect, AL_ECHO_SPREAD, p->left_delay_ms <= p->right_delay_ms ? -1.0f : 1.0f);
    alAuxiliaryEffectSloti(st.echo_slot, AL_EFFECTSLOT_EFFECT, (ALint)st.echo_effect);
    if (!route(b, st.echo_slot, (100.0f - p->wet_dry_mix) / 100.0f, p->wet_dry_mix / 100.0f))
        return false;
    b->effect = SNDL_EFFECT_ECHO;
    return true;
}

bool sndl_buffer_set_i3dl2_reverb(SndlBuffer *b, uint32_t preset) {
    SndlState &st = sndl_state();
    Guard guard(st.lock);
    if (preset >= SNDL_I3DL2_PRESET_COUNT || !can_apply(b)) return false;
    sndl_effects_detach(b);
    set_reverb_params(st.reverb_effect, PRESETS[preset]);
    alAuxiliaryEffectSloti(st.reverb_slot, AL_EFFECTSLOT_EFFECT, (ALint)st.reverb_effect);
    // The environment's levels are relative to the direct sound, which passes unchanged.
    if (!route(b, st.reverb_slot, 1.0f, 1.0f)) return false;
    b->effect = SNDL_EFFECT_REVERB;
    return true;
}

bool sndl_buffer_set_compressor(SndlBuffer *b, const SndlCompressorParams *p) {
    Guard guard(sndl_state().lock);
    if (!p || !can_apply(b)) return false;
    if (!in_range(p->gain_db, -60, 60) || !in_range(p->attack_ms, 0.01f, 500) ||
        !in_range(p->release_ms, 50, 3000) || !in_range(p->threshold_db, -60, 0) ||
        !in_range(p->ratio, 1, 100) || !in_range(p->predelay_ms, 0, 4))
        return false;
    sndl_effects_detach(b);
    b->compressor = *p;
    sndl_source_detach(b); // let go of every mixer buffer before refilling one
    bool ok = build_compressed(b);
    if (!ok) drop_compressed(b);
    alSourcei(b->al_source, AL_BUFFER, (ALint)(ok ? b->al_processed : b->al_buffer));
    if (ok) b->effect = SNDL_EFFECT_COMPRESSOR;
    return ok;
}

bool sndl_buffer_clear_effects(SndlBuffer *b) {
    Guard guard(sndl_state().lock);
    if (!sndl_buffer_valid(b) || !(b->flags & SNDL_CTRL_FX)) return false;
    ALint state = AL_INITIAL;
    alGetSourcei(b->al_source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) return false;
    sndl_effects_detach(b);
    return true;
}

const SndlI3dl2Preset *sndl_i3dl2_preset(uint32_t index) {
    return index < SNDL_I3DL2_PRESET_COUNT ? &PRESETS[index] : nullptr;
}

void sndl_compress_samples(int16_t *samples, uint32_t frames, uint32_t channels, uint32_t rate,
                           const SndlCompressorParams *p) {
    if (!samples || !p || channels == 0 || rate == 0) return;
    float attack = std::exp(-1.0f / (std::max(p->attack_ms, 0.001f) * 0.001f * (float)rate));
    float release = std::exp(-1.0f / (std::max(p->release_ms, 0.001f) * 0.001f * (float)rate));
    float slope = 1.0f - 1.0f / std::max(p->ratio, 1.0f);
    uint32_t lookahead = (uint32_t)(std::max(p->predelay_ms, 0.0f) * 0.001f * (float)rate);
    float envelope = 0.0f;
    for (uint32_t f = 0; f < frames; ++f) {
        // The detector runs `lookahead` frames ahead of the samples it scales.
        uint32_t ahead = std::min(f + lookahead, frames - 1);
        float peak = 0.0f;
        for (uint32_t c = 0; c < channels; ++c)
            peak = std::max(peak, std::fabs((float)samples[ahead * channels + c]) / 32768.0f);
        float coefficient = peak > envelope ? attack : release;
        envelope = coefficient * envelope + (1.0f - coefficient) * peak;
        float level_db = 20.0f * std::log10(std::max(envelope, 1e-9f));
        float over = level_db - p->threshold_db;
        float reduction = over > 0.0f ? over * slope : 0.0f;
        float gain = std::pow(10.0f, (p->gain_db - reduction) / 20.0f);
        for (uint32_t c = 0; c < channels; ++c) {
            float v = (float)samples[f * channels + c] * gain;
            samples[f * channels + c] = (int16_t)std::lrint(clampf(v, -32768.0f, 32767.0f));
        }
    }
}
