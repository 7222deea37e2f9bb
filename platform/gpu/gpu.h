// The drawing device: one device per process over OpenGL 4.5 core, shaped like the
// fixed-function-plus-shaders device the renderer was written against. State, format,
// primitive and blend codes are the renderer's numeric codes, passed through unchanged.
//
// Conventions kept by the layer (the renderer relies on them):
// - every target, the back buffer included, is stored top row first; v = 0 is the top;
// - screen-space vertices (position with rhw) address pixel centres at integer coordinates;
// - setting render target 0 resets viewport and scissor to the whole target;
// - clear covers the viewport, cut by the scissor rectangle when the scissor test is on;
// - device loss never happens by itself: gpu_debug_lose_device() makes the next present report it;
// - present shows the whole back buffer over the whole window at any window size; a frame that
//   drew nothing shows the last picture again. What the back buffer holds after a present is
//   undefined until it is drawn (the window's own framebuffer holds it while the sizes match).
#pragma once

#include <cstddef>
#include <cstdint>

struct SDL_Window;
struct GpuTexture;
struct GpuSurface;
struct GpuVertexBuffer;
struct GpuIndexBuffer;
struct GpuVertexDecl;
struct GpuShader;

// ---------------------------------------------------------------------------------------------
// Results
typedef int32_t GpuResult;
enum : int32_t {
    GPU_OK = 0,
    GPU_FAIL = (int32_t)0x80004005,
    GPU_ERR_INVALID_CALL = (int32_t)0x8876086C,
    GPU_ERR_DEVICE_LOST = (int32_t)0x88760868,
    GPU_ERR_DEVICE_NOT_RESET = (int32_t)0x88760869,
};

// ---------------------------------------------------------------------------------------------
// Codes passed through from the renderer
enum GpuFormat : uint32_t {
    GPU_FMT_UNKNOWN = 0,
    GPU_FMT_R8G8B8 = 20,
    GPU_FMT_A8R8G8B8 = 21,
    GPU_FMT_X8R8G8B8 = 22,
    GPU_FMT_R5G6B5 = 23,
    GPU_FMT_X1R5G5B5 = 24,
    GPU_FMT_A1R5G5B5 = 25,
    GPU_FMT_A4R4G4B4 = 26,
    GPU_FMT_A8 = 28,
    GPU_FMT_A2B10G10R10 = 31,
    GPU_FMT_A2R10G10B10 = 35,
    GPU_FMT_A16B16G16R16 = 36,
    GPU_FMT_L8 = 50,
    GPU_FMT_A8L8 = 51,
    GPU_FMT_D15S1 = 73,
    GPU_FMT_D24S8 = 75,
    GPU_FMT_D24X4S4 = 79,
    GPU_FMT_D16 = 80,
    GPU_FMT_D24FS8 = 83,
    GPU_FMT_R16F = 111,
    GPU_FMT_G16R16F = 112,
    GPU_FMT_A16B16G16R16F = 113,
    GPU_FMT_R32F = 114,
    GPU_FMT_G32R32F = 115,
    GPU_FMT_A32B32G32R32F = 116,
    GPU_FMT_DXT1 = 0x31545844, // four-character codes, little-endian
    GPU_FMT_DXT2 = 0x32545844,
    GPU_FMT_DXT3 = 0x33545844,
    GPU_FMT_DXT4 = 0x34545844,
    GPU_FMT_DXT5 = 0x35545844,
};

enum GpuPool : uint32_t { GPU_POOL_DEFAULT = 0, GPU_POOL_MANAGED = 1 };
enum : uint32_t { GPU_USAGE_RENDER_TARGET = 1, GPU_USAGE_DEPTH_STENCIL = 2 };

enum GpuPrimitive : uint32_t {
    GPU_PT_POINTLIST = 1,
    GPU_PT_LINELIST = 2,
    GPU_PT_LINESTRIP = 3,
    GPU_PT_TRIANGLELIST = 4,
    GPU_PT_TRIANGLESTRIP = 5,
    GPU_PT_TRIANGLEFAN = 6,
};

// Render states (subset the renderer uses; values are the codes it passes).
enum GpuRenderState : uint32_t {
    GPU_RS_ZENABLE = 7,
    GPU_RS_FILLMODE = 8,  // 3 solid, 2 wireframe, 1 point
    GPU_RS_SHADEMODE = 9, // 1 flat, 2 Gouraud
    GPU_RS_ZWRITEENABLE = 14,
    GPU_RS_ALPHATESTENABLE = 15,
    GPU_RS_SRCBLEND = 19,
    GPU_RS_DESTBLEND = 20,
    GPU_RS_CULLMODE = 22, // 1 none, 2 CW, 3 CCW
    GPU_RS_ZFUNC =
        23, // 1..8 never, less, equal, lessequal, greater, notequal, greaterequal, always
    GPU_RS_ALPHAREF = 24,
    GPU_RS_ALPHAFUNC = 25,
    GPU_RS_ALPHABLENDENABLE = 27,
    GPU_RS_FOGENABLE = 28,
    GPU_RS_SPECULARENABLE = 29,
    GPU_RS_FOGCOLOR = 34,
    GPU_RS_FOGTABLEMODE = 35, // 0 none, 3 linear
    GPU_RS_FOGSTART = 36,     // float bits
    GPU_RS_FOGEND = 37,       // float bits
    GPU_RS_RANGEFOGENABLE = 48,
    GPU_RS_STENCILENABLE = 52,
    GPU_RS_STENCILFAIL = 53,
    GPU_RS_STENCILZFAIL = 54,
    GPU_RS_STENCILPASS = 55,
    GPU_RS_STENCILFUNC = 56,
    GPU_RS_STENCILREF = 57,
    GPU_RS_STENCILMASK = 58,
    GPU_RS_STENCILWRITEMASK = 59,
    GPU_RS_LIGHTING = 137,
    GPU_RS_AMBIENT = 139,
    GPU_RS_FOGVERTEXMODE = 140,
    GPU_RS_COLORVERTEX = 141,
    GPU_RS_NORMALIZENORMALS = 143, // lit normals renormalised after the transform; off by default
    GPU_RS_CLIPPLANEENABLE = 152,
    GPU_RS_COLORWRITEENABLE = 168, // bits 1 R, 2 G, 4 B, 8 A
    GPU_RS_SCISSORTESTENABLE = 174,
};
enum { GPU_RENDER_STATE_COUNT = 256 };

// Values of the blend-factor states (GPU_RS_SRCBLEND, GPU_RS_DESTBLEND).
enum GpuBlendFactor : uint32_t {
    GPU_BLEND_ZERO = 1,
    GPU_BLEND_ONE = 2,
    GPU_BLEND_SRCCOLOR = 3,
    GPU_BLEND_INVSRCCOLOR = 4,
    GPU_BLEND_SRCALPHA = 5,
    GPU_BLEND_INVSRCALPHA = 6,
    GPU_BLEND_DESTALPHA = 7,
    GPU_BLEND_INVDESTALPHA = 8,
    GPU_BLEND_DESTCOLOR = 9,
    GPU_BLEND_INVDESTCOLOR = 10,
};

// Blend factors: 1 zero, 2 one, 3 src colour, 4 inv src colour, 5 src alpha, 6 inv src alpha,
// 7 dest alpha, 8 inv dest alpha, 9 dest colour, 10 inv dest colour.

enum GpuSamplerState : uint32_t {
    GPU_SAMP_ADDRESSU = 1, // 1 wrap, 3 clamp (other codes read as wrap)
    GPU_SAMP_ADDRESSV = 2,
    GPU_SAMP_MAGFILTER = 5, // 0 none, 1 point, 2 linear
    GPU_SAMP_MINFILTER = 6,
    GPU_SAMP_MIPFILTER = 7, // 0 none = level 0 only
};

enum GpuTextureStageState : uint32_t {
    GPU_TSS_COLOROP = 1,   // 1 disable, 2 select arg1, 3 select arg2, 4 modulate
    GPU_TSS_COLORARG1 = 2, // 0 diffuse, 1 current, 2 texture
    GPU_TSS_COLORARG2 = 3,
    GPU_TSS_ALPHAOP = 4,
    GPU_TSS_ALPHAARG1 = 5,
    GPU_TSS_ALPHAARG2 = 6,
    GPU_TSS_TEXCOORDINDEX = 11,
};
enum { GPU_MAX_STAGES = 8 };

// Texture-stage operations and arguments (colour and alpha alike).
enum GpuStageOp : uint32_t {
    GPU_TOP_DISABLE = 1,
    GPU_TOP_SELECTARG1 = 2,
    GPU_TOP_SELECTARG2 = 3,
    GPU_TOP_MODULATE = 4,
};
enum GpuStageArg : uint32_t { GPU_TA_DIFFUSE = 0, GPU_TA_CURRENT = 1, GPU_TA_TEXTURE = 2 };

enum : uint32_t { GPU_CLEAR_TARGET = 1, GPU_CLEAR_ZBUFFER = 2, GPU_CLEAR_STENCIL = 4 };

enum GpuTransformKind : uint32_t {
    GPU_TS_VIEW = 2,
    GPU_TS_PROJECTION = 3,
    GPU_TS_WORLD = 256,
};

// ---------------------------------------------------------------------------------------------
// Records
struct GpuCaps {
    uint32_t vertex_shader_version; // 0xFFFE0300 style version words
    uint32_t pixel_shader_version;  // 0xFFFF0300 style version words
    uint32_t simultaneous_rts;
    uint32_t max_texture_size;
    bool compressed_textures; // DXT1-5 sampled natively
};

struct GpuViewport {
    uint32_t x, y, width, height; // pixels, y from the top
    float min_z, max_z;
};

struct GpuRect {
    int32_t left, top, right, bottom; // right and bottom exclusive
};

struct GpuLockedRect {
    int32_t pitch; // bytes per row
    void *bits;    // top-left texel of the locked rectangle
};

struct GpuSurfaceDesc {
    uint32_t format; // GpuFormat
    uint32_t usage;
    uint32_t pool;
    uint32_t width, height;
};

struct GpuColorValue {
    float r, g, b, a;
};

struct GpuLight {
    uint32_t type; // 1 point, 2 spot, 3 directional (only directional is drawn)
    GpuColorValue diffuse, specular, ambient;
    float position[3];
    float direction[3];
};

struct GpuMaterial {
    GpuColorValue diffuse, ambient, specular, emissive;
    float power;
};

// Vertex declaration element, the renderer's element codes.
enum GpuDeclType : uint8_t {
    GPU_DECL_FLOAT1 = 0,
    GPU_DECL_FLOAT2 = 1,
    GPU_DECL_FLOAT3 = 2,
    GPU_DECL_FLOAT4 = 3,
    GPU_DECL_COLOR = 4, // ARGB word, read as BGRA bytes, normalised
    GPU_DECL_UBYTE4 = 5,
    GPU_DECL_SHORT2 = 6,
    GPU_DECL_SHORT4 = 7,
    GPU_DECL_UBYTE4N = 8,
    GPU_DECL_UNUSED = 17,
};
enum GpuDeclUsage : uint8_t {
    GPU_USAGE_POSITION = 0,
    GPU_USAGE_BLENDWEIGHT = 1,
    GPU_USAGE_BLENDINDICES = 2,
    GPU_USAGE_NORMAL = 3,
    GPU_USAGE_PSIZE = 4,
    GPU_USAGE_TEXCOORD = 5,
    GPU_USAGE_TANGENT = 6,
    GPU_USAGE_BINORMAL = 7,
    GPU_USAGE_POSITIONT = 9,
    GPU_USAGE_COLOR = 10,
};
struct GpuVertexElement {
    uint16_t stream; // 0xFF ends the list
    uint16_t offset;
    uint8_t type;   // GpuDeclType
    uint8_t method; // 0
    uint8_t usage;  // GpuDeclUsage
    uint8_t usage_index;
};
#define GPU_DECL_END                                                                               \
    { 0xFF, 0, GPU_DECL_UNUSED, 0, 0, 0 }

// Shader input locations by semantic (GLSL sources declare their inputs with these).
enum GpuAttribLocation {
    GPU_ATTR_POSITION = 0,
    GPU_ATTR_BLENDWEIGHT = 1,
    GPU_ATTR_BLENDINDICES = 2,
    GPU_ATTR_NORMAL = 3,
    GPU_ATTR_COLOR = 4,
    GPU_ATTR_TEXCOORD0 = 5, // 5..12 for sets 0..7
    GPU_ATTR_TANGENT = 13,
};

enum GpuShaderKind { GPU_SHADER_VERTEX = 0, GPU_SHADER_PIXEL = 1 };

// Image facts of a texture made from an image file.
struct GpuImageInfo {
    uint32_t width, height; // the image's own size (the texture may be larger)
    uint32_t format;        // GpuFormat chosen from the file
    uint32_t mip_levels;
};

// ---------------------------------------------------------------------------------------------
// Device and lifecycle
bool gpu_get_adapter_caps(GpuCaps *caps); // what a device on this machine would offer
uint32_t gpu_get_display_format(void);    // X8R8G8B8
// kind: 0 accelerated context, 1 any context, 2 software rasteriser. width/height 0 = client size.
GpuResult gpu_create_device(SDL_Window *window, int kind, int width, int height);
void gpu_destroy_device(void);
bool gpu_has_device(void);
bool gpu_get_device_caps(GpuCaps *caps);
void gpu_get_back_buffer_size(int *width, int *height);
GpuResult gpu_begin_scene(void);
GpuResult gpu_end_scene(void);
GpuResult gpu_present(void);
GpuResult gpu_test_cooperative_level(void);
// Makes the back buffer again (0 x 0 = the window's client size now) and binds it as target 0
// with no target 1 and no depth surface, viewport and scissor covering it. States, textures,
// surfaces, buffers and shaders are kept.
GpuResult gpu_reset(int width, int height);
// The next present reports device loss. With needs_reset the cooperative-level test then answers
// "not reset" until gpu_reset; without it the device comes back by itself: the test answers OK.
void gpu_debug_lose_device(bool needs_reset = true);
// For tests: while capture is on, each present keeps what it put in the window (read before
// the swap, after which GL leaves the window's back buffer undefined). The pixel is ARGB, x and
// y from the window's top left; false outside the captured size or before a capture.
void gpu_debug_capture_window(bool on);
bool gpu_debug_window_pixel(int x, int y, uint32_t *argb);
void gpu_debug_window_size(int *width, int *height);

// ---------------------------------------------------------------------------------------------
// States (every call is applied; the layer skips GL calls that change nothing)
void gpu_set_render_state(uint32_t state, uint32_t value);
uint32_t gpu_get_render_state(uint32_t state);
void gpu_set_sampler_state(uint32_t stage, uint32_t state, uint32_t value);
void gpu_set_texture_stage_state(uint32_t stage, uint32_t state, uint32_t value);
void gpu_set_viewport(const GpuViewport *vp);
void gpu_get_viewport(GpuViewport *vp);
void gpu_set_scissor_rect(const GpuRect *rect);
void gpu_get_scissor_rect(GpuRect *rect);
GpuResult gpu_clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil);
void gpu_set_clip_plane(uint32_t index, const float plane[4]);
void gpu_set_transform(uint32_t kind, const float m[16]); // row-vector matrices
void gpu_set_light(uint32_t index, const GpuLight *light);
void gpu_light_enable(uint32_t index, bool enable);
void gpu_set_material(const GpuMaterial *material);

// ---------------------------------------------------------------------------------------------
// Textures and surfaces. levels: 1, or 0 for a full chain.
GpuTexture *gpu_texture_create(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                               uint32_t format, uint32_t pool);
// From a PNG, JPEG, BMP or DDS file image: rounded up to powers of two and stretched (linear);
// mip_levels 1 or 0 (full chain, linear). info receives the image's own size and format.
GpuTexture *gpu_texture_create_from_memory(const void *data, size_t size, uint32_t mip_levels,
                                           GpuImageInfo *info);
GpuTexture *gpu_texture_create_from_file(const char *path, uint32_t mip_levels, GpuImageInfo *info);
void gpu_texture_release(GpuTexture *tex);
uint32_t gpu_texture_level_count(GpuTexture *tex);
bool gpu_texture_get_desc(GpuTexture *tex, uint32_t level, GpuSurfaceDesc *desc);
// Lock a rectangle of a level (null = whole level): a CPU copy, uploaded at unlock. The copy
// is kept, so a later lock of any rectangle reads what was written; its first lock starts it
// from the texture's contents. The pitch is one row of the level (of 4x4 blocks for DXT, whose
// rectangles must fall on block edges). False for render targets (read them back instead), a
// rectangle outside the level or empty, or a level that is already locked.
bool gpu_texture_lock(GpuTexture *tex, uint32_t level, const GpuRect *rect, GpuLockedRect *out);
void gpu_texture_unlock(GpuTexture *tex, uint32_t level);
// The level-0 surface of a render-target texture, owned by the texture (null for others).
GpuSurface *gpu_texture_get_surface(GpuTexture *tex);
void gpu_set_texture(uint32_t stage, GpuTexture *tex);

// Depth-stencil surfaces: D16 or D24S8 (other stencil formats are made as D24S8).
GpuSurface *gpu_depth_surface_create(uint32_t width, uint32_t height, uint32_t format);
void gpu_surface_release(GpuSurface *surface); // depth surfaces only; others are owned
bool gpu_surface_get_desc(GpuSurface *surface, GpuSurfaceDesc *desc);
GpuSurface *gpu_get_back_buffer(void); // owned by the device
// index 0 or 1; target 0 may not be null (the back buffer stands for "none" there).
GpuResult gpu_set_render_target(uint32_t index, GpuSurface *surface);
GpuSurface *gpu_get_render_target(uint32_t index);
void gpu_set_depth_surface(GpuSurface *surface);
GpuSurface *gpu_get_depth_surface(void);
// Reads a rectangle of a colour surface as ARGB words, top row first.
bool gpu_read_pixels(GpuSurface *surface, int x, int y, int width, int height, uint32_t *argb);

// ---------------------------------------------------------------------------------------------
// Buffers (managed; 16-bit indices)
GpuVertexBuffer *gpu_vertex_buffer_create(uint32_t bytes);
void *gpu_vertex_buffer_lock(GpuVertexBuffer *vb);
void gpu_vertex_buffer_unlock(GpuVertexBuffer *vb);
void gpu_vertex_buffer_release(GpuVertexBuffer *vb);
GpuIndexBuffer *gpu_index_buffer_create(uint32_t bytes);
void *gpu_index_buffer_lock(GpuIndexBuffer *ib);
void gpu_index_buffer_unlock(GpuIndexBuffer *ib);
void gpu_index_buffer_release(GpuIndexBuffer *ib);

// ---------------------------------------------------------------------------------------------
// Vertex layouts and draws
// Flexible format codes: 0x244, 0x844, 0x342, 0x152, 0x112, 0x1008/0x100A/0x100C/0x100E, ...
uint32_t gpu_fvf_stride(uint32_t fvf); // 0 for a code the layer cannot lay out
void gpu_set_fvf(uint32_t fvf);        // also unbinds any declaration
GpuVertexDecl *gpu_vertex_decl_create(const GpuVertexElement *elements);
void gpu_vertex_decl_release(GpuVertexDecl *decl);
void gpu_set_vertex_decl(GpuVertexDecl *decl);
void gpu_set_stream_source(GpuVertexBuffer *vb, uint32_t offset, uint32_t stride);
void gpu_set_indices(GpuIndexBuffer *ib);
GpuResult gpu_draw_primitive(uint32_t type, uint32_t start_vertex, uint32_t prim_count);
GpuResult gpu_draw_indexed_primitive(uint32_t type, int32_t base_vertex, uint32_t min_index,
                                     uint32_t num_vertices, uint32_t start_index,
                                     uint32_t prim_count);
GpuResult gpu_draw_primitive_up(uint32_t type, uint32_t prim_count, const void *vertices,
                                uint32_t stride);
GpuResult gpu_draw_indexed_primitive_up(uint32_t type, uint32_t min_index, uint32_t num_vertices,
                                        uint32_t prim_count, const uint16_t *indices,
                                        const void *vertices, uint32_t stride);
// The shared quad index list (4,096 quads: 4q, 4q+1, 4q+2, 4q+3, 4q+2, 4q+1) as one static
// buffer: indexed user-pointer draws whose indices are exactly that list use it.
void gpu_set_quad_index_list(const uint16_t *indices, uint32_t quad_count);

// ---------------------------------------------------------------------------------------------
// Shaders. Sources are GLSL 4.50 defining `void <entry>()`; the layer appends the main
// that calls the entry point and compiles a separable program. err receives the log.
// - "#version 450 core" is put in front unless the source has a #version line.
// - Vertex inputs sit at the GpuAttribLocation locations. The appended vertex main also
//   writes gl_ClipDistance[0-5] = dot(gl_Position, clip plane i) (planes from
//   gpu_set_clip_plane, in clip space for shaders; a plane whose bit of render state 152
//   is off is zero and clips nothing), moves gl_Position by the half pixel
//   between the renderer's pixel centres and GL's, and sets gl_PointSize 1; a source that
//   redeclares gl_PerVertex keeps gl_Position, gl_PointSize and gl_ClipDistance[6].
// - Vertex outputs that the fixed-function pixel stage reads (when a vertex shader is paired
//   with no pixel shader): location 0 vec4 diffuse, 1 vec4 specular, 2 + i vec4 texture
//   coordinate set i (0-7), 10 float view depth for fog.
// - The appended pixel main applies the alpha test (render states 15, 24, 25) to the first
//   `out vec4` the source declares, then, while fog is on (render states 28 and 35 or 140 =
//   3, linear), blends it toward the fog colour (34) by the view depth at location 10
//   between fog start (36) and end (37). A pixel source that declares no input there gets
//   one; a vertex source that writes nothing there gets gl_Position.w written there. A
//   source whose own declarations cover location 10 otherwise compiles without fog.
// - Vertices with a pre-transformed position (rhw) never run a vertex shader.
// - A vertex source may declare `uniform int gpu_blend_weights`: each draw sets it to the
//   number of blend weights (0-4) its vertices store.
// - Constants: the source's own top-level uniforms (default block); matrices are uploaded so
//   that `position * m` in GLSL is the row-vector product (mat4, mat3, mat3x4 or vec4 rows).
GpuShader *gpu_shader_compile_file(const char *path, const char *entry, GpuShaderKind kind,
                                   char *err, size_t err_size);
GpuShader *gpu_shader_compile_source(const char *source, const char *entry, GpuShaderKind kind,
                                     char *err, size_t err_size);
void gpu_shader_release(GpuShader *shader);
void gpu_set_vertex_shader(GpuShader *shader); // null = fixed function
void gpu_set_pixel_shader(GpuShader *shader);  // null = fixed function
// Constant table of a shader: top-level uniforms by name. 0 = not found.
uint32_t gpu_constant_find(GpuShader *shader, const char *name);
void gpu_constant_set_matrix(GpuShader *shader, uint32_t handle, const float m[16]);
void gpu_constant_set_matrix_array(GpuShader *shader, uint32_t handle, const float *m,
                                   uint32_t count);
void gpu_constant_set_vector(GpuShader *shader, uint32_t handle, const float v[4]);
void gpu_constant_set_vector_array(GpuShader *shader, uint32_t handle, const float *v,
                                   uint32_t count);
void gpu_constant_set_float(GpuShader *shader, uint32_t handle, float f);
void gpu_constant_set_int(GpuShader *shader, uint32_t handle, int32_t i);

// ---------------------------------------------------------------------------------------------
// Trace of state changes and draws, for tests that check call order and batching.
enum GpuTraceKind : uint8_t {
    GPU_TRACE_RENDER_STATE,
    GPU_TRACE_SAMPLER_STATE,
    GPU_TRACE_STAGE_STATE,
    GPU_TRACE_SET_TEXTURE,
    GPU_TRACE_SET_TARGET,
    GPU_TRACE_VIEWPORT,
    GPU_TRACE_SCISSOR,
    GPU_TRACE_CLEAR,
    GPU_TRACE_SHADER,
    GPU_TRACE_DRAW,
    GPU_TRACE_PRESENT,
};
// a, b, c by kind: render state 0, state, value; sampler and stage states stage, state, value;
// texture stage; target index (2 = depth surface); viewport x, y, width; scissor left, top,
// right; clear flags, colour, stencil; shader 0 vertex / 1 pixel; draw primitive type,
// primitive count, vertex count (the vertex range for indexed draws). Every call is recorded,
// changed or not.
struct GpuTraceEntry {
    GpuTraceKind kind;
    uint32_t a, b, c;
    const void *ptr; // texture, surface or shader where one is involved
};
void gpu_trace_enable(bool on);
void gpu_trace_clear(void);
const GpuTraceEntry *gpu_trace_entries(size_t *count);
// Uniform uploads sent to GL since the device was created (a changed value of a program's
// uniform, or of an array's elements, counts one).
uint64_t gpu_debug_uniform_uploads(void);
