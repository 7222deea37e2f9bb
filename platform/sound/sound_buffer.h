// Sound buffers: the whole PCM of one sound in one mixer buffer, played by one source.
// What may be changed is fixed by the creation flags; a call the flags do not allow fails and
// changes nothing.
#pragma once
#include <cstdint>

// Creation flags (the values of the capability bits the audio code passes through).
constexpr uint32_t SNDL_CTRL_3D = 0x10;
constexpr uint32_t SNDL_CTRL_FREQUENCY = 0x20;
constexpr uint32_t SNDL_CTRL_PAN = 0x40;
constexpr uint32_t SNDL_CTRL_VOLUME = 0x80;
constexpr uint32_t SNDL_CTRL_POSITION_NOTIFY = 0x100;
constexpr uint32_t SNDL_CTRL_FX = 0x200;
constexpr uint32_t SNDL_MUTE_3D_AT_MAX_DISTANCE = 0x20000;
constexpr uint32_t SNDL_LOC_DEFER = 0x40000;

// Status bits.
constexpr uint32_t SNDL_STATUS_PLAYING = 0x1;
constexpr uint32_t SNDL_STATUS_LOOPING = 0x4;

constexpr int32_t SNDL_VOLUME_MIN = -10000;
constexpr int32_t SNDL_VOLUME_MAX = 0;
constexpr uint32_t SNDL_FREQUENCY_MIN = 100;
constexpr uint32_t SNDL_FREQUENCY_MAX = 200000;
constexpr int32_t SNDL_PAN_LEFT = -10000;
constexpr int32_t SNDL_PAN_RIGHT = 10000;
constexpr float SNDL_DEFAULT_MIN_DISTANCE = 2.0f;
constexpr float SNDL_DEFAULT_MAX_DISTANCE = 100.0f;
constexpr int SNDL_MAX_BUFFERS = 64;

// PCM layout: 1 or 2 channels of 8-bit unsigned or 16-bit signed samples.
struct SndlFormat {
    uint16_t channels;
    uint16_t bits;
    uint32_t rate;
};

struct SndlBuffer;

// A buffer of `bytes` bytes of silence (rounded down to whole frames). Null without a device,
// for a format other than PCM 8/16-bit mono/stereo, for 3D with stereo data, 3D with pan, no
// bytes, or when the pool of SNDL_MAX_BUFFERS is full.
SndlBuffer *sndl_buffer_create(const SndlFormat *format, uint32_t bytes, uint32_t flags);
void sndl_buffer_release(SndlBuffer *buffer);
// Replaces the contents from the start with `bytes` bytes (at most the buffer's size); the
// buffer is stopped and rewound.
bool sndl_buffer_write(SndlBuffer *buffer, const void *data, uint32_t bytes);
uint32_t sndl_buffer_bytes(const SndlBuffer *buffer);
uint32_t sndl_buffer_flags(const SndlBuffer *buffer);
const SndlFormat *sndl_buffer_format(const SndlBuffer *buffer);

// Starts playing, once or looping. A buffer that is already playing is not restarted (only its
// looping flag changes); a stopped one resumes where it stopped; one that played to its end
// starts again from the beginning.
bool sndl_buffer_play(SndlBuffer *buffer, bool loop);
// Pauses: the position is kept for the next play.
bool sndl_buffer_stop(SndlBuffer *buffer);
// SNDL_STATUS_PLAYING, with SNDL_STATUS_LOOPING while looping; 0 when stopped.
uint32_t sndl_buffer_status(SndlBuffer *buffer);
// Play position in bytes, rounded down to whole frames.
bool sndl_buffer_get_position(SndlBuffer *buffer, uint32_t *bytes);
// A playing buffer goes on from there at once; any other starts there at its next play. Either
// way it sounds at its volume from the first frame, and a looping one loops the whole data.
bool sndl_buffer_set_position(SndlBuffer *buffer, uint32_t bytes);

// Volume in 1/100 dB: -10000 (silent) .. 0; other values fail and the old volume stays.
bool sndl_buffer_set_volume(SndlBuffer *buffer, int32_t millibels);
bool sndl_buffer_get_volume(SndlBuffer *buffer, int32_t *millibels);
// Playback rate in Hz (100..200,000; 0 restores the data's own rate): the pitch against it.
bool sndl_buffer_set_frequency(SndlBuffer *buffer, uint32_t hz);
bool sndl_buffer_get_frequency(SndlBuffer *buffer, uint32_t *hz);
// Pan -10000 (left only) .. 10000 (right only): the other side turned down by |pan| mB, this
// side kept at 0 dB. Unpanned, mono data sounds at 0 dB on both sides and each stereo channel at
// 0 dB on its own side.
bool sndl_buffer_set_pan(SndlBuffer *buffer, int32_t pan);
bool sndl_buffer_get_pan(SndlBuffer *buffer, int32_t *pan);

// 3D settings of buffers created with SNDL_CTRL_3D. Distances: inverse distance clamped between
// the minimum and maximum distance, rolled off by the listener's factor; with
// SNDL_MUTE_3D_AT_MAX_DISTANCE the buffer is silent while it is farther than the maximum.
bool sndl_buffer_set_3d_position(SndlBuffer *buffer, float x, float y, float z, bool deferred);
bool sndl_buffer_get_3d_position(SndlBuffer *buffer, float *x, float *y, float *z);
bool sndl_buffer_set_3d_velocity(SndlBuffer *buffer, float x, float y, float z, bool deferred);
bool sndl_buffer_set_min_distance(SndlBuffer *buffer, float distance, bool deferred);
bool sndl_buffer_set_max_distance(SndlBuffer *buffer, float distance, bool deferred);
