// DDS reading: DXT1-5 kept as blocks with their mip levels, uncompressed pixels
// described by channel masks expanded to RGBA8.
#include "platform/image/image_internal.h"

#include <cstdlib>
#include <cstring>

namespace {

enum : uint32_t {
    DDS_HEADER_END = 128, // magic (4) + header (124)
    DDSD_MIPMAPCOUNT = 0x20000,
    DDPF_ALPHAPIXELS = 0x1,
    DDPF_ALPHA = 0x2,
    DDPF_FOURCC = 0x4,
    DDPF_RGB = 0x40,
    DDPF_LUMINANCE = 0x20000,
    DDSCAPS2_CUBEMAP = 0x200,
    DDSCAPS2_VOLUME = 0x200000,
};

constexpr uint32_t fourcc(const char *s) {
    return uint32_t(uint8_t(s[0])) | (uint32_t(uint8_t(s[1])) << 8) |
           (uint32_t(uint8_t(s[2])) << 16) | (uint32_t(uint8_t(s[3])) << 24);
}

struct DdsChannel {
    uint32_t mask;
    int shift;
    uint32_t max;
};

DdsChannel dds_channel(uint32_t mask) {
    DdsChannel c = {mask, 0, 0};
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    c.max = mask >> c.shift; // contiguous or not, the top value scales to 255
    return c;
}

uint8_t dds_value(uint32_t px, const DdsChannel &c) {
    if (!c.max) return 0;
    uint32_t v = (px & c.mask) >> c.shift;
    return uint8_t((uint64_t(v) * 255 + c.max / 2) / c.max);
}

int32_t dds_half(int32_t v) {
    return v > 1 ? v / 2 : 1;
}

} // namespace

bool image_decode_dds(const uint8_t *b, size_t size, Image *out, char *err, size_t err_size) {
    if (size < DDS_HEADER_END) return image_fail(err, err_size, "DDS: truncated header");
    if (image_rd32(b + 4) != 124 || image_rd32(b + 76) != 32)
        return image_fail(err, err_size, "DDS: bad header size");
    uint32_t flags = image_rd32(b + 8);
    uint32_t h = image_rd32(b + 12), w = image_rd32(b + 16);
    uint32_t mips = image_rd32(b + 28);
    uint32_t pf_flags = image_rd32(b + 80), code = image_rd32(b + 84), bits = image_rd32(b + 88);
    uint32_t caps2 = image_rd32(b + 112);
    if (!image_size_ok(w, h)) return image_fail(err, err_size, "DDS: unsupported size %ux%u", w, h);
    if (caps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME))
        return image_fail(err, err_size, "DDS: cube and volume textures are not supported");

    // Levels stored: never more than the chain down to 1 x 1 holds.
    int32_t chain = 1;
    for (uint32_t m = w > h ? w : h; m > 1; m >>= 1) ++chain;
    int32_t levels = (flags & DDSD_MIPMAPCOUNT) && mips > 0 ? int32_t(mips > 32 ? 32 : mips) : 1;
    if (levels > chain) levels = chain;
    if (levels > IMAGE_MAX_LEVELS) levels = IMAGE_MAX_LEVELS;

    memset(out, 0, sizeof(*out));
    out->width = int32_t(w);
    out->height = int32_t(h);
    out->levels = levels;

    if (pf_flags & DDPF_FOURCC) {
        size_t block;
        if (code == fourcc("DXT1")) {
            out->kind = IMAGE_DXT1, block = 8;
        } else if (code == fourcc("DXT2") || code == fourcc("DXT3")) {
            out->kind = IMAGE_DXT3, block = 16;
        } else if (code == fourcc("DXT4") || code == fourcc("DXT5")) {
            out->kind = IMAGE_DXT5, block = 16;
        } else {
            return image_fail(err, err_size, "DDS: unsupported pixel code 0x%08x", code);
        }
        // Block data is kept as it stands: every level must be present in full.
        size_t total = 0;
        int32_t lw = out->width, lh = out->height;
        for (int32_t i = 0; i < levels; ++i) {
            out->level_offset[i] = total;
            out->level_size[i] = size_t((lw + 3) / 4) * size_t((lh + 3) / 4) * block;
            total += out->level_size[i];
            lw = dds_half(lw), lh = dds_half(lh);
        }
        if (total > size - DDS_HEADER_END) return image_fail(err, err_size, "DDS: truncated data");
        out->data = static_cast<uint8_t *>(malloc(total));
        if (!out->data) return image_fail(err, err_size, "DDS: out of memory");
        memcpy(out->data, b + DDS_HEADER_END, total);
        out->size = total;
        out->has_alpha = true; // DXT1 blocks may punch through, DXT3/5 carry alpha
        return true;
    }

    if (!(pf_flags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA)))
        return image_fail(err, err_size, "DDS: unsupported pixel format");
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return image_fail(err, err_size, "DDS: unsupported pixel size %u", bits);
    uint32_t limit = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    uint32_t rm = image_rd32(b + 92), gm = image_rd32(b + 96), bm = image_rd32(b + 100);
    uint32_t am = (pf_flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) ? image_rd32(b + 104) : 0;
    if ((rm | gm | bm | am) & ~limit) return image_fail(err, err_size, "DDS: masks exceed pixels");
    if (!(pf_flags & DDPF_ALPHA) && !(rm | gm | bm))
        return image_fail(err, err_size, "DDS: no colour masks");
    DdsChannel r = dds_channel(rm), g = dds_channel(gm), bl = dds_channel(bm), a = dds_channel(am);
    bool luminance = (pf_flags & DDPF_LUMINANCE) && !(pf_flags & DDPF_RGB);
    bool alpha_only = (pf_flags & DDPF_ALPHA) && !(pf_flags & (DDPF_RGB | DDPF_LUMINANCE));

    uint32_t bytes_pp = bits / 8;
    size_t in_total = 0, out_total = 0;
    int32_t lw = out->width, lh = out->height;
    for (int32_t i = 0; i < levels; ++i) {
        in_total += size_t(lw) * size_t(lh) * bytes_pp;
        out->level_offset[i] = out_total;
        out->level_size[i] = size_t(lw) * size_t(lh) * 4;
        out_total += out->level_size[i];
        lw = dds_half(lw), lh = dds_half(lh);
    }
    if (in_total > size - DDS_HEADER_END) return image_fail(err, err_size, "DDS: truncated data");
    out->data = static_cast<uint8_t *>(malloc(out_total));
    if (!out->data) return image_fail(err, err_size, "DDS: out of memory");
    out->size = out_total;
    out->has_alpha = a.max != 0;

    const uint8_t *src = b + DDS_HEADER_END;
    uint8_t *dst = out->data;
    size_t count = out_total / 4;
    for (size_t i = 0; i < count; ++i, src += bytes_pp, dst += 4) {
        uint32_t px = 0;
        for (uint32_t k = 0; k < bytes_pp; ++k) px |= uint32_t(src[k]) << (8 * k);
        if (alpha_only) {
            dst[0] = dst[1] = dst[2] = 0; // an alpha-only texture samples black
        } else if (luminance) {
            dst[0] = dst[1] = dst[2] = dds_value(px, r);
        } else {
            dst[0] = dds_value(px, r);
            dst[1] = dds_value(px, g);
            dst[2] = dds_value(px, bl);
        }
        dst[3] = a.max ? dds_value(px, a) : 255;
    }
    return true;
}
