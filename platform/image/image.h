// Image decoding for textures: PNG, JPEG, BMP and DDS files into CPU pixels.
#pragma once

#include <cstddef>
#include <cstdint>

enum ImageKind : int32_t {
    IMAGE_RGBA8 = 0, // 4 bytes per pixel: R, G, B, A
    IMAGE_DXT1 = 1,  // compressed 4x4 blocks, kept as stored
    IMAGE_DXT3 = 2,  // DXT2 is stored and sampled as DXT3
    IMAGE_DXT5 = 3,  // DXT4 is stored and sampled as DXT5
};

enum { IMAGE_MAX_LEVELS = 16 };

// Decoded image, top row first. Uncompressed images always decode to RGBA8
// (grey, palette and RGB sources are expanded; alpha 255 where the file has none).
struct Image {
    int32_t width;
    int32_t height;
    ImageKind kind;
    bool has_alpha; // the file carries an alpha channel (decides A8R8G8B8 vs X8R8G8B8)
    int32_t levels; // 1, or the mip levels a DDS file stores
    size_t level_offset[IMAGE_MAX_LEVELS];
    size_t level_size[IMAGE_MAX_LEVELS];
    uint8_t *data; // all levels, owned; free with image_free
    size_t size;
};

// Decodes a whole file held in memory. Returns false and writes a short reason into err
// (when given) on any malformed, truncated or unsupported input; out is then empty.
bool image_decode(const void *bytes, size_t size, Image *out, char *err, size_t err_size);

// Reads a file (through sys_fopen) and decodes it.
bool image_load_file(const char *path, Image *out, char *err, size_t err_size);

void image_free(Image *img);

// Linear (bilinear) resampling of RGBA8 pixels, used to stretch an image over a
// power-of-two texture. Sample positions are pixel centres of the destination mapped
// onto the source, clamped at the edges.
void image_resize_rgba(const uint8_t *src, int32_t sw, int32_t sh, uint8_t *dst, int32_t dw,
                       int32_t dh);

// Half-size box filter of RGBA8 pixels for the next mip level (odd sizes round down, min 1).
void image_halve_rgba(const uint8_t *src, int32_t sw, int32_t sh, uint8_t *dst);

// Decompresses DXT1/3/5 blocks of one level into RGBA8 (for devices without S3TC).
bool image_decompress_dxt(ImageKind kind, const uint8_t *blocks, size_t size, int32_t w, int32_t h,
                          uint8_t *rgba);

// Smallest power of two >= v (v >= 1).
int32_t image_next_pow2(int32_t v);
