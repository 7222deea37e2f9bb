#include "image_test_util.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

static void png_write_vec(png_structp png, png_bytep data, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> test_encode_png(const PngSpec &spec) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, png_write_vec, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bit_depth, spec.colour_type,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color pal[256];
    if (!spec.palette.empty()) {
        int n = int(spec.palette.size() / 3);
        for (int i = 0; i < n; ++i)
            pal[i] = {spec.palette[i * 3], spec.palette[i * 3 + 1], spec.palette[i * 3 + 2]};
        png_set_PLTE(png, info, pal, n);
    }
    if (!spec.trns.empty()) {
        if (spec.colour_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec.trns.data(), int(spec.trns.size()), nullptr);
        } else {
            png_color_16 key = {};
            key.gray = key.red = uint16_t(spec.trns[0] << 8 | spec.trns[1]);
            if (spec.trns.size() >= 6) {
                key.green = uint16_t(spec.trns[2] << 8 | spec.trns[3]);
                key.blue = uint16_t(spec.trns[4] << 8 | spec.trns[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    size_t stride = spec.rows.size() / size_t(spec.height);
    std::vector<png_bytep> rows(size_t(spec.height));
    for (int y = 0; y < spec.height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(spec.rows.data()) + stride * size_t(y);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> test_encode_jpeg(const uint8_t *pixels, int w, int h, int components,
                                      int quality, bool progressive) {
    jpeg_compress_struct c;
    jpeg_error_mgr jerr;
    c.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long mem_size = 0;
    jpeg_mem_dest(&c, &mem, &mem_size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + size_t(c.next_scanline) * w * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + mem_size);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

void test_pattern_pixel(int x, int y, uint8_t *rgba) {
    // Four flat quadrants so a lossy codec still has a clear value away from edges.
    bool right = x >= 50, bottom = y >= 30;
    static const uint8_t colours[4][4] = {
        {255, 0, 0, 255}, {0, 200, 0, 128}, {0, 0, 255, 64}, {250, 250, 250, 0}};
    memcpy(rgba, colours[(bottom ? 2 : 0) + (right ? 1 : 0)], 4);
}
