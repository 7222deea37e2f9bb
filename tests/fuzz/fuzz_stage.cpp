// A stage map, read as the chase reads it.
#include "game/stage_map.h"
#include "tests/fuzz/fuzz_env.h"

static StageMap g_map;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_enter_scratch();
    fuzz_write("stg.txt", data, size);
    stage_read_file(&g_map, "stg.txt");
    if (g_map.columns < 0 || g_map.columns > STAGE_MAX_COLUMNS || g_map.rows < 0 ||
        g_map.rows > STAGE_MAX_ROWS)
        __builtin_trap();
    return 0;
}
