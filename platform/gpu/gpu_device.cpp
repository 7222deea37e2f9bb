// Device lifecycle: the GL context on the caller's SDL window, the back buffer (always a
// texture), present (a flipped, stretched copy into the window, then a swap) and the emulated
// loss and reset.
#include "platform/gpu/gpu_internal.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

GpuDevice g_gpu;

static bool gl_has_extension(const char *name) {
    GLint n = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &n);
    for (GLint i = 0; i < n; i++) {
        const char *e = (const char *)glGetStringi(GL_EXTENSIONS, (GLuint)i);
        if (e && std::strcmp(e, name) == 0) return true;
    }
    return false;
}

static void default_caps(GpuCaps *caps) {
    caps->vertex_shader_version = 0xFFFE0300u;
    caps->pixel_shader_version = 0xFFFF0300u;
    caps->simultaneous_rts = 2;
    caps->max_texture_size = 8192;
    caps->compressed_textures = true;
}

bool gpu_get_adapter_caps(GpuCaps *caps) {
    if (!caps) return false;
    if (g_gpu.created) {
        *caps = g_gpu.caps;
        return true;
    }
    default_caps(caps);
    return true;
}

uint32_t gpu_get_display_format(void) {
    return GPU_FMT_X8R8G8B8;
}

static void client_size(int *w, int *h) {
    SDL_GetWindowSize(g_gpu.window, w, h);
    if (*w < 1) *w = 1;
    if (*h < 1) *h = 1;
}

static void drop_back_buffer_texture(void) {
    GpuSurface *bb = g_gpu.back_buffer;
    if (!bb->tex) return;
    // Detach first: a later texture may get the same name.
    GpuGlCache &c = g_gpu.gl;
    for (int i = 0; i < 2; i++)
        if (c.fbo_color[i] == bb->tex) {
            glNamedFramebufferTexture(g_gpu.fbo, GL_COLOR_ATTACHMENT0 + i, 0, 0);
            c.fbo_color[i] = 0;
        }
    glNamedFramebufferTexture(g_gpu.read_fbo, GL_COLOR_ATTACHMENT0, 0, 0);
    glDeleteTextures(1, &bb->tex);
    bb->tex = 0;
}

// The back buffer, without stored alpha so destination alpha reads 1. It is a texture in the
// same byte order as every render target, drawn through the same framebuffer object, never the
// window's own framebuffer: Mesa's software rasteriser draws into BGRA surfaces such as the
// window's through faster paths of its own, which round interpolants and break exact ties
// unlike its general path (which texel a sample at a half-pixel position reads, which pixel a
// shared edge takes) and which it picks per batch of draws. Kept off them, a draw gives the
// same pixels in every target. Present copies it into the window.
static bool make_back_buffer(int width, int height) {
    if (width == 0 || height == 0) client_size(&width, &height);
    if (width < 0) width = -width;
    if (height < 0) height = -height;
    GpuSurface *s = g_gpu.back_buffer;
    if (!s) {
        s = gpu_surface_alloc();
        if (!s) return false;
        g_gpu.back_buffer = s;
    }
    drop_back_buffer_texture();
    s->kind = GPU_SURF_BACK_BUFFER;
    s->format = GPU_FMT_X8R8G8B8;
    s->info = gpu_format_info(GPU_FMT_X8R8G8B8);
    s->width = (uint32_t)width;
    s->height = (uint32_t)height;
    s->owner = nullptr;
    g_gpu.bb_width = width;
    g_gpu.bb_height = height;
    glCreateTextures(GL_TEXTURE_2D, 1, &s->tex);
    glTextureStorage2D(s->tex, 1, GL_RGB8, width, height);
    return glGetError() == GL_NO_ERROR;
}

// Target 0 = back buffer, no target 1, no depth surface; viewport and scissor cover it.
static void bind_default_targets(void) {
    g_gpu.targets[0] = g_gpu.back_buffer;
    g_gpu.targets[1] = nullptr;
    g_gpu.depth = nullptr;
    g_gpu.viewport = {0, 0, (uint32_t)g_gpu.bb_width, (uint32_t)g_gpu.bb_height, 0.0f, 1.0f};
    g_gpu.scissor = {0, 0, g_gpu.bb_width, g_gpu.bb_height};
    g_gpu.ff_generation++; // the programs' viewport uniforms
}

static void destroy_context(void) {
    if (g_gpu.context) {
        SDL_GL_MakeCurrent(g_gpu.window, nullptr);
        SDL_GL_DeleteContext(g_gpu.context);
    }
    g_gpu.context = nullptr;
}

// A software GL driver allocates and frees its per-frame working memory (transformed
// vertices, binned triangles) in large blocks. By default the C library hands freed heap
// memory back to the system and maps big blocks afresh, so every frame faults those pages in
// again; keeping them costs a few megabytes and saves that work every frame.
static void keep_freed_heap_memory(void) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

GpuResult gpu_create_device(SDL_Window *window, int kind, int width, int height) {
    if (!window || g_gpu.created) return GPU_ERR_INVALID_CALL;
    std::memset(&g_gpu, 0, sizeof(g_gpu));
    g_gpu.window = window;
    keep_freed_heap_memory();

    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    if (kind == 0) SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    // The software rasteriser (Mesa's llvmpipe) is asked for through the environment, which is
    // put back as it was once the context exists: later devices choose for themselves.
    const char *had = kind == 2 ? std::getenv("LIBGL_ALWAYS_SOFTWARE") : nullptr;
    std::string saved = had ? had : "";
    if (kind == 2) {
        SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 0);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    }
    g_gpu.context = SDL_GL_CreateContext(window);
    if (kind == 2) {
        if (had)
            setenv("LIBGL_ALWAYS_SOFTWARE", saved.c_str(), 1);
        else
            unsetenv("LIBGL_ALWAYS_SOFTWARE");
    }
    if (!g_gpu.context) return GPU_FAIL;
    if (SDL_GL_MakeCurrent(window, g_gpu.context) != 0) {
        destroy_context();
        return GPU_FAIL;
    }
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 45) {
        destroy_context();
        return GPU_FAIL;
    }
    SDL_GL_SetSwapInterval(0);

    default_caps(&g_gpu.caps);
    GLint max_tex = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_tex);
    g_gpu.caps.max_texture_size = (uint32_t)max_tex;
    g_gpu.caps.compressed_textures = gl_has_extension("GL_EXT_texture_compression_s3tc");

    glCreateFramebuffers(1, &g_gpu.fbo);
    glCreateFramebuffers(1, &g_gpu.read_fbo);
    glCreateProgramPipelines(1, &g_gpu.pipeline);
    glBindProgramPipeline(g_gpu.pipeline);
    glCreateSamplers(GPU_MAX_STAGES, g_gpu.samplers);
    for (GLuint i = 0; i < GPU_MAX_STAGES; i++) glBindSampler(i, g_gpu.samplers[i]);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_gpu.fbo);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // Attributes a layout lacks read these values: white diffuse, zero elsewhere.
    for (GLuint i = 0; i < GPU_ATTR_COUNT; i++) glVertexAttrib4f(i, 0, 0, 0, 1);
    glVertexAttrib4f(GPU_ATTR_COLOR, 1, 1, 1, 1);
    glVertexAttrib4f(GPU_ATTR_NORMAL, 0, 0, 0, 0);

    gpu_gl_cache_init();
    if (!gpu_buffer_init() || !make_back_buffer(width, height)) {
        g_gpu.created = true;
        gpu_destroy_device();
        return GPU_FAIL;
    }
    g_gpu.created = true;
    gpu_state_init_defaults();
    bind_default_targets();
    return GPU_OK;
}

void gpu_destroy_device(void) {
    if (!g_gpu.created) return;
    gpu_shader_release_all();
    gpu_ffp_shutdown();
    gpu_layout_shutdown();
    gpu_buffer_shutdown();
    gpu_texture_release_all();
    gpu_texture_image_shutdown();
    glDeleteFramebuffers(1, &g_gpu.fbo);
    glDeleteFramebuffers(1, &g_gpu.read_fbo);
    glDeleteProgramPipelines(1, &g_gpu.pipeline);
    glDeleteSamplers(GPU_MAX_STAGES, g_gpu.samplers);
    destroy_context();
    std::memset(&g_gpu, 0, sizeof(g_gpu));
}

bool gpu_has_device(void) {
    return g_gpu.created;
}

bool gpu_get_device_caps(GpuCaps *caps) {
    if (!caps || !g_gpu.created) return false;
    *caps = g_gpu.caps;
    return true;
}

void gpu_get_back_buffer_size(int *width, int *height) {
    if (width) *width = g_gpu.bb_width;
    if (height) *height = g_gpu.bb_height;
}

GpuResult gpu_begin_scene(void) {
    return g_gpu.created ? GPU_OK : GPU_ERR_INVALID_CALL;
}
GpuResult gpu_end_scene(void) {
    return g_gpu.created ? GPU_OK : GPU_ERR_INVALID_CALL;
}

// What the last present put in the window, kept for tests while capturing is on.
static struct {
    bool on;
    int width, height;
    std::vector<uint32_t> argb;
} s_capture;

// Reads the window's framebuffer before the swap leaves it undefined.
static void capture_window(int dw, int dh) {
    s_capture.width = dw;
    s_capture.height = dh;
    s_capture.argb.assign((size_t)dw * (size_t)dh, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, dw, dh, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, s_capture.argb.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_gpu.fbo);
}

void gpu_debug_capture_window(bool on) {
    s_capture.on = on;
    s_capture.argb.clear();
    s_capture.width = s_capture.height = 0;
}

bool gpu_debug_window_pixel(int x, int y, uint32_t *argb) {
    if (!argb || x < 0 || y < 0 || x >= s_capture.width || y >= s_capture.height) return false;
    // The window's rows count from the bottom.
    *argb = s_capture.argb[(size_t)(s_capture.height - 1 - y) * s_capture.width + x] | 0xFF000000u;
    return true;
}

void gpu_debug_window_size(int *width, int *height) {
    if (width) *width = s_capture.width;
    if (height) *height = s_capture.height;
}

// Copies the back buffer's texture over the whole drawable: stretched when the sizes differ,
// flipped because the window's row 0 is its bottom.
static void blit_to_window(int dw, int dh) {
    GpuSurface *bb = g_gpu.back_buffer;
    if (dw != g_gpu.window_width || dh != g_gpu.window_height) {
        // A software GL driver may keep the window's old size until a viewport is set on it,
        // and cut the picture to that size.
        g_gpu.window_width = dw;
        g_gpu.window_height = dh;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        g_gpu.gl.draw_fbo = 0;
        glViewport(0, 0, dw, dh);
        GLint *v = g_gpu.gl.viewport;
        v[0] = 0, v[1] = 0, v[2] = dw, v[3] = dh;
    }
    glNamedFramebufferTexture(g_gpu.read_fbo, GL_COLOR_ATTACHMENT0, bb->tex, 0);
    glNamedFramebufferReadBuffer(g_gpu.read_fbo, GL_COLOR_ATTACHMENT0);
    gpu_gl_set_scissor_test(false);
    gpu_gl_set_color_mask(true, true, true, true);
    // Pixel for pixel at the same size: nearest, so the copy is exact; stretched, linear.
    const bool same_size = dw == (int)bb->width && dh == (int)bb->height;
    glBlitNamedFramebuffer(g_gpu.read_fbo, 0, 0, 0, (GLint)bb->width, (GLint)bb->height, 0, dh, dw,
                           0, GL_COLOR_BUFFER_BIT, same_size ? GL_NEAREST : GL_LINEAR);
}

// The back buffer keeps its picture after the copy, so a frame that drew nothing shows the
// last one again.
GpuResult gpu_present(void) {
    if (!g_gpu.created) return GPU_ERR_INVALID_CALL;
    if (g_gpu.lose_next_present) {
        g_gpu.lose_next_present = false;
        g_gpu.lost = true;
    }
    if (g_gpu.lost) return GPU_ERR_DEVICE_LOST;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(g_gpu.window, &dw, &dh);
    blit_to_window(dw, dh);
    if (s_capture.on) capture_window(dw, dh);
    SDL_GL_SwapWindow(g_gpu.window);
    gpu_trace(GPU_TRACE_PRESENT, 0, 0, 0, nullptr);
    return GPU_OK;
}

GpuResult gpu_test_cooperative_level(void) {
    if (!g_gpu.created) return GPU_ERR_INVALID_CALL;
    if (g_gpu.lost && !g_gpu.loss_needs_reset) g_gpu.lost = false; // back by itself
    return g_gpu.lost ? GPU_ERR_DEVICE_NOT_RESET : GPU_OK;
}

// States, textures, buffers and shaders survive; the back buffer is made again at the new size
// and bound as target 0 with no target 1 and no depth surface.
GpuResult gpu_reset(int width, int height) {
    if (!g_gpu.created) return GPU_ERR_INVALID_CALL;
    if (!make_back_buffer(width, height)) return GPU_FAIL;
    g_gpu.gl.fbo_color[0] = g_gpu.gl.fbo_color[1] = ~0u; // attachment names may be reused
    g_gpu.gl.fbo_depth = ~0u;
    bind_default_targets();
    g_gpu.lost = false;
    g_gpu.lose_next_present = false;
    return GPU_OK;
}

void gpu_debug_lose_device(bool needs_reset) {
    if (!g_gpu.created) return;
    g_gpu.lose_next_present = true;
    g_gpu.loss_needs_reset = needs_reset;
}
