#include "res_test_env.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"

bool res_test_device(void) {
    return test_render_device("resource test", 64, 64);
}

void res_test_start_pools(bool large_3d) {
    ResourcePoolSizes s = *res_default_sizes();
    if (large_3d) {
        for (ResourcePoolSize *p :
             {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
            *p = ResourcePoolSize{8, 1024, 65536};
        s.models = s.model_subsets = s.model_bones = 8;
        s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    }
    res_init(&s);
}

void res_test_write(const std::string &path, const std::string &text) {
    if (!test_write_file(path, text)) ADD_FAILURE() << "cannot write " << path;
}

void res_test_write(const std::string &path, const std::vector<uint8_t> &bytes) {
    if (!test_write_file(path, bytes)) ADD_FAILURE() << "cannot write " << path;
}

static std::vector<uint8_t> pattern_rgba(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x * 7);
            p[1] = static_cast<uint8_t>(y * 5);
            p[2] = static_cast<uint8_t>(x ^ y);
            p[3] = 255;
        }
    return rgba;
}

std::vector<uint8_t> res_test_pattern_png(int width, int height) {
    return test_encode_png_pixels(width, height, 4, pattern_rgba(width, height));
}

uint32_t res_test_pattern_argb(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(static_cast<uint8_t>(x * 7)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(y * 5)) << 8 | static_cast<uint8_t>(x ^ y);
}
