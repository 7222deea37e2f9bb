// The game's save file, read as the game scene reads it on entry.
#include "app/settings.h"
#include "game/game_scene.h"
#include "tests/fuzz/fuzz_env.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_enter_scratch();
    // The input as it is, then with its checksum made right, so the reading past the check runs
    // too.
    std::vector<uint8_t> file(data, data + size);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            if (size < 24) break;
            uint32_t crc = app_crc32(file.data(), 20);
            for (int i = 0; i < 4; ++i) file[20 + i] = (uint8_t)(crc >> (8 * i));
        }
        fuzz_write("sav.bin", file.data(), file.size());
        game_load_save();
        // Whatever the file, the open count stays within the entry table.
        if (game_get_open_count() > GAME_ENTRY_COUNT || game_get_open_count() < 0) __builtin_trap();
    }
    return 0;
}
