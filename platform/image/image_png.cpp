// PNG decoding through libpng, from memory, to RGBA8.
#include "platform/image/image_internal.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct PngReader {
    const uint8_t *bytes;
    size_t size;
    size_t pos;
    char message[128];
    png_bytep *rows; // freed on every path out
};

void png_read_mem(png_structp png, png_bytep dst, png_size_t n) {
    PngReader *r = static_cast<PngReader *>(png_get_io_ptr(png));
    if (n > r->size - r->pos) png_error(png, "truncated PNG data");
    memcpy(dst, r->bytes + r->pos, n);
    r->pos += n;
}

void png_on_error(png_structp png, png_const_charp msg) {
    PngReader *r = static_cast<PngReader *>(png_get_error_ptr(png));
    snprintf(r->message, sizeof(r->message), "PNG: %s", msg);
    png_longjmp(png, 1);
}

void png_on_warning(png_structp, png_const_charp) {}

} // namespace

bool image_decode_png(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size) {
    PngReader reader = {bytes, size, 0, "PNG: decoding failed", nullptr};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, png_on_error, png_on_warning);
    if (!png) return image_fail(err, err_size, "PNG: out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return image_fail(err, err_size, "PNG: out of memory");
    }
    // Nothing with a destructor lives between here and the reads: errors jump back.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        free(reader.rows);
        image_free(out);
        return image_fail(err, err_size, "%s", reader.message);
    }
    png_set_read_fn(png, &reader, png_read_mem);
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_read_info(png, info);

    png_uint_32 w = png_get_image_width(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    int colour = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (!image_size_ok(w, h)) {
        snprintf(reader.message, sizeof(reader.message), "PNG: unsupported size %ux%u", w, h);
        png_longjmp(png, 1);
    }
    // Deflate packs at most 1032 bytes into one, so the file bounds the pixel data it can
    // hold: a header claiming more is refused before the pixels are allocated.
    uint64_t pixel_bits = uint64_t(png_get_channels(png, info)) * uint64_t(depth);
    if (uint64_t(w) * h * pixel_bits / 8 > uint64_t(size) * 1032) {
        snprintf(reader.message, sizeof(reader.message), "PNG: %ux%u is more than the data holds",
                 w, h);
        png_longjmp(png, 1);
    }

    // Everything becomes 8-bit RGBA: palettes and low grey depths expand, tRNS
    // becomes alpha, 16-bit samples scale down, a missing alpha is filled with 255.
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) {
        snprintf(reader.message, sizeof(reader.message), "PNG: unexpected row layout");
        png_longjmp(png, 1);
    }

    if (!image_alloc_rgba(out, int32_t(w), int32_t(h))) {
        snprintf(reader.message, sizeof(reader.message), "PNG: out of memory");
        png_longjmp(png, 1);
    }
    out->has_alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || trns;
    reader.rows = static_cast<png_bytep *>(malloc(sizeof(png_bytep) * h));
    if (!reader.rows) {
        snprintf(reader.message, sizeof(reader.message), "PNG: out of memory");
        png_longjmp(png, 1);
    }
    for (png_uint_32 y = 0; y < h; ++y) reader.rows[y] = out->data + size_t(y) * w * 4;
    png_read_image(png, reader.rows);
    png_read_end(png, nullptr);

    png_destroy_read_struct(&png, &info, nullptr);
    free(reader.rows);
    return true;
}
