// The start-up configuration file, read as the program reads it at start-up.
#include "app/config.h"
#include "tests/fuzz/fuzz_env.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_enter_scratch();
    fuzz_write("TK01.CF", data, size);
    cfg_read("TK01.CF");
    // Every row is a whole text within its field.
    for (const ConfigEntry &row : cfg_get_config()->rows)
        if (strnlen(row.key, CFG_TEXT_SIZE) == CFG_TEXT_SIZE ||
            strnlen(row.value, CFG_TEXT_SIZE) == CFG_TEXT_SIZE)
            __builtin_trap();
    int32_t v;
    cfg_get_int("WINDOW", &v);
    cfg_get_int_or("REGION", 0);
    cfg_term();
    return 0;
}
