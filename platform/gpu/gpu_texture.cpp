// Textures, render targets, depth surfaces, lock/unlock through a CPU copy, target binding and
// readback. Texture rows are stored top row first, so v = 0 samples the top of an image.
#include "platform/gpu/gpu_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

enum { GPU_MAX_TEXTURES = 8192, GPU_MAX_SURFACES = 4096 };

static GpuTexture s_textures[GPU_MAX_TEXTURES];
static GpuSurface s_surfaces[GPU_MAX_SURFACES];

GpuTexture *gpu_texture_alloc(void) {
    for (GpuTexture &t : s_textures)
        if (!t.used) {
            std::memset(&t, 0, sizeof(t));
            t.used = true;
            return &t;
        }
    return nullptr;
}

GpuSurface *gpu_surface_alloc(void) {
    for (GpuSurface &s : s_surfaces)
        if (!s.used) {
            std::memset(&s, 0, sizeof(s));
            s.used = true;
            return &s;
        }
    return nullptr;
}

void gpu_surface_free(GpuSurface *s) {
    if (!s || !s->used) return;
    if (s->kind == GPU_SURF_DEPTH) {
        if (s->tex && g_gpu.created) glDeleteRenderbuffers(1, &s->tex);
    } else if (s->kind == GPU_SURF_BACK_BUFFER) {
        if (s->tex && g_gpu.created) glDeleteTextures(1, &s->tex);
    }
    s->used = false;
    s->tex = 0;
}

static uint32_t full_chain(uint32_t w, uint32_t h) {
    uint32_t n = 1, m = w > h ? w : h;
    while (m > 1) m >>= 1, n++;
    return n;
}

static uint32_t level_dim(uint32_t v, uint32_t level) {
    v >>= level;
    return v ? v : 1;
}

// Unbinds a texture or surface from every slot that still names it.
static void forget_bindings(GpuTexture *tex, GpuSurface *surf) {
    for (uint32_t s = 0; s < GPU_MAX_STAGES; s++)
        if (tex && g_gpu.textures[s] == tex) g_gpu.textures[s] = nullptr;
    if (surf) {
        if (g_gpu.targets[0] == surf) g_gpu.targets[0] = g_gpu.back_buffer;
        if (g_gpu.targets[1] == surf) g_gpu.targets[1] = nullptr;
        if (g_gpu.depth == surf) g_gpu.depth = nullptr;
        // The GL name may be reused by a later object: forget the attachment cache.
        g_gpu.gl.fbo_color[0] = g_gpu.gl.fbo_color[1] = g_gpu.gl.fbo_depth = ~0u;
    }
    if (tex)
        for (GLuint &b : g_gpu.gl.bound_tex)
            if (b == tex->tex) b = ~0u;
}

GpuTexture *gpu_texture_create(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                               uint32_t format, uint32_t pool) {
    return gpu_texture_create_storage(width, height, levels, usage, format, pool, true);
}

GpuTexture *gpu_texture_create_storage(uint32_t width, uint32_t height, uint32_t levels,
                                       uint32_t usage, uint32_t format, uint32_t pool,
                                       bool zero_fill) {
    if (!g_gpu.created || width == 0 || height == 0) return nullptr;
    if (width > g_gpu.caps.max_texture_size || height > g_gpu.caps.max_texture_size) return nullptr;
    const GpuFormatInfo *fi = gpu_format_info(format);
    if (!fi || fi->depth) return nullptr;
    if (fi->bytes == 0 && !g_gpu.caps.compressed_textures) return nullptr;
    bool target = (usage & GPU_USAGE_RENDER_TARGET) != 0;
    if (target && fi->bytes == 0) return nullptr;
    uint32_t chain = full_chain(width, height);
    if (levels == 0 || levels > chain) levels = chain;
    GpuTexture *t = gpu_texture_alloc();
    if (!t) return nullptr;
    t->width = width;
    t->height = height;
    t->levels = levels;
    t->usage = usage;
    t->format = format;
    t->pool = pool;
    t->info = fi;
    while (glGetError() != GL_NO_ERROR) {
    }
    glCreateTextures(GL_TEXTURE_2D, 1, &t->tex);
    glTextureStorage2D(t->tex, (GLsizei)levels, fi->internal, (GLsizei)width, (GLsizei)height);
    glTextureParameteriv(t->tex, GL_TEXTURE_SWIZZLE_RGBA, fi->swizzle);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &t->tex);
        t->used = false;
        return nullptr;
    }
    if (fi->bytes && zero_fill) // defined contents: zero
        for (uint32_t l = 0; l < levels; l++)
            glClearTexImage(t->tex, (GLint)l, fi->gl_format, fi->gl_type, nullptr);
    if (target) {
        GpuSurface *s = gpu_surface_alloc();
        if (!s) {
            glDeleteTextures(1, &t->tex);
            t->used = false;
            return nullptr;
        }
        s->kind = GPU_SURF_TARGET;
        s->tex = t->tex;
        s->width = width;
        s->height = height;
        s->format = format;
        s->info = fi;
        s->owner = t;
        t->surface = s;
    }
    return t;
}

void gpu_texture_release(GpuTexture *tex) {
    if (!tex || !tex->used) return;
    forget_bindings(tex, tex->surface);
    if (tex->surface) {
        tex->surface->used = false;
        tex->surface = nullptr;
    }
    if (tex->tex && g_gpu.created) glDeleteTextures(1, &tex->tex);
    for (uint8_t *&p : tex->shadow) {
        std::free(p);
        p = nullptr;
    }
    tex->used = false;
}

void gpu_texture_release_all(void) {
    for (GpuTexture &t : s_textures)
        if (t.used) gpu_texture_release(&t);
    for (GpuSurface &s : s_surfaces)
        if (s.used) gpu_surface_free(&s);
}

uint32_t gpu_texture_level_count(GpuTexture *tex) {
    return tex && tex->used ? tex->levels : 0;
}

bool gpu_texture_get_desc(GpuTexture *tex, uint32_t level, GpuSurfaceDesc *desc) {
    if (!tex || !tex->used || !desc || level >= tex->levels) return false;
    desc->format = tex->format;
    desc->usage = tex->usage;
    desc->pool = tex->pool;
    desc->width = level_dim(tex->width, level);
    desc->height = level_dim(tex->height, level);
    return true;
}

bool gpu_texture_lock(GpuTexture *tex, uint32_t level, const GpuRect *rect, GpuLockedRect *out) {
    if (!tex || !tex->used || !out || level >= tex->levels || !g_gpu.created) return false;
    if (tex->surface || tex->locked[level]) return false;
    const GpuFormatInfo *fi = tex->info;
    int lw = (int)level_dim(tex->width, level), lh = (int)level_dim(tex->height, level);
    GpuRect r = rect ? *rect : GpuRect{0, 0, lw, lh};
    if (r.left < 0 || r.top < 0 || r.right > lw || r.bottom > lh || r.left >= r.right ||
        r.top >= r.bottom)
        return false;
    if (fi->bytes == 0) {
        // Compressed levels lock whole blocks.
        if ((r.left & 3) || (r.top & 3) || ((r.right & 3) && r.right != lw) ||
            ((r.bottom & 3) && r.bottom != lh))
            return false;
    }
    uint32_t size = gpu_format_level_bytes(fi, (uint32_t)lw, (uint32_t)lh);
    if (!tex->shadow[level]) {
        // First lock of this level: the CPU copy starts from what the texture holds.
        uint8_t *p = (uint8_t *)std::malloc(size);
        if (!p) return false;
        if (fi->bytes)
            glGetTextureImage(tex->tex, (GLint)level, fi->gl_format, fi->gl_type, (GLsizei)size, p);
        else
            glGetCompressedTextureImage(tex->tex, (GLint)level, (GLsizei)size, p);
        tex->shadow[level] = p;
    }
    uint32_t pitch = gpu_format_pitch(fi, (uint32_t)lw);
    uint8_t *bits = tex->shadow[level];
    if (fi->bytes)
        bits += (size_t)r.top * pitch + (size_t)r.left * fi->bytes;
    else
        bits += (size_t)(r.top / 4) * pitch + (size_t)(r.left / 4) * fi->block_bytes;
    out->pitch = (int32_t)pitch;
    out->bits = bits;
    tex->locked[level] = true;
    tex->lock_rect[level] = r;
    return true;
}

void gpu_texture_unlock(GpuTexture *tex, uint32_t level) {
    if (!tex || !tex->used || level >= tex->levels || !tex->locked[level]) return;
    tex->locked[level] = false;
    if (!g_gpu.created) return;
    const GpuFormatInfo *fi = tex->info;
    uint32_t lw = level_dim(tex->width, level), lh = level_dim(tex->height, level);
    const GpuRect &r = tex->lock_rect[level];
    if (fi->bytes) {
        uint32_t pitch = gpu_format_pitch(fi, lw);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, (GLint)lw);
        glTextureSubImage2D(tex->tex, (GLint)level, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, fi->gl_format, fi->gl_type,
                            tex->shadow[level] + (size_t)r.top * pitch +
                                (size_t)r.left * fi->bytes);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    } else {
        glCompressedTextureSubImage2D(tex->tex, (GLint)level, 0, 0, (GLsizei)lw, (GLsizei)lh,
                                      fi->internal, (GLsizei)gpu_format_level_bytes(fi, lw, lh),
                                      tex->shadow[level]);
    }
}

GpuSurface *gpu_texture_get_surface(GpuTexture *tex) {
    return tex && tex->used ? tex->surface : nullptr;
}

void gpu_set_texture(uint32_t stage, GpuTexture *tex) {
    gpu_trace(GPU_TRACE_SET_TEXTURE, stage, 0, 0, tex);
    if (stage >= GPU_MAX_STAGES) return;
    g_gpu.textures[stage] = tex && tex->used ? tex : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Depth surfaces and targets

GpuSurface *gpu_depth_surface_create(uint32_t width, uint32_t height, uint32_t format) {
    if (!g_gpu.created || width == 0 || height == 0) return nullptr;
    if (width > g_gpu.caps.max_texture_size || height > g_gpu.caps.max_texture_size) return nullptr;
    const GpuFormatInfo *fi = gpu_format_info(format);
    if (!fi || !fi->depth) return nullptr;
    GpuSurface *s = gpu_surface_alloc();
    if (!s) return nullptr;
    s->kind = GPU_SURF_DEPTH;
    s->width = width;
    s->height = height;
    s->format = fi->format;
    s->info = fi;
    glCreateRenderbuffers(1, &s->tex);
    glNamedRenderbufferStorage(s->tex, fi->internal, (GLsizei)width, (GLsizei)height);
    return s;
}

void gpu_surface_release(GpuSurface *surface) {
    if (!surface || !surface->used || surface->kind != GPU_SURF_DEPTH) return;
    forget_bindings(nullptr, surface);
    gpu_surface_free(surface);
}

bool gpu_surface_get_desc(GpuSurface *surface, GpuSurfaceDesc *desc) {
    if (!surface || !surface->used || !desc) return false;
    desc->format = surface->format;
    desc->usage =
        surface->kind == GPU_SURF_DEPTH ? GPU_USAGE_DEPTH_STENCIL : GPU_USAGE_RENDER_TARGET;
    desc->pool = GPU_POOL_DEFAULT;
    desc->width = surface->width;
    desc->height = surface->height;
    return true;
}

GpuSurface *gpu_get_back_buffer(void) {
    return g_gpu.back_buffer;
}

GpuResult gpu_set_render_target(uint32_t index, GpuSurface *surface) {
    gpu_trace(GPU_TRACE_SET_TARGET, index, 0, 0, surface);
    if (!g_gpu.created || index > 1) return GPU_ERR_INVALID_CALL;
    if (surface && (!surface->used || surface->kind == GPU_SURF_DEPTH)) return GPU_ERR_INVALID_CALL;
    if (index == 0 && !surface) return GPU_ERR_INVALID_CALL;
    g_gpu.targets[index] = surface;
    if (index == 0) {
        // Setting target 0 resets the viewport and the scissor rectangle to the whole target.
        g_gpu.viewport = {0, 0, surface->width, surface->height, 0.0f, 1.0f};
        g_gpu.scissor = {0, 0, (int32_t)surface->width, (int32_t)surface->height};
        g_gpu.ff_generation++;
    }
    return GPU_OK;
}

GpuSurface *gpu_get_render_target(uint32_t index) {
    return index <= 1 ? g_gpu.targets[index] : nullptr;
}

void gpu_set_depth_surface(GpuSurface *surface) {
    gpu_trace(GPU_TRACE_SET_TARGET, 2, 0, 0, surface);
    if (surface && (!surface->used || surface->kind != GPU_SURF_DEPTH)) return;
    g_gpu.depth = surface;
}

GpuSurface *gpu_get_depth_surface(void) {
    return g_gpu.depth;
}

void gpu_apply_framebuffer(bool second_output) {
    GpuGlCache &c = g_gpu.gl;
    if (c.draw_fbo != g_gpu.fbo) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g_gpu.fbo);
        c.draw_fbo = g_gpu.fbo;
    }
    GLuint c0 = g_gpu.targets[0] ? g_gpu.targets[0]->tex : 0;
    GLuint c1 = g_gpu.targets[1] ? g_gpu.targets[1]->tex : 0;
    if (c.fbo_color[0] != c0) glNamedFramebufferTexture(g_gpu.fbo, GL_COLOR_ATTACHMENT0, c0, 0);
    if (c.fbo_color[1] != c1) glNamedFramebufferTexture(g_gpu.fbo, GL_COLOR_ATTACHMENT1, c1, 0);
    c.fbo_color[0] = c0;
    c.fbo_color[1] = c1;
    GpuSurface *d = g_gpu.depth;
    GLuint dn = d ? d->tex : 0;
    GLenum da = d && d->info->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    if (c.fbo_depth != dn || c.fbo_depth_attachment != da) {
        glNamedFramebufferRenderbuffer(g_gpu.fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
        if (dn) glNamedFramebufferRenderbuffer(g_gpu.fbo, da, GL_RENDERBUFFER, dn);
        c.fbo_depth = dn;
        c.fbo_depth_attachment = da;
    }
    int n = c1 && second_output ? 2 : 1;
    if (c.draw_buffers != n) {
        static const GLenum BUFS[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
        glNamedFramebufferDrawBuffers(g_gpu.fbo, n, BUFS);
        c.draw_buffers = n;
    }
}

// Binds the stage textures and sets their sampler objects from the sampler states.
void gpu_apply_textures(void) {
    GpuGlCache &c = g_gpu.gl;
    for (uint32_t s = 0; s < GPU_MAX_STAGES; s++) {
        GpuTexture *t = g_gpu.textures[s];
        GLuint name = t ? t->tex : 0;
        if (c.bound_tex[s] != name) {
            glBindTextureUnit(s, name);
            c.bound_tex[s] = name;
        }
        if (!t) continue;
        const uint32_t *ss = g_gpu.samp[s];
        GLint ws = ss[GPU_SAMP_ADDRESSU] == 3 ? GL_CLAMP_TO_EDGE : GL_REPEAT;
        GLint wt = ss[GPU_SAMP_ADDRESSV] == 3 ? GL_CLAMP_TO_EDGE : GL_REPEAT;
        GLint mag = ss[GPU_SAMP_MAGFILTER] >= 2 ? GL_LINEAR : GL_NEAREST;
        bool lin = ss[GPU_SAMP_MINFILTER] >= 2;
        uint32_t mip = ss[GPU_SAMP_MIPFILTER];
        GLint min = mip == 0   ? (lin ? GL_LINEAR : GL_NEAREST)
                    : mip == 1 ? (lin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST)
                               : (lin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR);
        GLuint so = g_gpu.samplers[s];
        if (c.samp_wrap_s[s] != ws)
            glSamplerParameteri(so, GL_TEXTURE_WRAP_S, c.samp_wrap_s[s] = ws);
        if (c.samp_wrap_t[s] != wt)
            glSamplerParameteri(so, GL_TEXTURE_WRAP_T, c.samp_wrap_t[s] = wt);
        if (c.samp_mag[s] != mag)
            glSamplerParameteri(so, GL_TEXTURE_MAG_FILTER, c.samp_mag[s] = mag);
        if (c.samp_min[s] != min)
            glSamplerParameteri(so, GL_TEXTURE_MIN_FILTER, c.samp_min[s] = min);
    }
}

bool gpu_read_pixels(GpuSurface *surface, int x, int y, int width, int height, uint32_t *argb) {
    if (!g_gpu.created || !surface || !surface->used || !argb) return false;
    if (surface->kind == GPU_SURF_DEPTH) return false;
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > (int)surface->width ||
        y + height > (int)surface->height)
        return false;
    glNamedFramebufferTexture(g_gpu.read_fbo, GL_COLOR_ATTACHMENT0, surface->tex, 0);
    glNamedFramebufferReadBuffer(g_gpu.read_fbo, GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_gpu.read_fbo);
    glReadPixels(x, y, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_gpu.fbo);
    return true;
}
