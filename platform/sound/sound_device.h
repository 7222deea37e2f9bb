// The sound device: one output device with one context, the listener, and deferred settings.
// Positions and directions are given in the callers' left-handed coordinates (z into the screen);
// the layer turns them into the right-handed ones of the mixer by negating z.
#pragma once
#include <cstdint>

// Environment variable naming an output device to open instead of the default one.
#define SNDL_DEVICE_ENV "TAVOK_SOUND_DEVICE"

constexpr uint32_t SNDL_MIX_RATE = 44100;

// Opens the default output device, or the one named by TAVOK_SOUND_DEVICE when that is set and
// not empty, with a 44,100 Hz context. False when the device or the context cannot be made.
bool sndl_device_open(void);
// Opens a device that renders into memory (stereo float samples at 44,100 Hz), for tests.
bool sndl_device_open_loopback(void);
// Releases every buffer, the effects and the device.
void sndl_device_close(void);
bool sndl_device_is_open(void);
// Mixes `frames` stereo frames (interleaved left, right) from a loopback device into `out`.
bool sndl_loopback_render(float *out, uint32_t frames);

// Listener. Each setter fails (false) without a device. A deferred value is held in the layer
// and takes effect at sndl_commit_deferred.
bool sndl_listener_set_position(float x, float y, float z, bool deferred);
bool sndl_listener_set_velocity(float x, float y, float z, bool deferred);
bool sndl_listener_set_orientation(float front_x, float front_y, float front_z, float top_x,
                                   float top_y, float top_z, bool deferred);
bool sndl_listener_set_doppler_factor(float factor, bool deferred);
// Distance rolloff for every 3D buffer (the mixer has no global one: set on each 3D source).
bool sndl_listener_set_rolloff_factor(float factor, bool deferred);
void sndl_listener_get_position(float *x, float *y, float *z);
// Applies every deferred listener and buffer setting.
bool sndl_commit_deferred(void);

// Volume of the primary output in 1/100 dB (-10000..0): the listener's gain.
bool sndl_set_primary_volume(int32_t millibels);
int32_t sndl_get_primary_volume(void);
// Application master gain 0..1, folded into the listener gain (the system mixer is not touched).
void sndl_set_master_gain(float gain);

// 1/100 dB to an amplitude factor: 10^(mB / 2000); -10000 and below is silence.
float sndl_millibels_to_gain(int32_t millibels);
