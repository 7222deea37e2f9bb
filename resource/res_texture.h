// Texture, crop and depth-surface resources: creators, pixel access, resize, release, the
// video-memory estimate and the release/re-create walk around a device reset.
#pragma once
#include <cstddef>
#include <cstdint>

#include "resource/res_pools.h"

// Texture creators. The image-file and memory creators and the crop and depth-surface creators
// store the name part of the name they are given; the other two store the name as given.
ResourceHandle res_create_texture(const char *group, const char *name, int32_t width,
                                  int32_t height, int32_t format_index);
ResourceHandle res_create_render_texture(const char *group, const char *name, int32_t width,
                                         int32_t height, int32_t format_index);
ResourceHandle res_create_texture_from_memory(const char *group, const char *name,
                                              const void *bytes, size_t size, uint8_t mipmap);
ResourceHandle res_create_texture_from_file(const char *group, const char *path, uint8_t mipmap);

bool res_texture_fill(ResourceHandle handle, int32_t x, int32_t y, int32_t width, int32_t height,
                      const void *source);
bool res_texture_write_rect(ResourceHandle handle, int32_t x, int32_t y, int32_t width,
                            int32_t height, const void *pixels, int32_t bytes_per_pixel);
uint32_t res_texture_read_pixel(ResourceHandle handle, int32_t x, int32_t y);
bool res_set_texture_filter(ResourceHandle handle, uint32_t code_u, uint32_t code_v);
void res_resize_texture(ResourceHandle handle, int32_t width, int32_t height, int32_t format_index);
void res_release_texture(ResourceHandle handle);

// Crop on the texture (group, name part of texture_name); the texture may be missing (0).
ResourceHandle res_make_crop(const char *group, const char *name, float u0, float v0, float u_size,
                             float v_size, const char *texture_name);
// Crop from pixels of a texture's own size; 0 for an invalid texture handle. A negative width
// or height draws the crop mirrored.
ResourceHandle res_create_crop(const char *group, const char *name, float x, float y, float width,
                               float height, ResourceHandle texture);
void res_set_crop_rect(ResourceHandle crop, float x, float y, float width, float height,
                       ResourceHandle texture);
void res_release_crop(ResourceHandle handle);

ResourceHandle res_create_depth_surface(const char *group, const char *name, int32_t width,
                                        int32_t height, int32_t depth_format_index);
void res_resize_depth_surface(ResourceHandle handle, int32_t width, int32_t height,
                              int32_t depth_format_index);
void res_release_depth_surface(ResourceHandle handle);

// Device reset: render targets and depth surfaces are released before and re-made after.
void res_release_targets(void);
void res_restore_targets(void);

// Memory estimate of one texture handle: w x h x bits / 8, and + 3/8 of that when mipmapped.
uint32_t res_texture_bytes(const TextureHandle *texture, bool mipmapped);

ResourceHandle res_white_texture(void);
ResourceHandle res_black_texture(void);
ResourceHandle res_green_texture(void);
ResourceHandle res_cyan_texture(void);
ResourceHandle res_magenta_texture(void);
ResourceHandle res_flat_normal_texture(void);
