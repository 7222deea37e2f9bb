#include "test_images.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

static void png_write_vec(png_structp png, png_bytep data, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> test_encode_png(const PngSpec &spec) {
    if (spec.width <= 0 || spec.height <= 0 || spec.rows.empty()) return {};
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
        if (n > 256) n = 256;
        for (int i = 0; i < n; ++i)
            pal[i] = {spec.palette[i * 3], spec.palette[i * 3 + 1], spec.palette[i * 3 + 2]};
        png_set_PLTE(png, info, pal, n);
    }
    if (!spec.trns.empty()) {
        if (spec.colour_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec.trns.data(), int(spec.trns.size()), nullptr);
        } else if (spec.trns.size() >= 2) {
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

std::vector<uint8_t> test_encode_png_pixels(int w, int h, int components,
                                            const std::vector<uint8_t> &pixels) {
    static const int types[5] = {-1, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                 PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA};
    if (components < 1 || components > 4 || w <= 0 || h <= 0 ||
        pixels.size() < size_t(w) * size_t(h) * size_t(components))
        return {};
    PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colour_type = types[components];
    spec.rows.assign(pixels.begin(), pixels.begin() + size_t(w) * size_t(h) * size_t(components));
    return test_encode_png(spec);
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
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels + size_t(c.next_scanline) * size_t(w) * size_t(components));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + mem_size);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

int test_color_distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}
