#include "tests/fuzz/fuzz_env.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/test_files.h"

void fuzz_enter_scratch(void) {
    static bool entered = false;
    if (entered) return;
    std::string dir = test_temp_folder("fuzz");
    if (dir.empty() || chdir(dir.c_str()) != 0 || mkdir("bin", 0755) != 0) {
        fprintf(stderr, "fuzz: no scratch folder\n");
        abort();
    }
    entered = true;
}

void fuzz_write(const char *path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (!f || (size && fwrite(data, 1, size, f) != size) || fclose(f) != 0) {
        fprintf(stderr, "fuzz: cannot write %s\n", path);
        abort();
    }
}

uint32_t fuzz_touch(const void *data, size_t size) {
    const volatile uint8_t *p = static_cast<const volatile uint8_t *>(data);
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum += p[i];
    return sum;
}
