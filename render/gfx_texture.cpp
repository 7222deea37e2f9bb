#include "render/gfx_texture.h"

#include <cstring>

#include "render/gfx_device.h"
#include "render/gfx_state.h"

#include "resource/res_pools.h"

static GfxResourceBlock s_block;

static constexpr int32_t UNKNOWN = -1;
static constexpr uint32_t MIP_NONE = 0;

// ---------------------------------------------------------------------------------------------
// Helpers

static bool size_fits_u16(int32_t width, int32_t height) {
    return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF;
}

// Fills size, format and bits from level 0 of the texture held by h.
static void fill_from_level0(TextureHandle *h) {
    GpuSurfaceDesc desc = {};
    if (!gpu_texture_get_desc(h->texture, 0, &desc)) return;
    h->width = (uint16_t)desc.width;
    h->height = (uint16_t)desc.height;
    h->format = (uint8_t)(desc.format & 0xFF);
    h->bits_per_pixel = (uint8_t)gfx_format_bits(desc.format);
}

static void sampler_stage_unknown(SamplerCacheStage &s) {
    s.address_u = s.address_v = s.filter = s.mip = UNKNOWN;
}

// A handle whose texture goes away must not stay "bound" in the cache: the same record may
// later hold a new texture, which would then never be sent.
// The stage gets what an unbound stage holds (stage 0 the default texture), as the cache says.
static void forget_bound(const TextureHandle *h) {
    for (uint32_t stage = 0; stage < GFX_SAMPLER_STAGES; ++stage) {
        SamplerCacheStage &s = s_block.samplers[stage];
        if (s.bound == h) {
            sampler_stage_unknown(s);
            s.bound = nullptr;
            gpu_set_texture(stage, stage == 0 ? s_block.default_texture.texture : nullptr);
        }
    }
}

// Bytes per texel of the formats the row writer copies; 0 for the others.
static int32_t row_bytes_per_pixel(uint8_t format) {
    switch (format) {
        case GPU_FMT_R8G8B8:
            return 3;
        case GPU_FMT_A8R8G8B8:
        case GPU_FMT_X8R8G8B8:
        case GPU_FMT_R32F:
            return 4;
        case GPU_FMT_R5G6B5:
        case GPU_FMT_X1R5G5B5:
        case GPU_FMT_A1R5G5B5:
        case GPU_FMT_A4R4G4B4:
        case GPU_FMT_A8L8:
            return 2;
        case GPU_FMT_A8:
        case GPU_FMT_L8:
            return 1;
        default:
            return 0;
    }
}

// The rectangle lies inside the texture (no negative corner, nothing past right or bottom).
static bool rect_fits(const TextureHandle *h, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x < 0 || y < 0 || width < 0 || height < 0) return false;
    return (int64_t)x + width <= h->width && (int64_t)y + height <= h->height;
}

static uint32_t read_le32(const uint8_t *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
static uint16_t read_le16(const uint8_t *p) {
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

// ---------------------------------------------------------------------------------------------
// Resource block

void gfx_init_resources(void) {
    memset(&s_block, 0, sizeof(s_block));
    for (SamplerCacheStage &s : s_block.samplers) sampler_stage_unknown(s);
    for (int q = 0; q < GFX_QUAD_COUNT; ++q) {
        uint16_t *i = &s_block.quad_indices[q * 6];
        const uint16_t b = (uint16_t)(q * 4);
        i[0] = b;
        i[1] = (uint16_t)(b + 1);
        i[2] = (uint16_t)(b + 2);
        i[3] = (uint16_t)(b + 3);
        i[4] = (uint16_t)(b + 2);
        i[5] = (uint16_t)(b + 1);
    }
    for (ScreenVertex &v : s_block.screen_vertices) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    gpu_set_quad_index_list(s_block.quad_indices, GFX_QUAD_COUNT);
    gfx_save_default_targets();
    if (tex_create(&s_block.default_texture, GPU_FMT_A8R8G8B8, 1, 1)) {
        const uint32_t white = 0xFFFFFFFFu;
        tex_write_rows(&s_block.default_texture, 0, 0, 1, 1, &white);
    }
    // An unbound stage 0 holds the default texture: the cache starts as "nothing bound", and
    // shaders sample stage 0 whether or not a texture was given.
    gpu_set_texture(0, s_block.default_texture.texture);
    gfx_bind_target(0, 0);
    gfx_bind_target(1, 0);
    gfx_bind_depth(&s_block.saved_depth);
}

void gfx_release_resources(void) {
    gfx_release_saved_targets();
    tex_release(&s_block.default_texture);
}

// The back buffer is owned by the device: releasing the saved handle only forgets it.
void gfx_release_saved_targets(void) {
    memset(&s_block.saved_back_buffer, 0, sizeof(s_block.saved_back_buffer));
    memset(&s_block.saved_depth, 0, sizeof(s_block.saved_depth));
}

void gfx_save_default_targets(void) {
    SurfaceHandle &bb = s_block.saved_back_buffer;
    memset(&bb, 0, sizeof(bb));
    bb.surface = gpu_get_back_buffer();
    GpuSurfaceDesc desc = {};
    if (bb.surface && gpu_surface_get_desc(bb.surface, &desc)) {
        bb.width = (uint16_t)desc.width;
        bb.height = (uint16_t)desc.height;
        bb.format = desc.format;
        bb.bits_per_pixel = (uint8_t)gfx_format_bits(desc.format);
    }
    // The device is made without a depth surface of its own, so there is none to keep.
    memset(&s_block.saved_depth, 0, sizeof(s_block.saved_depth));
}

// ---------------------------------------------------------------------------------------------
// Texture creation and release

bool tex_create(TextureHandle *h, uint32_t format, int32_t width, int32_t height) {
    if (!h) return false;
    memset(h, 0, sizeof(*h));
    if (width == 0 || height == 0) return true; // an empty handle
    if (!size_fits_u16(width, height)) return false;
    h->texture =
        gpu_texture_create((uint32_t)width, (uint32_t)height, 1, 0, format, GPU_POOL_MANAGED);
    if (!h->texture) return false;
    fill_from_level0(h);
    h->flags = 0;
    h->kind = TEX_KIND_TEXTURE;
    return true;
}

bool tex_create_target(TextureHandle *h, uint32_t format, int32_t width, int32_t height) {
    if (!h) return false;
    memset(h, 0, sizeof(*h));
    if (!size_fits_u16(width, height)) return false;
    h->texture = gpu_texture_create((uint32_t)width, (uint32_t)height, 1, GPU_USAGE_RENDER_TARGET,
                                    format, GPU_POOL_DEFAULT);
    if (!h->texture) return false;
    h->surface = gpu_texture_get_surface(h->texture);
    fill_from_level0(h);
    h->flags = (uint8_t)((1 << TEX_ADDRESS_U_SHIFT) | (1 << TEX_ADDRESS_V_SHIFT)); // clamp
    h->kind = TEX_KIND_TARGET;
    return true;
}

static bool finish_image_texture(TextureHandle *h, const GpuImageInfo &info, bool mipmap) {
    if (!h->texture) {
        memset(h, 0, sizeof(*h));
        return false;
    }
    fill_from_level0(h);
    h->image_width = (uint16_t)info.width;
    h->image_height = (uint16_t)info.height;
    h->flags = mipmap ? TEX_FLAG_MIPMAP : 0;
    h->kind = TEX_KIND_TEXTURE;
    return true;
}

bool tex_create_from_memory(TextureHandle *h, const void *data, size_t size, bool mipmap) {
    if (!h) return false;
    memset(h, 0, sizeof(*h));
    if (!data || size == 0) return false;
    GpuImageInfo info = {};
    h->texture = gpu_texture_create_from_memory(data, size, mipmap ? 0 : 1, &info);
    return finish_image_texture(h, info, mipmap);
}

bool tex_create_from_file(TextureHandle *h, const char *path, bool mipmap) {
    if (!h) return false;
    memset(h, 0, sizeof(*h));
    if (!path) return false;
    GpuImageInfo info = {};
    h->texture = gpu_texture_create_from_file(path, mipmap ? 0 : 1, &info);
    return finish_image_texture(h, info, mipmap);
}

void tex_release(TextureHandle *h) {
    if (!h) return;
    forget_bound(h);
    if (h->texture) gpu_texture_release(h->texture); // the level-0 surface goes with it
    memset(h, 0, sizeof(*h));
}

void tex_release_target_on_lost(TextureHandle *h) {
    if (!h || h->kind != TEX_KIND_TARGET) return;
    forget_bound(h);
    if (h->texture) gpu_texture_release(h->texture);
    h->texture = nullptr;
    h->surface = nullptr;
}

void tex_recreate_target(TextureHandle *h) {
    if (!h || h->kind != TEX_KIND_TARGET) return;
    if (h->width == 0 || h->height == 0) return;
    const TextureHandle kept = *h;
    tex_create_target(h, kept.format, kept.width, kept.height);
    h->image_width = kept.image_width;
    h->image_height = kept.image_height;
    h->bits_per_pixel = kept.bits_per_pixel;
    h->flags = kept.flags;
    h->format = kept.format;
    h->kind = kept.kind;
    if (!h->texture) { // keep the size so the next reset tries again
        h->width = kept.width;
        h->height = kept.height;
    }
}

// ---------------------------------------------------------------------------------------------
// Pixels

bool tex_write_rows(TextureHandle *h, int32_t x, int32_t y, int32_t width, int32_t height,
                    const void *pixels) {
    if (!h || !h->texture || !pixels || !rect_fits(h, x, y, width, height)) return false;
    const int32_t bpp = row_bytes_per_pixel(h->format);
    if (bpp == 0) return false; // a format the writer cannot fill
    if (width == 0 || height == 0) return true;
    const uint8_t *src = (const uint8_t *)pixels;
    const size_t row_bytes = (size_t)width * (size_t)bpp;
    int32_t written = 0;
    for (int32_t r = 0; r < height; ++r) {
        const GpuRect rect = {x, y + r, x + width, y + r + 1};
        GpuLockedRect locked = {};
        if (!gpu_texture_lock(h->texture, 0, &rect, &locked) || !locked.bits) continue;
        memcpy(locked.bits, src + (size_t)r * row_bytes, row_bytes);
        gpu_texture_unlock(h->texture, 0);
        ++written;
    }
    return written > 0;
}

bool tex_blit_rgb(TextureHandle *h, int32_t x, int32_t y, int32_t width, int32_t height,
                  const void *pixels, int32_t bytes_per_pixel) {
    if (!h || !h->texture || !pixels || !rect_fits(h, x, y, width, height)) return false;
    if (h->format != GPU_FMT_A8R8G8B8 && h->format != GPU_FMT_X8R8G8B8) return false;
    if (bytes_per_pixel != 3 && bytes_per_pixel != 4) return false; // nothing would be written
    if (width == 0 || height == 0) return true;
    const GpuRect rect = {x, y, x + width, y + height};
    GpuLockedRect locked = {};
    if (!gpu_texture_lock(h->texture, 0, &rect, &locked) || !locked.bits) return false;
    const uint8_t *src = (const uint8_t *)pixels;
    uint8_t *dst_row = (uint8_t *)locked.bits;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t *s = src + (size_t)r * (size_t)width * (size_t)bytes_per_pixel;
        uint8_t *d = dst_row + (ptrdiff_t)r * locked.pitch;
        for (int32_t c = 0; c < width; ++c) {
            uint32_t texel;
            if (bytes_per_pixel == 3) {
                const uint8_t *p = s + c * 3; // blue, green, red
                texel = 0xFF000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
            } else {
                texel = read_le32(s + c * 4) - 0x01000000u; // alpha - 1, modulo 256
            }
            memcpy(d + c * 4, &texel, 4);
        }
    }
    gpu_texture_unlock(h->texture, 0);
    return true;
}

uint32_t tex_read_pixel(TextureHandle *h, int32_t x, int32_t y) {
    if (!h || !h->texture || h->width == 0 || h->height == 0) return 0;
    if (x < 0) x = 0;
    if (x >= h->width) x = h->width - 1;
    if (y < 0) y = 0;
    if (y >= h->height) y = h->height - 1;
    const GpuRect rect = {x, y, x + 1, y + 1};
    GpuLockedRect locked = {};
    if (!gpu_texture_lock(h->texture, 0, &rect, &locked) || !locked.bits) return 0;
    const uint8_t *p = (const uint8_t *)locked.bits;
    uint32_t argb = 0;
    switch (h->format) {
        case GPU_FMT_R8G8B8:
            argb = 0xFF000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
            break;
        case GPU_FMT_A8R8G8B8:
        case GPU_FMT_X8R8G8B8:
            argb = read_le32(p);
            break;
        case GPU_FMT_R5G6B5: {
            const uint32_t v = read_le16(p);
            argb =
                ((v >> 11) & 0x1F) << 19 | ((v >> 5) & 0x3F) << 10 | (v & 0x1F) << 3 | 0xFF000000u;
            break;
        }
        case GPU_FMT_X1R5G5B5:
        case GPU_FMT_A1R5G5B5: {
            const uint32_t v = read_le16(p);
            argb = ((v >> 10) & 0x1F) << 19 | ((v >> 5) & 0x1F) << 11 | (v & 0x1F) << 3 |
                   ((v & 0x8000) ? 0x80000000u : 0u);
            break;
        }
        case GPU_FMT_A4R4G4B4: {
            const uint32_t v = read_le16(p);
            argb = ((v >> 12) & 0xF) << 28 | ((v >> 8) & 0xF) << 20 | ((v >> 4) & 0xF) << 12 |
                   (v & 0xF) << 4;
            break;
        }
        case GPU_FMT_A8:
            argb = (uint32_t)p[0] << 24 | 0xFFFFFFu;
            break;
        case GPU_FMT_L8:
            argb = 0xFF000000u | (uint32_t)p[0] * 0x010101u;
            break;
        case GPU_FMT_A8L8:
            argb = (uint32_t)p[1] << 24 | (uint32_t)p[0] * 0x010101u;
            break;
        default:
            argb = 0;
            break;
    }
    gpu_texture_unlock(h->texture, 0);
    return argb;
}

// ---------------------------------------------------------------------------------------------
// Binding

void tex_bind(GfxDevice *device, uint32_t stage, const TextureHandle *h, int32_t filter) {
    if (!device || stage >= GFX_SAMPLER_STAGES) return;
    SamplerCacheStage &c = s_block.samplers[stage];
    // The colour target being drawn into cannot be read by the same draw: the default white
    // texture stands in for it (a view's layers may show the view's own picture).
    if (h && h->surface && h->surface == s_block.current_target.surface)
        h = &s_block.default_texture;
    if (h && h->texture) {
        const int32_t au = (h->flags >> TEX_ADDRESS_U_SHIFT) & 7;
        const int32_t av = (h->flags >> TEX_ADDRESS_V_SHIFT) & 7;
        const int32_t mip = h->flags & TEX_FLAG_MIPMAP;
        if (c.address_u != au) {
            c.address_u = au;
            gpu_set_sampler_state(stage, GPU_SAMP_ADDRESSU, gfx_address_mode_code(au));
        }
        if (c.address_v != av) {
            c.address_v = av;
            gpu_set_sampler_state(stage, GPU_SAMP_ADDRESSV, gfx_address_mode_code(av));
        }
        if (c.filter != filter) {
            c.filter = filter;
            const uint32_t code = gfx_filter_code(filter);
            gpu_set_sampler_state(stage, GPU_SAMP_MAGFILTER, code);
            gpu_set_sampler_state(stage, GPU_SAMP_MINFILTER, code);
        }
        if (c.mip != mip) {
            c.mip = mip;
            gpu_set_sampler_state(stage, GPU_SAMP_MIPFILTER,
                                  mip ? gfx_filter_code(filter) : MIP_NONE);
        }
        if (c.bound != h) {
            c.bound = h;
            gpu_set_texture(stage, h->texture);
        }
        return;
    }
    sampler_stage_unknown(c);
    if (c.bound != h) {
        gpu_set_sampler_state(stage, GPU_SAMP_MIPFILTER, MIP_NONE);
        gpu_set_texture(stage, stage == 0 ? s_block.default_texture.texture : nullptr);
        c.bound = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Depth surfaces

bool gfx_create_surface(SurfaceHandle *h, uint32_t format, int32_t width, int32_t height) {
    if (!h) return false;
    memset(h, 0, sizeof(*h));
    if (!size_fits_u16(width, height)) return false;
    h->surface = gpu_depth_surface_create((uint32_t)width, (uint32_t)height, format);
    if (!h->surface) return false;
    h->width = (uint16_t)width;
    h->height = (uint16_t)height;
    h->format = format;
    h->bits_per_pixel = (uint8_t)gfx_format_bits(format);
    return true;
}

void gfx_release_surface(SurfaceHandle *h) {
    if (!h) return;
    if (h->surface) gpu_surface_release(h->surface);
    memset(h, 0, sizeof(*h));
}

void gfx_release_surface_on_lost(SurfaceHandle *h) {
    if (!h) return;
    if (h->surface) gpu_surface_release(h->surface);
    h->surface = nullptr;
}

void gfx_recreate_surface(SurfaceHandle *h) {
    if (!h || h->width == 0 || h->height == 0) return;
    h->surface = gpu_depth_surface_create(h->width, h->height, h->format);
}

// ---------------------------------------------------------------------------------------------
// Render targets

void tex_set_render_targets(uint32_t target0, uint32_t target1, const SurfaceHandle *depth) {
    gfx_bind_target(0, target0);
    gfx_bind_target(1, target1);
    gfx_bind_depth(depth);
}

void gfx_bind_target(uint32_t index, uint32_t texture_handle) {
    if (index >= gfx_get_render_target_count()) return;
    const TextureHandle *t = texture_handle ? res_get_texture(texture_handle) : nullptr;
    if (t && t->surface) {
        gpu_set_render_target(index, t->surface);
    } else if (index == 0) {
        GpuSurface *bb = s_block.saved_back_buffer.surface;
        gpu_set_render_target(0, bb ? bb : gpu_get_back_buffer());
    } else {
        gpu_set_render_target(index, nullptr);
    }
    if (index != 0) return;
    // The record describes what is bound: a texture without a surface leaves the back buffer.
    if (t && t->surface) {
        s_block.current_target.surface = t->surface;
        s_block.current_target.width = t->width;
        s_block.current_target.height = t->height;
    } else {
        s_block.current_target = s_block.saved_back_buffer;
    }
}

void gfx_bind_depth(const SurfaceHandle *depth) {
    gpu_set_depth_surface(depth ? depth->surface : nullptr);
    s_block.current_depth = depth;
}

// ---------------------------------------------------------------------------------------------
// Counts and accessors

int32_t gfx_vertex_count(uint32_t primitive_type, int32_t primitive_count) {
    switch (primitive_type) {
        case GPU_PT_LINELIST:
            return primitive_count * 2;
        case GPU_PT_LINESTRIP:
            return primitive_count + 1;
        case GPU_PT_TRIANGLELIST:
            return primitive_count * 3;
        case GPU_PT_TRIANGLESTRIP:
        case GPU_PT_TRIANGLEFAN:
            return primitive_count + 2;
        default:
            return primitive_count;
    }
}

ScreenVertex *gfx_text_vertices(void) {
    return s_block.screen_vertices;
}
uint16_t *gfx_quad_indices(void) {
    return s_block.quad_indices;
}
uint8_t *gfx_prim_vertices(void) {
    return s_block.prim_scratch;
}
SurfaceHandle *gfx_saved_back_buffer(void) {
    return &s_block.saved_back_buffer;
}
SurfaceHandle *gfx_saved_depth(void) {
    return &s_block.saved_depth;
}
SurfaceHandle *gfx_current_target(void) {
    return &s_block.current_target;
}
const SurfaceHandle *gfx_current_depth(void) {
    return s_block.current_depth;
}
int32_t gfx_target_width(void) {
    return s_block.current_target.width;
}
int32_t gfx_target_height(void) {
    return s_block.current_target.height;
}
const TextureHandle *gfx_default_texture(void) {
    return &s_block.default_texture;
}
const SamplerCacheStage *gfx_sampler_cache(uint32_t stage) {
    return stage < GFX_SAMPLER_STAGES ? &s_block.samplers[stage] : nullptr;
}
