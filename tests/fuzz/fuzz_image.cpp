#include "tests/fuzz/fuzz_image.h"
#include "tests/fuzz/fuzz_env.h"

#include <cstring>

int fuzz_image(FuzzImageDecoder decode, const uint8_t *data, size_t size) {
    Image img = {}; // as image_decode hands it to the decoders
    char err[256];
    if (!decode(data, size, &img, err, sizeof err)) {
        if (strnlen(err, sizeof err) == sizeof err) __builtin_trap();
        return 0;
    }
    if (img.width < 1 || img.height < 1 || img.levels < 1 || img.levels > IMAGE_MAX_LEVELS)
        __builtin_trap();
    for (int i = 0; i < img.levels; ++i) {
        if ((uint64_t)img.level_offset[i] + img.level_size[i] > img.size) __builtin_trap();
        fuzz_touch(img.data + img.level_offset[i], img.level_size[i]);
    }
    image_free(&img);
    return 0;
}
