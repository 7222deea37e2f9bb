// JPEG decoding through libjpeg, from memory, to RGBA8.
#include "platform/image/image_internal.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 8];
    bool truncated;
};

void jpeg_on_error(j_common_ptr cinfo) {
    JpegError *e = reinterpret_cast<JpegError *>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    e->mgr.format_message(cinfo, text);
    snprintf(e->message, sizeof(e->message), "JPEG: %s", text);
    longjmp(e->jump, 1);
}

// Warnings are quiet, but running out of data is remembered: the library would
// otherwise pad a truncated file with grey and report success. Data runs out either at
// the end of the file or at a marker met before the scan has all its blocks (a header
// that claims more rows than the file holds, or a file cut and closed again).
void jpeg_on_message(j_common_ptr cinfo, int level) {
    JpegError *e = reinterpret_cast<JpegError *>(cinfo->err);
    if (level < 0 && (e->mgr.msg_code == JWRN_JPEG_EOF || e->mgr.msg_code == JWRN_HIT_MARKER))
        e->truncated = true;
}

// Each scan of a file with many costs a pass over its blocks; no real file needs more than
// a few dozen, and a repeated scan would otherwise keep the decoder busy for minutes.
enum { JPEG_MAX_SCANS = 100 };

void jpeg_on_progress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number <= JPEG_MAX_SCANS) return;
    JpegError *e = reinterpret_cast<JpegError *>(cinfo->err);
    snprintf(e->message, sizeof(e->message), "JPEG: more than %d scans", int(JPEG_MAX_SCANS));
    longjmp(e->jump, 1);
}

} // namespace

bool image_decode_jpeg(const uint8_t *bytes, size_t size, Image *out, char *err, size_t err_size) {
    jpeg_decompress_struct cinfo;
    JpegError jerr;
    memset(&cinfo, 0, sizeof(cinfo));
    memset(&jerr, 0, sizeof(jerr));
    cinfo.err = jpeg_std_error(&jerr.mgr);
    jerr.mgr.error_exit = jpeg_on_error;
    jerr.mgr.emit_message = jpeg_on_message;
    snprintf(jerr.message, sizeof(jerr.message), "JPEG: decoding failed");

    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        image_free(out);
        return image_fail(err, err_size, "%s", jerr.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_progress_mgr progress;
    memset(&progress, 0, sizeof(progress));
    progress.progress_monitor = jpeg_on_progress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || jerr.truncated) {
        snprintf(jerr.message, sizeof(jerr.message), "JPEG: truncated header");
        longjmp(jerr.jump, 1);
    }
    if (!image_size_ok(cinfo.image_width, cinfo.image_height)) {
        snprintf(jerr.message, sizeof(jerr.message), "JPEG: unsupported size %ux%u",
                 cinfo.image_width, cinfo.image_height);
        longjmp(jerr.jump, 1);
    }
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE && cinfo.jpeg_color_space != JCS_YCbCr &&
        cinfo.jpeg_color_space != JCS_RGB) {
        snprintf(jerr.message, sizeof(jerr.message), "JPEG: unsupported colour space");
        longjmp(jerr.jump, 1);
    }
    // Every block of a Huffman-coded file takes at least one bit, so the file bounds the
    // blocks it can hold: a header claiming more is refused before the pixels are allocated.
    if (!cinfo.arith_code) {
        uint64_t fewest = UINT64_MAX;
        for (int c = 0; c < cinfo.num_components; ++c) {
            const jpeg_component_info &comp = cinfo.comp_info[c];
            uint64_t blocks = uint64_t(comp.width_in_blocks) * uint64_t(comp.height_in_blocks);
            if (blocks < fewest) fewest = blocks;
        }
        if (fewest > uint64_t(size) * 8) {
            snprintf(jerr.message, sizeof(jerr.message), "JPEG: %ux%u is more than the data holds",
                     cinfo.image_width, cinfo.image_height);
            longjmp(jerr.jump, 1);
        }
    }
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4 ||
        !image_alloc_rgba(out, int32_t(cinfo.output_width), int32_t(cinfo.output_height))) {
        snprintf(jerr.message, sizeof(jerr.message), "JPEG: cannot decode to RGBA");
        longjmp(jerr.jump, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->data + size_t(cinfo.output_scanline) * out->width * 4;
        // Missing data is final: stop rather than decode the padding of a lying header.
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || jerr.truncated) break;
    }
    if (cinfo.output_scanline < cinfo.output_height || jerr.truncated) {
        snprintf(jerr.message, sizeof(jerr.message), "JPEG: truncated data");
        longjmp(jerr.jump, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (jerr.truncated) {
        image_free(out);
        return image_fail(err, err_size, "JPEG: truncated data");
    }
    out->has_alpha = false;
    return true;
}
