// WAV files, parsed as the sound layer parses a file it has read.
#include "platform/sound/wave_file.h"
#include "tests/fuzz/fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    SndlWave wave;
    if (sndl_wave_parse(&wave, data, (uint32_t)size) != SNDL_WAVE_OK) return 0;
    // The sample data lies inside the file, in whole blocks of a playable format.
    if ((uint64_t)wave.data_offset + wave.data_bytes > wave.file_bytes) __builtin_trap();
    if (sndl_wave_is_playable(&wave.format) && wave.data_bytes % wave.format.block_align)
        __builtin_trap();
    fuzz_touch(wave.bytes + wave.data_offset, wave.data_bytes);
    sndl_wave_free(&wave);
    return 0;
}
