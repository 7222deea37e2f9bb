// Shared helpers of the image decoders (not part of the public interface).
#pragma once

#include "platform/image/image.h"

#include <cstddef>
#include <cstdint>

// Largest accepted side and pixel count: keeps a lying header from asking for
// gigabytes before the pixel data is found missing.
enum { IMAGE_MAX_SIDE = 16384 };
constexpr uint64_t IMAGE_MAX_PIXELS = uint64_t(1) << 26;

// Writes a printf-style reason into err (when given) and returns false.
bool image_fail(char *err, size_t err_size, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));

// True when w x h is a size the decoders accept.
bool image_size_ok(int64_t w, int64_t h);

// Allocates an RGBA8 single-level image of w x h in out (pixels zeroed).
bool image_alloc_rgba(Image *out, int32_t w, int32_t h);

bool image_decode_png(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size);
bool image_decode_jpeg(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size);
bool image_decode_bmp(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size);
bool image_decode_dds(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size);

inline uint16_t image_rd16(const uint8_t *p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t image_rd32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
