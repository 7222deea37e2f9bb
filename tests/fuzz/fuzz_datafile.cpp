// Tagged data files of every chunk kind, through the loader's steps as the program loads them,
// with the 3D pools enlarged so their creators run. The loader's fatal exit comes back here as
// an exception (the target is linked with the fatal exit wrapped) and the next input starts
// from a reset loader.
#include <cstdlib>

#include "resource/loader.h"
#include "resource/res_pools.h"
#include "tests/fuzz/fuzz_env.h"
#include "tests/resource/res_test_env.h"

struct FatalThrown {};

#define REAL_FATAL __real__Z14app_fatal_exittttPKc
#define WRAP_FATAL __wrap__Z14app_fatal_exittttPKc
extern "C" [[noreturn]] void REAL_FATAL(uint16_t, uint16_t, uint16_t, const char *);
extern "C" [[noreturn]] void WRAP_FATAL(uint16_t category, uint16_t code, uint16_t detail,
                                        const char *text) {
    if (category == 1) throw FatalThrown{};
    REAL_FATAL(category, code, detail, text);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static ResourceMark mark;
    static bool started = false;
    if (!started) {
        fuzz_enter_scratch();
        if (!res_test_device()) abort();
        res_test_start_pools(true);
        loader_init();
        res_mark(&mark);
        started = true;
    }
    fuzz_write("bin/fz.bin", data, size);
    if (!loader_enqueue("fz", (uint32_t)size & 3)) __builtin_trap();
    try {
        // A file of n bytes takes a bounded number of steps: more means a loop.
        int steps = 0;
        while (loader_step() == 1)
            if (++steps > 100000) __builtin_trap();
    } catch (const FatalThrown &) {
        loader_reset();
    }
    res_release_to_mark(&mark);
    res_mark(&mark);
    return 0;
}
