// Texture, crop and depth-surface resources.
#include "resource/res_texture.h"

#include <cstring>

#include "platform/sys/sys_file.h"
#include "render/gfx_state.h"

static ResourcePools &pools(void) {
    return *res_pools();
}

uint32_t res_texture_bytes(const TextureHandle *t, bool mipmapped) {
    uint32_t b = static_cast<uint32_t>(t->width) * t->height * t->bits_per_pixel / 8u;
    return mipmapped ? b + (3u * b) / 8u : b;
}

static uint32_t surface_bytes(const SurfaceHandle *s) {
    return static_cast<uint32_t>(s->width) * s->height * s->bits_per_pixel / 8u;
}

static void memory_sub(uint32_t bytes) {
    uint32_t &m = pools().texture_memory;
    m = bytes < m ? m - bytes : 0;
}

enum TextureSource { SRC_PLAIN, SRC_TARGET, SRC_MEMORY, SRC_FILE };

struct TextureRequest {
    TextureSource source;
    int32_t width, height, format_index;
    const void *bytes;
    size_t size;
    const char *path;
    uint8_t mipmap;
};

static bool make_device_texture(TextureHandle *t, const TextureRequest &q) {
    switch (q.source) {
        case SRC_PLAIN:
            return tex_create(t, gfx_texture_format_code(q.format_index), q.width, q.height);
        case SRC_TARGET:
            return tex_create_target(t, gfx_texture_format_code(q.format_index), q.width, q.height);
        case SRC_MEMORY:
            return tex_create_from_memory(t, q.bytes, q.size, q.mipmap != 0);
        case SRC_FILE:
            return tex_create_from_file(t, q.path, q.mipmap != 0);
    }
    return false;
}

// The creation rule: an existing (group, name) gives its handle; a full pool or a failed device
// call gives 0.
static ResourceHandle create_texture(const char *group, const char *name, const TextureRequest &q) {
    ResourcePool<TextureRecord> &p = pools().textures;
    const char *g = res_intern_group(group);
    if (ResourceHandle h = res_find_texture(group, name)) return h;
    return res_pool_add(&p, [&](TextureRecord *r) {
        if (!make_device_texture(&r->texture, q)) return false;
        r->size = &r->texture.width;
        res_fill_header(&r->header, &p.names, g, name);
        res_name_clip_flag(&r->texture.flags, r->header.name);
        bool counted_mip = (q.source == SRC_MEMORY || q.source == SRC_FILE) && q.mipmap;
        pools().texture_memory += res_texture_bytes(&r->texture, counted_mip);
        return true;
    });
}

ResourceHandle res_create_texture(const char *group, const char *name, int32_t width,
                                  int32_t height, int32_t format_index) {
    TextureRequest q{SRC_PLAIN, width, height, format_index, nullptr, 0, nullptr, 0};
    return create_texture(group, name, q);
}

ResourceHandle res_create_render_texture(const char *group, const char *name, int32_t width,
                                         int32_t height, int32_t format_index) {
    TextureRequest q{SRC_TARGET, width, height, format_index, nullptr, 0, nullptr, 0};
    return create_texture(group, name, q);
}

ResourceHandle res_create_texture_from_memory(const char *group, const char *name,
                                              const void *bytes, size_t size, uint8_t mipmap) {
    char part[256];
    res_name_of_path(part, sizeof part, name);
    TextureRequest q{SRC_MEMORY, 0, 0, 0, bytes, size, nullptr, mipmap};
    return create_texture(group, part, q);
}

ResourceHandle res_create_texture_from_file(const char *group, const char *path, uint8_t mipmap) {
    // Only a regular file is an image file: a folder (a texture-list entry may name one) opens
    // like a file of unknown length.
    if (!path || sys_file_size(path) < 0) return 0;
    char part[256];
    res_name_of_path(part, sizeof part, path);
    TextureRequest q{SRC_FILE, 0, 0, 0, nullptr, 0, path, mipmap};
    return create_texture(group, part, q);
}

bool res_texture_fill(ResourceHandle h, int32_t x, int32_t y, int32_t w, int32_t ht,
                      const void *source) {
    TextureHandle *t = res_get_texture(h);
    return t ? tex_write_rows(t, x, y, w, ht, source) : false;
}

bool res_texture_write_rect(ResourceHandle h, int32_t x, int32_t y, int32_t w, int32_t ht,
                            const void *pixels, int32_t bytes_per_pixel) {
    TextureHandle *t = res_get_texture(h);
    return t ? tex_blit_rgb(t, x, y, w, ht, pixels, bytes_per_pixel) : false;
}

uint32_t res_texture_read_pixel(ResourceHandle h, int32_t x, int32_t y) {
    TextureHandle *t = res_get_texture(h);
    return t ? tex_read_pixel(t, x, y) : 0;
}

bool res_set_texture_filter(ResourceHandle h, uint32_t code_u, uint32_t code_v) {
    TextureHandle *t = res_get_texture(h);
    if (!t) return false;
    t->flags = static_cast<uint8_t>((t->flags & ~0x7Eu) | (code_u & 7u) << TEX_ADDRESS_U_SHIFT |
                                    (code_v & 7u) << TEX_ADDRESS_V_SHIFT);
    return true;
}

void res_resize_texture(ResourceHandle h, int32_t width, int32_t height, int32_t format_index) {
    TextureRecord *r = res_texture_record(h);
    if (!r) return;
    TextureHandle *t = &r->texture;
    memory_sub(res_texture_bytes(t, (t->flags & TEX_FLAG_MIPMAP) != 0));
    uint8_t kind = t->kind;
    tex_release(t);
    t->kind = kind;
    if (width < 1 || height < 1) return;
    uint32_t format = gfx_texture_format_code(format_index);
    bool made = kind != TEX_KIND_TEXTURE ? tex_create_target(t, format, width, height)
                                         : tex_create(t, format, width, height);
    if (!made) {
        t->kind = kind;
        return;
    }
    res_name_clip_flag(&t->flags, r->header.name);
    pools().texture_memory += res_texture_bytes(t, false);
    ResourcePool<TextureRecord> &p = pools().textures;
    if (p.count > p.highest_count) p.highest_count = p.count;
}

void res_release_texture(ResourceHandle h) {
    TextureRecord *r = res_texture_record(h);
    if (!r) return;
    memory_sub(res_texture_bytes(&r->texture, (r->texture.flags & TEX_FLAG_MIPMAP) != 0));
    res_buffer_rewind(&pools().textures.names, r->header.name);
    tex_release(&r->texture);
    r->header = ResourceRecordHeader{};
}

// ---------------------------------------------------------------------------------------------
// Crops

static ResourceHandle create_crop(const char *group, const char *name, ResourceHandle texture,
                                  float u0, float v0, float us, float vs) {
    ResourcePool<CropRecord> &p = pools().crops;
    char part[256];
    res_name_of_path(part, sizeof part, name);
    const char *g = res_intern_group(group);
    if (ResourceHandle h = res_find_crop(group, part)) return h;
    return res_pool_add(&p, [&](CropRecord *r) {
        r->texture = texture;
        r->u0 = u0;
        r->v0 = v0;
        r->u_size = us;
        r->v_size = vs;
        res_fill_header(&r->header, &p.names, g, part);
        return true;
    });
}

ResourceHandle res_make_crop(const char *group, const char *name, float u0, float v0, float u_size,
                             float v_size, const char *texture_name) {
    char tex_part[256];
    res_name_of_path(tex_part, sizeof tex_part, texture_name);
    ResourceHandle texture = res_find_texture(group, tex_part);
    return create_crop(group, name, texture, u0, v0, u_size, v_size);
}

// The texture a crop measures in pixels: none without one or with no area (a crop of it would
// divide by zero).
static TextureHandle *crop_texture(ResourceHandle texture) {
    TextureHandle *t = res_get_texture(texture);
    return t && t->width && t->height ? t : nullptr;
}

ResourceHandle res_create_crop(const char *group, const char *name, float x, float y, float width,
                               float height, ResourceHandle texture) {
    TextureHandle *t = crop_texture(texture);
    if (!t) return 0;
    float tw = t->width, th = t->height;
    return create_crop(group, name, texture, x / tw, y / th, width / tw, height / th);
}

void res_set_crop_rect(ResourceHandle crop, float x, float y, float width, float height,
                       ResourceHandle texture) {
    CropRecord *c = res_get_crop(crop);
    if (!c) return;
    TextureHandle *t = crop_texture(texture);
    if (!t) {
        c->texture = 0;
        c->u0 = c->v0 = c->u_size = c->v_size = 0.0f;
        return;
    }
    float tw = t->width, th = t->height;
    c->texture = texture;
    c->u0 = x / tw;
    c->v0 = y / th;
    c->u_size = width / tw;
    c->v_size = height / th;
}

void res_release_crop(ResourceHandle h) {
    CropRecord *c = res_get_crop(h);
    if (!c) return;
    res_buffer_rewind(&pools().crops.names, c->header.name);
    *c = CropRecord{};
}

// ---------------------------------------------------------------------------------------------
// Depth surfaces

ResourceHandle res_create_depth_surface(const char *group, const char *name, int32_t width,
                                        int32_t height, int32_t depth_format_index) {
    ResourcePool<DepthSurfaceRecord> &p = pools().depth_surfaces;
    char part[256];
    res_name_of_path(part, sizeof part, name);
    const char *g = res_intern_group(group);
    if (ResourceHandle h = res_find_depth_surface(group, part)) return h;
    return res_pool_add(&p, [&](DepthSurfaceRecord *r) {
        if (!gfx_create_surface(&r->surface, gfx_depth_format_code(depth_format_index), width,
                                height))
            return false;
        res_fill_header(&r->header, &p.names, g, part);
        pools().texture_memory += surface_bytes(&r->surface);
        return true;
    });
}

void res_resize_depth_surface(ResourceHandle h, int32_t width, int32_t height,
                              int32_t depth_format_index) {
    DepthSurfaceRecord *r = res_depth_surface_record(h);
    if (!r) return;
    memory_sub(surface_bytes(&r->surface));
    gfx_release_surface(&r->surface);
    if (width >= 1 && height >= 1 &&
        gfx_create_surface(&r->surface, gfx_depth_format_code(depth_format_index), width, height))
        pools().texture_memory += surface_bytes(&r->surface);
    ResourcePool<DepthSurfaceRecord> &p = pools().depth_surfaces;
    if (p.count > p.highest_count) p.highest_count = p.count;
}

void res_release_depth_surface(ResourceHandle h) {
    DepthSurfaceRecord *r = res_depth_surface_record(h);
    if (!r) return;
    memory_sub(surface_bytes(&r->surface));
    res_buffer_rewind(&pools().depth_surfaces.names, r->header.name);
    gfx_release_surface(&r->surface);
}

// ---------------------------------------------------------------------------------------------
// Device reset

void res_release_targets(void) {
    gfx_release_saved_targets();
    for (int32_t i = res_texture_count() - 1; i >= 0; --i)
        tex_release_target_on_lost(&pools().textures.records[i].texture);
    for (int32_t i = res_depth_surface_count() - 1; i >= 0; --i)
        gfx_release_surface_on_lost(&pools().depth_surfaces.records[i].surface);
}

void res_restore_targets(void) {
    gfx_save_default_targets();
    for (int32_t i = res_texture_count() - 1; i >= 0; --i)
        tex_recreate_target(&pools().textures.records[i].texture);
    for (int32_t i = res_depth_surface_count() - 1; i >= 0; --i)
        gfx_recreate_surface(&pools().depth_surfaces.records[i].surface);
}

static ResourceHandle builtin(int which) {
    return pools().builtins[which];
}
ResourceHandle res_white_texture(void) {
    return builtin(RES_BUILTIN_WHITE);
}
ResourceHandle res_black_texture(void) {
    return builtin(RES_BUILTIN_BLACK);
}
ResourceHandle res_green_texture(void) {
    return builtin(RES_BUILTIN_GREEN);
}
ResourceHandle res_cyan_texture(void) {
    return builtin(RES_BUILTIN_CYAN);
}
ResourceHandle res_magenta_texture(void) {
    return builtin(RES_BUILTIN_MAGENTA);
}
ResourceHandle res_flat_normal_texture(void) {
    return builtin(RES_BUILTIN_FLAT_NORMAL);
}
