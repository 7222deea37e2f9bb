// DxSound: one sound loaded whole from a RIFF/WAVE file into a sound buffer of the platform
// layer, with volume on a 0..1 scale, pan, frequency, a 3D position and one optional effect.
#pragma once
#include <cstdint>
#include <mutex>
#include "math/math_types.h"
#include "platform/sound/sound_buffer.h"
#include "platform/sound/wave_file.h"

// Results: 0 success, negative failure.
using SndResult = int32_t;
constexpr SndResult SND_OK = 0;
constexpr SndResult SND_E_FAIL = (int32_t)0x80004005;
constexpr SndResult SND_E_OUTOFMEMORY = (int32_t)0x8007000E;

// Effect word: the top byte selects the effect, the low 24 bits are its parameter; bit 24 asks the
// sound manager for its default effect.
using SoundEffectCode = uint32_t;
constexpr SoundEffectCode SND_EFFECT_ECHO = 0x10000000;
constexpr SoundEffectCode SND_EFFECT_I3DL2_REVERB = 0x20000000;
constexpr SoundEffectCode SND_EFFECT_COMPRESSOR = 0x40000000;
constexpr SoundEffectCode SND_EFFECT_DEFAULT = 0x01000000;

// Buffer types.
constexpr uint32_t SND_TYPE_PLAIN = 0;
constexpr uint32_t SND_TYPE_3D = 1;
constexpr uint32_t SND_TYPE_PAN = 2;
constexpr uint32_t SND_TYPE_FREQUENCY = 3;

// Creation flags of every buffer, and what each type adds.
constexpr uint32_t SND_BUFFER_FLAGS =
    SNDL_LOC_DEFER | SNDL_CTRL_FX | SNDL_CTRL_POSITION_NOTIFY | SNDL_CTRL_VOLUME; // 0x40380
constexpr uint32_t SND_BUFFER_FLAGS_3D =
    SNDL_MUTE_3D_AT_MAX_DISTANCE | SNDL_CTRL_FREQUENCY | SNDL_CTRL_3D; // 0x20030

using SndWaveFormat = SndlWaveFormat;

class DxSound {
  public:
    DxSound();
    virtual ~DxSound();

    SndResult Load(const char *path, uint32_t type, float volume);
    SndResult CreateBuffer(const char *path, uint32_t type, float volume);
    SndResult OpenWave(const char *path);
    void Unload();
    SndResult Play(bool loop);
    void Stop();
    bool IsPlaying();
    void GetStatus(uint32_t *status);
    void GetFrequency(uint32_t *hz);
    void SetFrequency(uint32_t hz);
    void GetVolume(float *volume);
    void SetVolume(float volume);
    void SetPosition(float fraction);
    void SetPan(int32_t pan);
    // 1 when placed (or not a 3D buffer), 0 when the buffer refused the position.
    int32_t Set3DPosition(const Vec3 *position);
    SndResult RestoreIfLost();
    SndResult Fill();
    uint32_t GetBufferBytes();

    SndlBuffer *buffer; // null when unloaded
    bool has_3d;        // the buffer takes 3D settings (type 1)
    uint32_t keep;      // 0 lets snd_stop_effects stop this buffer
    uint32_t initial_frequency;
    uint32_t type;
    int32_t base_attenuation;   // 1/100 dB: -250 for types 0, 2, 3; 0 for type 1
    uint32_t effect_in_force;   // the SoundEffectCode last applied
    SndWaveFormat *wave_format; // heap copy of the "fmt " chunk
    SndlWave *file;             // the file, held between the load steps
    uint32_t buffer_bytes;
    // Serialises the main thread's and the worker's operations on this buffer.
    std::recursive_mutex guard;

  private:
    void ReleaseBuffer();
};

// truncate((1 - volume) x 6000): how far below its base a volume of 0..1 sets a buffer. Not a
// number counts as 0; the result stays within +-20000.
int32_t snd_volume_drop(float volume);
// Validates the file's header and gives a heap copy of its format (null on failure).
SndResult snd_wave_read_header(const SndlWave *wave, SndWaveFormat **out);
// Applies one effect to a stopped buffer; any code other than echo, reverb or compressor
// removes the effects. Failure when the buffer cannot take the effect.
SndResult snd_apply_effect(SndlBuffer *buffer, SoundEffectCode code);
