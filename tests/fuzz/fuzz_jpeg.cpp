// JPEG images through their decoder.
#include "platform/image/image_internal.h"
#include "tests/fuzz/fuzz_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return fuzz_image(image_decode_jpeg, data, size);
}
