// Shared by the fuzz targets. Each target defines LLVMFuzzerTestOneInput and is linked either
// with libFuzzer (scripts/fuzz.sh) or with fuzz_replay.cpp, which feeds it every input of its
// corpus once (the suite's regression run).
#pragma once
#include <cstddef>
#include <cstdint>

// Moves into a fresh scratch folder (with a "bin" folder in it) on the first call; the folder
// goes when the process ends. Readers that take a path read the input from a file there.
void fuzz_enter_scratch(void);

// Writes the input as a whole file in the scratch folder; aborts when it cannot.
void fuzz_write(const char *path, const uint8_t *data, size_t size);

// Reads every byte of a result, so the sanitizer sees a result that points outside its block.
uint32_t fuzz_touch(const void *data, size_t size);
