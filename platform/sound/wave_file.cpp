#include "platform/sound/wave_file.h"
#include <cstdlib>
#include <cstring>
#include "platform/sys/sys_file.h"

namespace {
// Sub-format of extensible PCM: 00000001-0000-0010-8000-00AA00389B71.
const uint8_t PCM_SUBFORMAT[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t read_u16(const uint8_t *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
uint32_t read_u32(const uint8_t *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

bool read_format(SndlWaveFormat *f, const uint8_t *p, uint32_t size) {
    if (size < 16) return false;
    std::memset(f, 0, sizeof(*f));
    f->format_tag = read_u16(p);
    f->channels = read_u16(p + 2);
    f->samples_per_sec = read_u32(p + 4);
    f->avg_bytes_per_sec = read_u32(p + 8);
    f->block_align = read_u16(p + 12);
    f->bits_per_sample = read_u16(p + 14);
    // The extra-size word exists only in a chunk of 18 bytes or more; its bytes must be there.
    if (size >= 18 && f->format_tag != SNDL_WAVE_FORMAT_PCM) {
        uint16_t extra = read_u16(p + 16);
        if (extra > size - 18) return false;
        f->extra_size = extra < SNDL_WAVE_MAX_EXTRA ? extra : (uint16_t)SNDL_WAVE_MAX_EXTRA;
        std::memcpy(f->extra, p + 18, f->extra_size);
    }
    return true;
}

SndlWaveResult walk(SndlWave *w) {
    const uint8_t *b = w->bytes;
    uint32_t n = w->file_bytes;
    if (n < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return SNDL_WAVE_BAD_FILE;
    // The RIFF size bounds the chunks, unless it claims more than the file holds.
    uint64_t end = 8 + (uint64_t)read_u32(b + 4);
    if (end > n) end = n;
    bool have_format = false, have_data = false;
    uint64_t pos = 12;
    while (pos + 8 <= end && !(have_format && have_data)) {
        const uint8_t *id = b + pos;
        uint64_t declared = read_u32(b + pos + 4);
        uint64_t body = pos + 8;
        uint64_t present = end - body < declared ? end - body : declared;
        if (!have_format && std::memcmp(id, "fmt ", 4) == 0) {
            if (present < declared || !read_format(&w->format, b + body, (uint32_t)present))
                return SNDL_WAVE_BAD_FILE;
            have_format = true;
        } else if (!have_data && std::memcmp(id, "data", 4) == 0) {
            w->data_offset = (uint32_t)body;
            w->data_bytes = (uint32_t)present;
            have_data = true;
        }
        pos = body + declared + (declared & 1); // chunks are padded to even sizes
    }
    if (!have_format || !have_data) return SNDL_WAVE_BAD_FILE;
    uint32_t block = w->format.block_align;
    if (block) w->data_bytes -= w->data_bytes % block;
    return SNDL_WAVE_OK;
}
} // namespace

SndlWaveResult sndl_wave_parse(SndlWave *wave, const uint8_t *bytes, uint32_t size) {
    if (!wave) return SNDL_WAVE_BAD_FILE;
    std::memset(wave, 0, sizeof(*wave));
    if (!bytes || size == 0 || size > SNDL_WAVE_MAX_FILE_BYTES) return SNDL_WAVE_BAD_FILE;
    wave->bytes = (uint8_t *)std::malloc(size);
    if (!wave->bytes) return SNDL_WAVE_BAD_FILE;
    std::memcpy(wave->bytes, bytes, size);
    wave->file_bytes = size;
    SndlWaveResult r = walk(wave);
    if (r != SNDL_WAVE_OK) sndl_wave_free(wave);
    return r;
}

SndlWaveResult sndl_wave_read(SndlWave *wave, const char *path) {
    if (!wave) return SNDL_WAVE_BAD_FILE;
    std::memset(wave, 0, sizeof(*wave));
    FILE *f = path ? sys_fopen(path, "rb") : nullptr;
    if (!f) return SNDL_WAVE_CANNOT_OPEN;
    SndlWaveResult r = SNDL_WAVE_BAD_FILE;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size > 0 && (unsigned long)size <= SNDL_WAVE_MAX_FILE_BYTES &&
        std::fseek(f, 0, SEEK_SET) == 0) {
        wave->bytes = (uint8_t *)std::malloc((size_t)size);
        if (wave->bytes) {
            wave->file_bytes = (uint32_t)std::fread(wave->bytes, 1, (size_t)size, f);
            r = walk(wave);
        }
    }
    std::fclose(f);
    if (r != SNDL_WAVE_OK) sndl_wave_free(wave);
    return r;
}

void sndl_wave_free(SndlWave *wave) {
    if (!wave) return;
    std::free(wave->bytes);
    std::memset(wave, 0, sizeof(*wave));
}

bool sndl_wave_is_playable(const SndlWaveFormat *f) {
    if (!f) return false;
    if (f->format_tag == SNDL_WAVE_FORMAT_EXTENSIBLE) {
        // Valid bits, channel mask, then the sub-format.
        if (f->extra_size < 22 || std::memcmp(f->extra + 6, PCM_SUBFORMAT, 16) != 0) return false;
    } else if (f->format_tag != SNDL_WAVE_FORMAT_PCM) {
        return false;
    }
    if (f->channels != 1 && f->channels != 2) return false;
    if (f->bits_per_sample != 8 && f->bits_per_sample != 16) return false;
    if (f->samples_per_sec < 100 || f->samples_per_sec > 200000) return false;
    return f->block_align == f->channels * f->bits_per_sample / 8;
}
