// Shared state of the drawing device layer: the one device record, the object records and the
// cache of real GL state. Only the platform/gpu sources include this.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "platform/gpu/gpu.h"

#include <SDL2/SDL.h>

#include <string>

enum { GPU_MAX_LEVELS = 16, GPU_ATTR_COUNT = 14, GPU_MAX_CLIP_PLANES = 6 };

// Fill rule. The renderer's rule draws a pixel whose centre lies exactly on a top or left edge
// and not one on a bottom or right edge, with top meaning the first stored row. Every target,
// the back buffer included, is a texture drawn through one framebuffer object with the
// lower-left clip origin, under which Mesa's rasteriser follows that rule; every vertex program
// turns its y over, so row 0 of the picture is the first stored row.

// One row of the format table: how a device format lives in GL.
struct GpuFormatInfo {
    uint32_t format;      // GpuFormat
    GLenum internal;      // sized internal format
    GLenum gl_format;     // client format of the locked bytes
    GLenum gl_type;       // client type of the locked bytes (0 = compressed)
    uint32_t bytes;       // bytes per texel, 0 for block-compressed formats
    uint32_t block_bytes; // bytes per 4x4 block for compressed formats
    GLint swizzle[4];     // sampled r, g, b, a
    bool depth;           // a depth(-stencil) format
    bool stencil;         // carries stencil bits
};

enum GpuSurfaceKind { GPU_SURF_BACK_BUFFER = 0, GPU_SURF_TARGET = 1, GPU_SURF_DEPTH = 2 };

struct GpuSurface {
    bool used;
    GpuSurfaceKind kind;
    GLuint tex; // colour surfaces: the texture; depth: the renderbuffer
    uint32_t width, height;
    uint32_t format;
    const GpuFormatInfo *info;
    GpuTexture *owner; // render-target textures
};

struct GpuTexture {
    bool used;
    GLuint tex;
    uint32_t width, height, levels, usage, format, pool;
    const GpuFormatInfo *info;
    uint8_t *shadow[GPU_MAX_LEVELS]; // CPU copy of a level, made at its first lock
    bool locked[GPU_MAX_LEVELS];
    GpuRect lock_rect[GPU_MAX_LEVELS];
    GpuSurface *surface; // level 0 of a render target
};

struct GpuVertexBuffer {
    bool used;
    GLuint buf;
    uint32_t bytes;
    uint8_t *shadow; // locked data, uploaded whole at unlock
};

struct GpuIndexBuffer {
    bool used;
    GLuint buf;
    uint32_t bytes;
    uint8_t *shadow;
};

// A vertex layout: attributes at the fixed locations, all in stream 0.
struct GpuLayout {
    bool present[GPU_ATTR_COUNT];
    GLint size[GPU_ATTR_COUNT]; // components, or GL_BGRA for colour words
    GLenum type[GPU_ATTR_COUNT];
    bool normalized[GPU_ATTR_COUNT];
    uint32_t offset[GPU_ATTR_COUNT];
    uint32_t stride;
    bool pretransformed; // position with rhw
};

struct GpuVertexDecl {
    bool used;
    GpuLayout layout;
    GLuint vao;
};

enum { GPU_MAX_UNIFORMS = 64, GPU_UNIFORM_ELEMENT_BYTES = 64 /* a mat4 */ };

// The values a program's uniforms last received, one element per location (gpu_uniform.cpp).
struct GpuUniformCache {
    GLuint program;
    GLint locations; // locations held; higher ones are always sent
    uint8_t *values; // GPU_UNIFORM_ELEMENT_BYTES per location
    uint8_t *known;  // 1 where the location's value was sent through the cache
};

struct GpuUniform {
    char name[48];
    GLint location;
    GLenum type;
    GLint count;
};

struct GpuShader {
    bool used;
    GpuShaderKind kind;
    GLuint program;
    GLint pixel_offset_loc; // vertex shaders: the appended half-pixel shift
    GLint clip_planes_loc;  // vertex shaders: the appended clip distances
    GLint alpha_func_loc;   // pixel shaders: the appended alpha test
    GLint alpha_ref_loc;
    GLint fog_on_loc; // pixel shaders: the appended fog (-1 where the source gives no room)
    GLint fog_color_loc;
    GLint fog_loc;
    GLint blend_weights_loc; // vertex shaders that declare gpu_blend_weights
    uint32_t generation;     // ff_generation when the layer's own uniforms were last set
    GpuUniformCache cache;
    GpuUniform uniforms[GPU_MAX_UNIFORMS];
    uint32_t uniform_count;
};

// GL state as last sent, so calls that change nothing are skipped.
struct GpuGlCache {
    bool depth_test, depth_mask, blend, cull, scissor_test, stencil_test;
    GLenum depth_func, blend_src, blend_dst, cull_face, front_face, polygon_mode;
    bool color_mask[4];
    GLint scissor[4], viewport[4];
    float depth_range[2];
    GLenum stencil_func, stencil_fail, stencil_zfail, stencil_pass;
    GLint stencil_ref;
    GLuint stencil_mask, stencil_write_mask;
    uint32_t clip_enable;
    GLuint vs_program, fs_program, vao, vertex_buffer, index_buffer;
    GLintptr vertex_offset;
    GLsizei vertex_stride;
    GLuint bound_tex[GPU_MAX_STAGES];
    GLuint draw_fbo; // bound draw framebuffer: 0 is the window's
    GLuint fbo_color[2], fbo_depth;
    GLenum fbo_depth_attachment;
    int draw_buffers;
    // sampler object parameters per stage
    GLint samp_wrap_s[GPU_MAX_STAGES], samp_wrap_t[GPU_MAX_STAGES];
    GLint samp_min[GPU_MAX_STAGES], samp_mag[GPU_MAX_STAGES];
};

struct GpuFfProgram;

struct GpuDevice {
    bool created;
    SDL_Window *window;
    SDL_GLContext context;
    GpuCaps caps;
    bool lose_next_present;
    bool loss_needs_reset; // a lost device answers "not reset" until gpu_reset
    bool lost;

    GLuint fbo;      // drawing framebuffer: targets 0 and 1 and the depth surface
    GLuint read_fbo; // readback of any colour surface
    GLuint pipeline;
    GLuint samplers[GPU_MAX_STAGES];
    GLuint ring; // user-memory vertices and indices stream through this buffer
    uint32_t ring_size, ring_pos;
    GLuint quad_ib; // the shared quad index list
    const uint16_t *quad_src;
    uint32_t quad_count;

    GpuSurface *back_buffer;
    int bb_width, bb_height;
    int window_width, window_height; // the drawable's size at the last present

    // Device-side state as the caller set it.
    uint32_t rs[GPU_RENDER_STATE_COUNT];
    uint32_t samp[GPU_MAX_STAGES][16];
    uint32_t tss[GPU_MAX_STAGES][32];
    GpuViewport viewport;
    GpuRect scissor;
    GpuTexture *textures[GPU_MAX_STAGES];
    GpuSurface *targets[2];
    GpuSurface *depth;
    float world[16], view[16], proj[16];
    GpuLight light;
    bool light_enabled;
    GpuMaterial material;
    float clip_planes[GPU_MAX_CLIP_PLANES][4];

    uint32_t fvf;
    GpuLayout fvf_layout;
    GLuint fvf_vao;
    GpuVertexDecl *decl;
    GpuVertexBuffer *stream_vb;
    uint32_t stream_offset, stream_stride;
    GpuIndexBuffer *indices;
    GpuShader *vs, *ps;

    uint32_t ff_generation;   // bumped by any change the fixed-function uniforms read
    uint64_t uniform_uploads; // uniform values sent to GL
    GpuGlCache gl;
};

extern GpuDevice g_gpu;

// Format table (gpu_format.cpp)
const GpuFormatInfo *gpu_format_info(uint32_t format);
uint32_t gpu_format_level_bytes(const GpuFormatInfo *fi, uint32_t w, uint32_t h);
uint32_t gpu_format_pitch(const GpuFormatInfo *fi, uint32_t w);

// State (gpu_state.cpp)
void gpu_state_init_defaults(void);
void gpu_gl_cache_init(void);
void gpu_gl_set_scissor_test(bool on);
void gpu_gl_set_scissor(GLint x, GLint y, GLint w, GLint h);
void gpu_gl_set_viewport(GLint x, GLint y, GLint w, GLint h, float zn, float zf);
void gpu_gl_set_color_mask(bool r, bool g, bool b, bool a);
void gpu_gl_set_depth_mask(bool on);
void gpu_gl_set_stencil_write_mask(GLuint mask);
void gpu_apply_draw_states(void);
void gpu_apply_viewport_scissor(void);

// Textures and targets (gpu_texture.cpp)
void gpu_texture_release_all(void);
// Attaches the bound targets; target 1 is a draw buffer only when `second_output` is set.
void gpu_apply_framebuffer(bool second_output);
void gpu_apply_textures(void);
GpuSurface *gpu_surface_alloc(void);
void gpu_surface_free(GpuSurface *s);
GpuTexture *gpu_texture_alloc(void);
// gpu_texture_create, leaving the levels undefined unless zero_fill is set: for callers that
// upload every level at once.
GpuTexture *gpu_texture_create_storage(uint32_t width, uint32_t height, uint32_t levels,
                                       uint32_t usage, uint32_t format, uint32_t pool,
                                       bool zero_fill);

// Textures from image files (gpu_texture_image.cpp): frees the reused scratch buffers.
void gpu_texture_image_shutdown(void);

// Buffers (gpu_buffer.cpp)
bool gpu_buffer_init(void);
void gpu_buffer_shutdown(void);
// Copies bytes into the ring buffer; returns the offset, aligned to `align`.
GLintptr gpu_ring_write(const void *data, uint32_t bytes, uint32_t align);

// Layouts (gpu_layout.cpp)
bool gpu_layout_from_fvf(uint32_t fvf, GpuLayout *out);
bool gpu_layout_from_elements(const GpuVertexElement *el, GpuLayout *out);
GLuint gpu_layout_vao(const GpuLayout *layout);
void gpu_layout_shutdown(void);

// Fixed function and shaders (gpu_ffp.cpp, gpu_shader.cpp)
void gpu_ffp_shutdown(void);
// Binds the programs for the next draw (fixed function where no shader is set).
bool gpu_bind_programs(const GpuLayout *layout);
void gpu_shader_release_all(void);
void gpu_shader_apply_pixel_offset(GpuShader *vs);
// GLSL that moves gl_Position from the renderer's pixel centres to GL's by the vec2 uniform
// `offset` (half a pixel in clip units per w) and turns its y over for the clip origin.
std::string gpu_position_glsl(const char *offset);

// Uniforms through a program's cache (gpu_uniform.cpp): each sends `count` elements from `loc`
// (vectors of `width` components, or matrices of a GL type, row-major) unless the program
// holds them already; location -1 is never sent.
void gpu_uniform_cache_init(GpuUniformCache *c, GLuint program);
void gpu_uniform_cache_free(GpuUniformCache *c);
void gpu_uniform_floats(GpuUniformCache *c, GLint loc, int width, GLsizei count, const float *v);
void gpu_uniform_ints(GpuUniformCache *c, GLint loc, int width, GLsizei count, const GLint *v);
void gpu_uniform_matrices(GpuUniformCache *c, GLint loc, GLenum type, GLsizei count,
                          const float *v);

// Trace (gpu_trace.cpp)
void gpu_trace(GpuTraceKind kind, uint32_t a, uint32_t b, uint32_t c, const void *ptr);
