// Textures, surfaces and the renderer's resource block: texture and surface handles with their
// create, fill, read and release operations, texture binding through a per-stage sampler
// cache, render-target binding, the shared quad index list, the pre-set screen vertices and the
// primitive scratch area.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/gpu/gpu.h"
#include "render/gfx_mesh.h"

struct GfxDevice;

// One texture and what the program needs to know of it.
struct TextureHandle {
    GpuTexture *texture; // null = empty handle
    GpuSurface *surface; // level-0 surface, kept only for render targets
    uint16_t width, height;
    uint16_t image_width, image_height; // size of the image file it came from (0 if created)
    uint8_t bits_per_pixel;
    uint8_t flags;  // bit 0 mipmapped; bits 1-3 address index U; bits 4-6 address index V
    uint8_t format; // low byte of the device format code of level 0
    uint8_t kind;   // 0 texture, 1 render target
};

struct SurfaceHandle {
    GpuSurface *surface;
    uint16_t width, height;
    uint32_t format;
    uint8_t bits_per_pixel;
};

enum : uint8_t {
    TEX_FLAG_MIPMAP = 0x01,
    TEX_KIND_TEXTURE = 0,
    TEX_KIND_TARGET = 1,
};
constexpr int TEX_ADDRESS_U_SHIFT = 1;
constexpr int TEX_ADDRESS_V_SHIFT = 4;

// Screen-space vertex of all 2D drawing (vertex format 0x244).
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u0, v0, u1, v1;
};
static_assert(sizeof(ScreenVertex) == 36, "screen vertex is 36 bytes");

constexpr uint32_t GFX_SCREEN_VERTEX_FVF = 0x244;
constexpr int GFX_QUAD_COUNT = 4096;
constexpr int GFX_SCREEN_VERTEX_COUNT = 16384;
constexpr int GFX_PRIM_SCRATCH_BYTES = 655360;
constexpr int GFX_SAMPLER_STAGES = 8;

struct SamplerCacheStage {
    int32_t address_u, address_v, filter, mip; // -1 = unknown
    const TextureHandle *bound;
};

struct GfxResourceBlock {
    uint16_t quad_indices[GFX_QUAD_COUNT * 6];
    ScreenVertex screen_vertices[GFX_SCREEN_VERTEX_COUNT];
    alignas(16) uint8_t prim_scratch[GFX_PRIM_SCRATCH_BYTES];
    SurfaceHandle saved_back_buffer;
    SurfaceHandle saved_depth;
    TextureHandle default_texture; // 1 x 1 A8R8G8B8, opaque white
    SamplerCacheStage samplers[GFX_SAMPLER_STAGES];
    SurfaceHandle current_target; // describes colour target 0
    const SurfaceHandle *current_depth;
};

// Resource block (created at device start-up).
void gfx_init_resources(void);
void gfx_release_resources(void);
void gfx_release_saved_targets(void);
void gfx_save_default_targets(void);

// Textures. Creators zero the handle first and leave it zeroed on failure.
bool tex_create(TextureHandle *h, uint32_t format, int32_t width, int32_t height);
bool tex_create_target(TextureHandle *h, uint32_t format, int32_t width, int32_t height);
bool tex_create_from_memory(TextureHandle *h, const void *data, size_t size, bool mipmap);
bool tex_create_from_file(TextureHandle *h, const char *path, bool mipmap);
// Row-by-row copy of packed source rows into the rectangle of level 0; false when the rectangle
// does not fit or nothing could be written.
bool tex_write_rows(TextureHandle *h, int32_t x, int32_t y, int32_t width, int32_t height,
                    const void *pixels);
// Copies packed blue-green-red (3) or ARGB (4) pixels into an A8R8G8B8 or X8R8G8B8 texture;
// 32-bit sources store alpha - 1 (mod 256).
bool tex_blit_rgb(TextureHandle *h, int32_t x, int32_t y, int32_t width, int32_t height,
                  const void *pixels, int32_t bytes_per_pixel);
// One texel as ARGB; x and y are clamped into the texture; 0 when it cannot be read.
uint32_t tex_read_pixel(TextureHandle *h, int32_t x, int32_t y);
void tex_release(TextureHandle *h);
void tex_release_target_on_lost(TextureHandle *h);
void tex_recreate_target(TextureHandle *h);
// Binds a texture on a stage; sampler settings go out only when they differ from the stage's
// cache. A null or empty handle leaves stage 0 the default texture, other stages none.
void tex_bind(GfxDevice *device, uint32_t stage, const TextureHandle *h, int32_t filter);

// Depth-stencil surfaces.
bool gfx_create_surface(SurfaceHandle *h, uint32_t format, int32_t width, int32_t height);
void gfx_release_surface(SurfaceHandle *h);
void gfx_release_surface_on_lost(SurfaceHandle *h);
void gfx_recreate_surface(SurfaceHandle *h);

// Render targets by texture resource handle (0 = the back buffer for target 0, none for 1).
void tex_set_render_targets(uint32_t target0, uint32_t target1, const SurfaceHandle *depth);
void gfx_bind_target(uint32_t index, uint32_t texture_handle);
void gfx_bind_depth(const SurfaceHandle *depth);

int32_t gfx_vertex_count(uint32_t primitive_type, int32_t primitive_count);

ScreenVertex *gfx_text_vertices(void);
uint16_t *gfx_quad_indices(void);
uint8_t *gfx_prim_vertices(void);
SurfaceHandle *gfx_saved_back_buffer(void);
SurfaceHandle *gfx_saved_depth(void);
SurfaceHandle *gfx_current_target(void);
const SurfaceHandle *gfx_current_depth(void);
int32_t gfx_target_width(void);
int32_t gfx_target_height(void);
const TextureHandle *gfx_default_texture(void);
const SamplerCacheStage *gfx_sampler_cache(uint32_t stage);
