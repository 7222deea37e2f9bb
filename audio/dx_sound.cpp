#include "audio/dx_sound.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "audio/sound_manager.h"
#include "platform/sound/sound_effects.h"

namespace {
constexpr float VOLUME_RANGE = 6000.0f;
constexpr float LAST_POSITION = 0.99f;
constexpr float DROP_LIMIT = 20000.0f; // beyond the whole range either way
} // namespace

int32_t snd_volume_drop(float volume) {
    float drop = (1.0f - volume) * VOLUME_RANGE;
    // Not a number counts as silence; far-out values are bounded so the conversion stays defined.
    if (!(drop <= DROP_LIMIT)) drop = DROP_LIMIT;
    if (drop < -DROP_LIMIT) drop = -DROP_LIMIT;
    return (int32_t)drop;
}

DxSound::DxSound()
    : buffer(nullptr), has_3d(false), keep(0), initial_frequency(0), type(SND_TYPE_PLAIN),
      base_attenuation(0), effect_in_force(0), wave_format(nullptr), file(nullptr),
      buffer_bytes(0) {}

DxSound::~DxSound() {
    Unload();
}

void DxSound::ReleaseBuffer() {
    if (buffer) {
        sndl_buffer_stop(buffer);
        sndl_buffer_set_position(buffer, 0);
        sndl_buffer_release(buffer);
    }
    buffer = nullptr;
    has_3d = false;
}

void DxSound::Unload() {
    std::lock_guard<std::recursive_mutex> lock(guard);
    ReleaseBuffer();
    std::free(wave_format);
    wave_format = nullptr;
    if (file) {
        sndl_wave_free(file);
        delete file;
        file = nullptr;
    }
}

SndResult snd_wave_read_header(const SndlWave *wave, SndWaveFormat **out) {
    if (!out) return SND_E_FAIL;
    *out = nullptr;
    if (!wave || !wave->bytes) return SND_E_FAIL;
    SndWaveFormat *copy = (SndWaveFormat *)std::malloc(sizeof(SndWaveFormat));
    if (!copy) return SND_E_OUTOFMEMORY;
    *copy = wave->format;
    if (copy->format_tag == SNDL_WAVE_FORMAT_PCM) copy->extra_size = 0;
    *out = copy;
    return SND_OK;
}

SndResult DxSound::OpenWave(const char *path) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    std::free(wave_format);
    wave_format = nullptr;
    if (file) {
        sndl_wave_free(file);
        delete file;
    }
    file = new SndlWave;
    if (sndl_wave_read(file, path) != SNDL_WAVE_OK ||
        snd_wave_read_header(file, &wave_format) != SND_OK) {
        sndl_wave_free(file);
        delete file;
        file = nullptr;
        return SND_E_FAIL;
    }
    return SND_OK;
}

SndResult DxSound::CreateBuffer(const char *path, uint32_t new_type, float volume) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    ReleaseBuffer();
    if (OpenWave(path) != SND_OK) {
        snd_set_error_file(SND_ERROR_FILE_MISSING, path);
        return SND_E_FAIL;
    }
    uint32_t flags = SND_BUFFER_FLAGS;
    if (new_type == SND_TYPE_3D) flags |= SND_BUFFER_FLAGS_3D;
    if (new_type == SND_TYPE_PAN) flags |= SNDL_CTRL_PAN;
    if (new_type == SND_TYPE_FREQUENCY) flags |= SNDL_CTRL_FREQUENCY;
    // Only PCM that the layer can hold gets a buffer (3D buffers take mono data only).
    if (sndl_wave_is_playable(wave_format)) {
        SndlFormat format{wave_format->channels, wave_format->bits_per_sample,
                          wave_format->samples_per_sec};
        buffer = sndl_buffer_create(&format, file->data_bytes, flags);
    }
    if (!buffer) {
        snd_set_error_file(SND_ERROR_BUFFER, path);
        return SND_E_FAIL;
    }
    buffer_bytes = sndl_buffer_bytes(buffer);
    effect_in_force = 0;
    type = new_type;
    int32_t a = snd_volume_drop(volume);
    if (type != SND_TYPE_3D) {
        base_attenuation = -250;
        sndl_buffer_set_volume(buffer, -250 - a);
    } else {
        base_attenuation = 0;
        sndl_buffer_set_volume(buffer, -a);
        has_3d = true;
        sndl_buffer_set_3d_velocity(buffer, 0, 0, 0, false);
        sndl_buffer_set_3d_position(buffer, 0, 0, 0, false);
        sndl_buffer_set_max_distance(buffer, SNDL_DEFAULT_MAX_DISTANCE, false);
        sndl_buffer_set_min_distance(buffer, SNDL_DEFAULT_MIN_DISTANCE, false);
    }
    return SND_OK;
}

SndResult DxSound::Fill() {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer || !file || !file->bytes) return SND_E_FAIL;
    // The samples come from this load's own copy of the file.
    uint32_t bytes = file->data_bytes < buffer_bytes ? file->data_bytes : buffer_bytes;
    if (!sndl_buffer_write(buffer, file->bytes + file->data_offset, bytes)) return SND_E_FAIL;
    return SND_OK;
}

SndResult DxSound::Load(const char *path, uint32_t new_type, float volume) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    SndResult r = CreateBuffer(path, new_type, volume);
    if (r == SND_OK) {
        r = Fill();
        if (r != SND_OK) snd_set_error(SND_ERROR_BUFFER);
    }
    if (file) {
        sndl_wave_free(file);
        delete file;
        file = nullptr;
    }
    return r;
}

SndResult DxSound::Play(bool loop) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer) return SND_E_FAIL;
    SndResult r = RestoreIfLost();
    if (r != SND_OK) return r;
    return sndl_buffer_play(buffer, loop) ? SND_OK : SND_E_FAIL;
}

void DxSound::Stop() {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (buffer && (sndl_buffer_status(buffer) & SNDL_STATUS_PLAYING)) sndl_buffer_stop(buffer);
}

bool DxSound::IsPlaying() {
    uint32_t status = 0;
    GetStatus(&status);
    return (status & SNDL_STATUS_PLAYING) != 0;
}

void DxSound::GetStatus(uint32_t *status) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (buffer && status) *status = sndl_buffer_status(buffer);
}

void DxSound::GetFrequency(uint32_t *hz) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (buffer && hz) sndl_buffer_get_frequency(buffer, hz);
}

void DxSound::SetFrequency(uint32_t hz) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer) return;
    if (hz < SNDL_FREQUENCY_MIN) hz = SNDL_FREQUENCY_MIN;
    if (hz > SNDL_FREQUENCY_MAX) hz = SNDL_FREQUENCY_MAX;
    sndl_buffer_set_frequency(buffer, hz);
}

void DxSound::GetVolume(float *volume) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    int32_t attenuation = 0;
    if (!buffer || !volume || !sndl_buffer_get_volume(buffer, &attenuation)) return;
    float v =
        1.0f - (float)(attenuation - base_attenuation) / (-VOLUME_RANGE - (float)base_attenuation);
    // A base of -6000 leaves no range (0 / 0): that reads as silence.
    *volume = v > 1.0f ? 1.0f : v > 0.0f ? v : 0.0f;
}

void DxSound::SetVolume(float volume) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer) return;
    int32_t attenuation = base_attenuation - snd_volume_drop(volume);
    // A base near silence must still reach silence rather than be refused.
    if (attenuation < SNDL_VOLUME_MIN) attenuation = SNDL_VOLUME_MIN;
    sndl_buffer_set_volume(buffer, attenuation);
}

void DxSound::SetPosition(float fraction) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer) return;
    if (!(fraction >= 0.0f)) fraction = 0.0f; // also not a number
    if (fraction >= LAST_POSITION) fraction = LAST_POSITION;
    sndl_buffer_set_position(buffer, (uint32_t)((float)buffer_bytes * fraction));
}

void DxSound::SetPan(int32_t pan) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (!buffer) return;
    if (pan < SNDL_PAN_LEFT) pan = SNDL_PAN_LEFT;
    if (pan > SNDL_PAN_RIGHT) pan = SNDL_PAN_RIGHT;
    sndl_buffer_set_pan(buffer, pan);
}

int32_t DxSound::Set3DPosition(const Vec3 *position) {
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (type != SND_TYPE_3D) return 1;
    if (!buffer || !has_3d) return 0;
    Vec3 p;
    if (position) {
        p = *position;
    } else {
        // Two units in front of camera 0.
        Vec3 eye;
        EulerAngles angles;
        snd_camera_pose(&eye, &angles);
        p.x = eye.x + 2.0f * std::sin(-angles.y);
        p.y = eye.y;
        p.z = eye.z - 2.0f * std::cos(-angles.y);
    }
    return sndl_buffer_set_3d_position(buffer, p.x, p.y, p.z, true) ? 1 : 0;
}

SndResult DxSound::RestoreIfLost() {
    // The layer's buffers keep their samples for as long as they exist: nothing is ever lost.
    return SND_OK;
}

uint32_t DxSound::GetBufferBytes() {
    return buffer_bytes;
}

SndResult snd_apply_effect(SndlBuffer *buffer, SoundEffectCode code) {
    uint32_t p = code & 0x00FFFFFF;
    bool ok = false;
    switch (code >> 24) {
        case SND_EFFECT_ECHO >> 24: {
            SndlEchoParams echo{(float)(p <= 100 ? p : 0), 50.0f, 200.0f, 200.0f, 0};
            ok = sndl_buffer_set_echo(buffer, &echo);
            break;
        }
        case SND_EFFECT_I3DL2_REVERB >> 24:
            // The mixer's reverb has no quality setting to try.
            ok = sndl_buffer_set_i3dl2_reverb(buffer, p < SNDL_I3DL2_PRESET_COUNT ? p : 0);
            break;
        case SND_EFFECT_COMPRESSOR >> 24: {
            SndlCompressorParams c{25.0f, 0.1f, 150.0f, -(float)(p <= 60 ? p : 0), 100.0f, 0.0f};
            ok = sndl_buffer_set_compressor(buffer, &c);
            break;
        }
        default:
            ok = sndl_buffer_clear_effects(buffer);
            break;
    }
    return ok ? SND_OK : SND_E_FAIL;
}
