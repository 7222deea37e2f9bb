// Format detection, loading from files and the shared helpers of the decoders.
#include "platform/image/image.h"
#include "platform/image/image_internal.h"
#include "platform/sys/sys_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A file larger than this is not an image we can use.
static const long IMAGE_MAX_FILE = 512L << 20;

bool image_fail(char *err, size_t err_size, const char *fmt, ...) {
    if (err && err_size > 0) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(err, err_size, fmt, ap);
        va_end(ap);
    }
    return false;
}

bool image_size_ok(int64_t w, int64_t h) {
    return w >= 1 && h >= 1 && w <= IMAGE_MAX_SIDE && h <= IMAGE_MAX_SIDE &&
           uint64_t(w) * uint64_t(h) <= IMAGE_MAX_PIXELS;
}

bool image_alloc_rgba(Image *out, int32_t w, int32_t h) {
    if (!image_size_ok(w, h)) return false;
    size_t size = size_t(w) * size_t(h) * 4;
    uint8_t *data = static_cast<uint8_t *>(calloc(size, 1));
    if (!data) return false;
    memset(out, 0, sizeof(*out));
    out->width = w;
    out->height = h;
    out->kind = IMAGE_RGBA8;
    out->levels = 1;
    out->level_offset[0] = 0;
    out->level_size[0] = size;
    out->data = data;
    out->size = size;
    return true;
}

void image_free(Image *img) {
    if (!img) return;
    free(img->data);
    memset(img, 0, sizeof(*img));
}

bool image_decode(const void *bytes, size_t size, Image *out, char *err, size_t err_size) {
    if (!out) return image_fail(err, err_size, "no output image");
    memset(out, 0, sizeof(*out));
    if (err && err_size > 0) err[0] = 0;
    const uint8_t *b = static_cast<const uint8_t *>(bytes);
    if (!b || size == 0) return image_fail(err, err_size, "empty image data");

    bool ok;
    if (size >= 8 && memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0)
        ok = image_decode_png(b, size, out, err, err_size);
    else if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        ok = image_decode_jpeg(b, size, out, err, err_size);
    else if (size >= 2 && b[0] == 'B' && b[1] == 'M')
        ok = image_decode_bmp(b, size, out, err, err_size);
    else if (size >= 4 && memcmp(b, "DDS ", 4) == 0)
        ok = image_decode_dds(b, size, out, err, err_size);
    else
        ok = image_fail(err, err_size, "unknown image format");

    if (!ok) image_free(out);
    return ok;
}

bool image_load_file(const char *path, Image *out, char *err, size_t err_size) {
    if (!out) return image_fail(err, err_size, "no output image");
    memset(out, 0, sizeof(*out));
    if (!path) return image_fail(err, err_size, "no path");
    FILE *f = sys_fopen(path, "rb");
    if (!f) return image_fail(err, err_size, "cannot open %s", path);
    long len = -1;
    if (fseek(f, 0, SEEK_END) == 0) len = ftell(f);
    if (len < 0 || len > IMAGE_MAX_FILE || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return image_fail(err, err_size, "cannot size %s", path);
    }
    uint8_t *buf = static_cast<uint8_t *>(malloc(len > 0 ? size_t(len) : 1));
    if (!buf) {
        fclose(f);
        return image_fail(err, err_size, "out of memory reading %s", path);
    }
    size_t got = fread(buf, 1, size_t(len), f);
    fclose(f);
    bool ok = got == size_t(len) ? image_decode(buf, got, out, err, err_size)
                                 : image_fail(err, err_size, "cannot read %s", path);
    free(buf);
    return ok;
}
