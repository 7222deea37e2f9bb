// RIFF/WAVE files, read whole and walked with every size checked against the bytes present.
#pragma once
#include <cstdint>

constexpr uint16_t SNDL_WAVE_FORMAT_PCM = 1;
constexpr uint16_t SNDL_WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr uint32_t SNDL_WAVE_MAX_FILE_BYTES = 256u << 20;
constexpr uint32_t SNDL_WAVE_MAX_EXTRA = 64;

// The "fmt " chunk: 16 bytes, and the extra-size word with its bytes when the chunk has 18 or
// more (a format without one has extra_size 0).
struct SndlWaveFormat {
    uint16_t format_tag;
    uint16_t channels;
    uint32_t samples_per_sec;
    uint32_t avg_bytes_per_sec;
    uint16_t block_align;
    uint16_t bits_per_sample;
    uint16_t extra_size; // bytes kept in `extra` (at most SNDL_WAVE_MAX_EXTRA)
    uint8_t extra[SNDL_WAVE_MAX_EXTRA];
};

// A read file: its bytes, its format, and where its sample data lies.
struct SndlWave {
    uint8_t *bytes; // the whole file
    uint32_t file_bytes;
    SndlWaveFormat format;
    uint32_t data_offset; // first byte of the "data" chunk's contents
    uint32_t data_bytes;  // the smaller of the declared size and the bytes present, whole blocks
};

enum SndlWaveResult : int32_t {
    SNDL_WAVE_OK = 0,
    SNDL_WAVE_CANNOT_OPEN = -1, // missing or unreadable file
    SNDL_WAVE_BAD_FILE = -2,    // not RIFF/WAVE, no usable "fmt " or "data" chunk
};

// Reads the file through sys_fopen. On success the caller owns `wave` until sndl_wave_free.
SndlWaveResult sndl_wave_read(SndlWave *wave, const char *path);
// The same over bytes in memory (copied).
SndlWaveResult sndl_wave_parse(SndlWave *wave, const uint8_t *bytes, uint32_t size);
void sndl_wave_free(SndlWave *wave);
// True for PCM (plain or extensible) with 8 or 16 bits in 1 or 2 channels and a consistent block.
bool sndl_wave_is_playable(const SndlWaveFormat *format);
