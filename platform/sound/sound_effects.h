// Effects on sound buffers created with SNDL_CTRL_FX, applied while the buffer is stopped; one
// effect at a time (setting one removes the previous one). Echo and reverb run in the mixer's
// effect slots (one slot per kind, shared by every buffer); the compressor has no adjustable
// mixer counterpart and is run once over a copy of the buffer's samples.
#pragma once
#include <cstdint>

struct SndlBuffer;

struct SndlEchoParams {
    float wet_dry_mix;    // percent of the signal that goes through the echo, 0..100
    float feedback;       // percent, 0..100
    float left_delay_ms;  // 1..2000 (the mixer's echo stops at 207 ms)
    float right_delay_ms; // 1..2000
    int32_t pan_delay;    // 0 or 1: swap the delays on each repeat
};

struct SndlCompressorParams {
    float gain_db;      // output gain after compression, -60..60
    float attack_ms;    // 0.01..500
    float release_ms;   // 50..3000
    float threshold_db; // -60..0
    float ratio;        // 1..100
    float predelay_ms;  // 0..4
};

// One of the 30 I3DL2 environment presets (levels in mB, times in s, percentages).
struct SndlI3dl2Preset {
    int32_t room;
    int32_t room_hf;
    float room_rolloff_factor;
    float decay_time;
    float decay_hf_ratio;
    int32_t reflections;
    float reflections_delay;
    int32_t reverb;
    float reverb_delay;
    float diffusion;
    float density;
    float hf_reference;
};

constexpr uint32_t SNDL_I3DL2_PRESET_COUNT = 30;

// Each fails (false) and changes nothing for a buffer without SNDL_CTRL_FX, one that is playing,
// out-of-range parameters, or when the mixer has no effect support.
bool sndl_buffer_set_echo(SndlBuffer *buffer, const SndlEchoParams *params);
bool sndl_buffer_set_i3dl2_reverb(SndlBuffer *buffer, uint32_t preset);
bool sndl_buffer_set_compressor(SndlBuffer *buffer, const SndlCompressorParams *params);
bool sndl_buffer_clear_effects(SndlBuffer *buffer);

// The preset table, null for an index of 30 or more.
const SndlI3dl2Preset *sndl_i3dl2_preset(uint32_t index);

// The compressor's sample pass over interleaved 16-bit samples (also used on 8-bit data after
// widening): a peak follower with attack and release, gain reduction above the threshold by the
// ratio, then the output gain, saturated to the 16-bit range.
void sndl_compress_samples(int16_t *samples, uint32_t frames, uint32_t channels, uint32_t rate,
                           const SndlCompressorParams *params);
