// Textures from image files (PNG, JPEG, BMP, DDS): the size is rounded up to powers of two and
// the image stretched over it (linear); the image's own size is reported beside it. Alpha in
// the file gives A8R8G8B8, none X8R8G8B8; DXT data stays compressed where the device samples
// it and power-of-two sizes allow, else it is decompressed first.
#include "platform/gpu/gpu_internal.h"
#include "platform/image/image.h"
#include "platform/sys/sys_file.h"

#include <cstdlib>
#include <cstring>
#include <vector>

static bool is_pow2(int32_t v) {
    return v > 0 && (v & (v - 1)) == 0;
}

static uint32_t dxt_format(ImageKind k) {
    return k == IMAGE_DXT1 ? GPU_FMT_DXT1 : k == IMAGE_DXT3 ? GPU_FMT_DXT3 : GPU_FMT_DXT5;
}

static uint32_t chain_length(int32_t w, int32_t h) {
    uint32_t n = 1;
    int32_t m = w > h ? w : h;
    while (m > 1) m >>= 1, n++;
    return n;
}

static GpuTexture *from_compressed(const Image &img, uint32_t mip_levels) {
    uint32_t levels = mip_levels == 1 ? 1 : (uint32_t)img.levels;
    GpuTexture *t = gpu_texture_create((uint32_t)img.width, (uint32_t)img.height, levels, 0,
                                       dxt_format(img.kind), GPU_POOL_MANAGED);
    if (!t) return nullptr;
    for (uint32_t l = 0; l < t->levels; l++) {
        uint32_t w = (uint32_t)img.width >> l, h = (uint32_t)img.height >> l;
        if (!w) w = 1;
        if (!h) h = 1;
        uint32_t need = gpu_format_level_bytes(t->info, w, h);
        if (img.level_size[l] < need) {
            gpu_texture_release(t);
            return nullptr;
        }
        glCompressedTextureSubImage2D(t->tex, (GLint)l, 0, 0, (GLsizei)w, (GLsizei)h,
                                      t->info->internal, (GLsizei)need,
                                      img.data + img.level_offset[l]);
    }
    return t;
}

// Work buffers reused from one texture to the next (device calls all come from the thread
// that owns the context): 0 and 1 take turns holding levels, 2 a decompressed DXT image, 3
// the bytes of a file. Fresh buffers per texture cost a page fault per page, a cost of the
// order of the upload itself; buffers past SCRATCH_KEEP bytes are let go after each texture.
enum { SCRATCH_LEVEL = 0, SCRATCH_DXT = 2, SCRATCH_FILE = 3, SCRATCH_COUNT = 4 };
static const size_t SCRATCH_KEEP = (size_t)4 << 20;
static std::vector<uint8_t> s_scratch[SCRATCH_COUNT];

static uint8_t *scratch(int slot, size_t bytes) {
    std::vector<uint8_t> &b = s_scratch[slot];
    if (b.size() < bytes) b.resize(bytes);
    return b.data();
}

static void trim_scratch(void) {
    for (std::vector<uint8_t> &b : s_scratch)
        if (b.size() > SCRATCH_KEEP) std::vector<uint8_t>().swap(b);
}

void gpu_texture_image_shutdown(void) {
    for (std::vector<uint8_t> &b : s_scratch) std::vector<uint8_t>().swap(b);
}

// RGBA8 pixels (top row first) stretched to the power-of-two size, with a box-filtered chain.
// A power-of-two image is uploaded from the caller's pixels as it stands.
static GpuTexture *from_rgba(const uint8_t *rgba, int32_t w, int32_t h, bool alpha,
                             uint32_t mip_levels) {
    int32_t max = (int32_t)g_gpu.caps.max_texture_size;
    int32_t tw = image_next_pow2(w), th = image_next_pow2(h);
    if (tw > max) tw = max;
    if (th > max) th = max;
    uint32_t levels = mip_levels == 1 ? 1 : chain_length(tw, th);
    // Every level is uploaded below: no need to zero them first.
    GpuTexture *t = gpu_texture_create_storage((uint32_t)tw, (uint32_t)th, levels, 0,
                                               alpha ? GPU_FMT_A8R8G8B8 : GPU_FMT_X8R8G8B8,
                                               GPU_POOL_MANAGED, false);
    if (!t) return nullptr;
    const uint8_t *cur = rgba;
    int slot = SCRATCH_LEVEL;
    if (tw != w || th != h) {
        uint8_t *stretched = scratch(slot, (size_t)tw * th * 4);
        image_resize_rgba(rgba, w, h, stretched, tw, th);
        cur = stretched;
        slot ^= 1;
    }
    int32_t lw = tw, lh = th;
    for (uint32_t l = 0; l < levels; l++) {
        glTextureSubImage2D(t->tex, (GLint)l, 0, 0, lw, lh, GL_RGBA, GL_UNSIGNED_BYTE, cur);
        if (l + 1 == levels) break;
        int32_t nw = lw > 1 ? lw / 2 : 1, nh = lh > 1 ? lh / 2 : 1;
        uint8_t *next = scratch(slot, (size_t)nw * nh * 4); // never the buffer `cur` is in
        image_halve_rgba(cur, lw, lh, next);
        cur = next;
        slot ^= 1;
        lw = nw, lh = nh;
    }
    return t;
}

GpuTexture *gpu_texture_create_from_memory(const void *data, size_t size, uint32_t mip_levels,
                                           GpuImageInfo *info) {
    if (!g_gpu.created || !data || size == 0) return nullptr;
    Image img;
    std::memset(&img, 0, sizeof(img));
    if (!image_decode(data, size, &img, nullptr, 0)) return nullptr;
    GpuTexture *t = nullptr;
    uint32_t format;
    if (img.kind == IMAGE_RGBA8) {
        format = img.has_alpha ? GPU_FMT_A8R8G8B8 : GPU_FMT_X8R8G8B8;
        if ((size_t)img.width * img.height * 4 <= img.size)
            t = from_rgba(img.data, img.width, img.height, img.has_alpha, mip_levels);
    } else if (g_gpu.caps.compressed_textures && is_pow2(img.width) && is_pow2(img.height)) {
        format = dxt_format(img.kind);
        t = from_compressed(img, mip_levels);
    } else {
        format = GPU_FMT_A8R8G8B8;
        uint8_t *rgba = scratch(SCRATCH_DXT, (size_t)img.width * img.height * 4);
        if (image_decompress_dxt(img.kind, img.data + img.level_offset[0], img.level_size[0],
                                 img.width, img.height, rgba))
            t = from_rgba(rgba, img.width, img.height, true, mip_levels);
    }
    if (t && info) {
        info->width = (uint32_t)img.width;
        info->height = (uint32_t)img.height;
        info->format = format;
        info->mip_levels = t->levels;
    }
    image_free(&img);
    trim_scratch();
    return t;
}

GpuTexture *gpu_texture_create_from_file(const char *path, uint32_t mip_levels,
                                         GpuImageInfo *info) {
    if (!g_gpu.created || !path) return nullptr;
    FILE *f = sys_fopen(path, "rb");
    if (!f) return nullptr;
    // Sized once from the file's length (one byte more, so the end shows without a second
    // buffer); grown only if the file is longer than it said.
    long len = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) len = std::ftell(f);
    bool ok = std::fseek(f, 0, SEEK_SET) == 0;
    size_t want = len > 0 ? (size_t)len + 1 : 65536, n = 0;
    std::vector<uint8_t> &buf = s_scratch[SCRATCH_FILE];
    while (ok) {
        if (buf.size() < want) buf.resize(want);
        n += std::fread(buf.data() + n, 1, buf.size() - n, f);
        if (n < buf.size()) break;
        want = buf.size() * 2;
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    if (!ok || n == 0) {
        trim_scratch();
        return nullptr;
    }
    return gpu_texture_create_from_memory(buf.data(), n, mip_levels, info);
}
