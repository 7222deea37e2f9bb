// The settings store's files: the input is generation 0's settings file with a matching checksum
// file, so the text reader runs on it, then the program's own key table is applied and saved.
#include "app/settings.h"
#include "tests/fuzz/fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_enter_scratch();
    fuzz_write("fz0.CFG", data, size);
    uint32_t crc = app_crc32(data, (uint32_t)size);
    const uint8_t crc_bytes[4] = {(uint8_t)crc, (uint8_t)(crc >> 8), (uint8_t)(crc >> 16),
                                  (uint8_t)(crc >> 24)};
    fuzz_write("fz0.CRC", crc_bytes, 4);
    settings_load_files("fz", settings_get_region_table(), settings_get_region_row_count());
    settings_free_all();
    return 0;
}
