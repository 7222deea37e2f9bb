// Render, sampler and stage states, viewport, scissor, clear, transforms and the light.
// Setters store the caller's values; the GL state is derived from them before each draw
// and clear, and a cache of what GL holds skips every call that would change nothing.
#include "platform/gpu/gpu_internal.h"

#include <cstring>

static uint32_t float_bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

static void identity(float m[16]) {
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// The original platform's defaults; the renderer relies on them.
void gpu_state_init_defaults(void) {
    uint32_t *rs = g_gpu.rs;
    std::memset(rs, 0, sizeof(g_gpu.rs));
    rs[GPU_RS_ZENABLE] = 0; // there is no automatic depth surface
    rs[GPU_RS_FILLMODE] = 3;
    rs[GPU_RS_SHADEMODE] = 2;
    rs[GPU_RS_ZWRITEENABLE] = 1;
    rs[GPU_RS_SRCBLEND] = 2;
    rs[GPU_RS_DESTBLEND] = 1;
    rs[GPU_RS_CULLMODE] = 3;
    rs[GPU_RS_ZFUNC] = 4;
    rs[GPU_RS_ALPHAFUNC] = 8;
    rs[GPU_RS_FOGSTART] = float_bits(0.0f);
    rs[GPU_RS_FOGEND] = float_bits(1.0f);
    rs[38] = float_bits(1.0f); // fog density
    rs[GPU_RS_STENCILFAIL] = rs[GPU_RS_STENCILZFAIL] = rs[GPU_RS_STENCILPASS] = 1;
    rs[GPU_RS_STENCILFUNC] = 8;
    rs[GPU_RS_STENCILMASK] = rs[GPU_RS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[GPU_RS_LIGHTING] = 1;
    rs[GPU_RS_COLORVERTEX] = 1;
    rs[GPU_RS_COLORWRITEENABLE] = 0xF;
    for (uint32_t s = 0; s < GPU_MAX_STAGES; s++) {
        std::memset(g_gpu.samp[s], 0, sizeof(g_gpu.samp[s]));
        g_gpu.samp[s][GPU_SAMP_ADDRESSU] = 1;
        g_gpu.samp[s][GPU_SAMP_ADDRESSV] = 1;
        g_gpu.samp[s][3] = 1; // address W
        g_gpu.samp[s][GPU_SAMP_MAGFILTER] = 1;
        g_gpu.samp[s][GPU_SAMP_MINFILTER] = 1;
        g_gpu.samp[s][GPU_SAMP_MIPFILTER] = 0;
        uint32_t *t = g_gpu.tss[s];
        std::memset(t, 0, sizeof(g_gpu.tss[s]));
        t[GPU_TSS_COLOROP] = s == 0 ? 4 : 1;
        t[GPU_TSS_COLORARG1] = 2;
        t[GPU_TSS_COLORARG2] = 1;
        t[GPU_TSS_ALPHAOP] = s == 0 ? 2 : 1;
        t[GPU_TSS_ALPHAARG1] = 2;
        t[GPU_TSS_ALPHAARG2] = 1;
        t[GPU_TSS_TEXCOORDINDEX] = s;
        g_gpu.textures[s] = nullptr;
    }
    identity(g_gpu.world);
    identity(g_gpu.view);
    identity(g_gpu.proj);
    std::memset(&g_gpu.light, 0, sizeof(g_gpu.light));
    g_gpu.light.type = 3;
    g_gpu.light.diffuse = {1, 1, 1, 0};
    g_gpu.light.direction[2] = 1.0f;
    g_gpu.light_enabled = false;
    std::memset(&g_gpu.material, 0, sizeof(g_gpu.material));
    g_gpu.material.diffuse = {1, 1, 1, 1};
    std::memset(g_gpu.clip_planes, 0, sizeof(g_gpu.clip_planes));
    g_gpu.ff_generation++;
}

// ---------------------------------------------------------------------------------------------
// GL cache

// Puts GL into a known state and records it.
void gpu_gl_cache_init(void) {
    GpuGlCache &c = g_gpu.gl;
    std::memset(&c, 0, sizeof(c));
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    c.depth_mask = true;
    glDepthFunc(GL_LEQUAL);
    c.depth_func = GL_LEQUAL;
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    c.blend_src = GL_ONE;
    c.blend_dst = GL_ZERO;
    glDisable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    c.cull_face = GL_BACK;
    glFrontFace(GL_CCW);
    c.front_face = GL_CCW;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    c.polygon_mode = GL_FILL;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    for (bool &b : c.color_mask) b = true;
    glDisable(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    glViewport(0, 0, 0, 0);
    glDepthRangef(0.0f, 1.0f);
    c.depth_range[1] = 1.0f;
    glDisable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0xFFFFFFFFu);
    c.stencil_func = GL_ALWAYS;
    c.stencil_mask = 0xFFFFFFFFu;
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    c.stencil_fail = c.stencil_zfail = c.stencil_pass = GL_KEEP;
    glStencilMask(0xFFFFFFFFu);
    c.stencil_write_mask = 0xFFFFFFFFu;
    for (int i = 0; i < GPU_MAX_CLIP_PLANES; i++) glDisable(GL_CLIP_DISTANCE0 + i);
    glEnable(GL_PROGRAM_POINT_SIZE);
    c.vertex_stride = -1;
    c.fbo_color[0] = c.fbo_color[1] = c.fbo_depth = ~0u;
    c.draw_fbo = ~0u;
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    // Flat shading takes each triangle's colour from its first vertex.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    c.draw_buffers = -1;
    for (int s = 0; s < GPU_MAX_STAGES; s++) {
        c.samp_wrap_s[s] = c.samp_wrap_t[s] = -1;
        c.samp_min[s] = c.samp_mag[s] = -1;
    }
}

static void gl_enable(GLenum cap, bool on, bool *cached) {
    if (*cached == on) return;
    *cached = on;
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void gpu_gl_set_scissor_test(bool on) {
    gl_enable(GL_SCISSOR_TEST, on, &g_gpu.gl.scissor_test);
}

void gpu_gl_set_scissor(GLint x, GLint y, GLint w, GLint h) {
    GLint *s = g_gpu.gl.scissor;
    if (s[0] == x && s[1] == y && s[2] == w && s[3] == h) return;
    s[0] = x, s[1] = y, s[2] = w, s[3] = h;
    glScissor(x, y, w, h);
}

void gpu_gl_set_viewport(GLint x, GLint y, GLint w, GLint h, float zn, float zf) {
    GpuGlCache &c = g_gpu.gl;
    if (c.viewport[0] != x || c.viewport[1] != y || c.viewport[2] != w || c.viewport[3] != h) {
        c.viewport[0] = x, c.viewport[1] = y, c.viewport[2] = w, c.viewport[3] = h;
        glViewport(x, y, w, h);
    }
    if (c.depth_range[0] != zn || c.depth_range[1] != zf) {
        c.depth_range[0] = zn, c.depth_range[1] = zf;
        glDepthRangef(zn, zf);
    }
}

void gpu_gl_set_color_mask(bool r, bool g, bool b, bool a) {
    bool *m = g_gpu.gl.color_mask;
    if (m[0] == r && m[1] == g && m[2] == b && m[3] == a) return;
    m[0] = r, m[1] = g, m[2] = b, m[3] = a;
    glColorMask(r, g, b, a);
}

void gpu_gl_set_depth_mask(bool on) {
    if (g_gpu.gl.depth_mask == on) return;
    g_gpu.gl.depth_mask = on;
    glDepthMask(on);
}

void gpu_gl_set_stencil_write_mask(GLuint mask) {
    if (g_gpu.gl.stencil_write_mask == mask) return;
    g_gpu.gl.stencil_write_mask = mask;
    glStencilMask(mask);
}

static GLenum compare_func(uint32_t code) {
    static const GLenum F[8] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return code >= 1 && code <= 8 ? F[code - 1] : GL_ALWAYS;
}

static GLenum blend_factor(uint32_t code) {
    switch (code) {
        case 1:
            return GL_ZERO;
        case 2:
            return GL_ONE;
        case 3:
            return GL_SRC_COLOR;
        case 4:
            return GL_ONE_MINUS_SRC_COLOR;
        case 5:
            return GL_SRC_ALPHA;
        case 6:
            return GL_ONE_MINUS_SRC_ALPHA;
        case 7:
            return GL_DST_ALPHA;
        case 8:
            return GL_ONE_MINUS_DST_ALPHA;
        case 9:
            return GL_DST_COLOR;
        case 10:
            return GL_ONE_MINUS_DST_COLOR;
        case 11:
            return GL_SRC_ALPHA_SATURATE;
        default:
            return GL_ONE;
    }
}

static GLenum stencil_op(uint32_t code) {
    static const GLenum OPS[8] = {GL_KEEP, GL_ZERO,   GL_REPLACE,   GL_INCR,
                                  GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return code >= 1 && code <= 8 ? OPS[code - 1] : GL_KEEP;
}

void gpu_apply_draw_states(void) {
    const uint32_t *rs = g_gpu.rs;
    GpuGlCache &c = g_gpu.gl;
    bool has_depth = g_gpu.depth != nullptr;
    gl_enable(GL_DEPTH_TEST, has_depth && rs[GPU_RS_ZENABLE] != 0, &c.depth_test);
    gpu_gl_set_depth_mask(rs[GPU_RS_ZWRITEENABLE] != 0);
    GLenum zf = compare_func(rs[GPU_RS_ZFUNC]);
    if (c.depth_func != zf) glDepthFunc(c.depth_func = zf);

    gl_enable(GL_BLEND, rs[GPU_RS_ALPHABLENDENABLE] != 0, &c.blend);
    GLenum bs = blend_factor(rs[GPU_RS_SRCBLEND]), bd = blend_factor(rs[GPU_RS_DESTBLEND]);
    if (c.blend_src != bs || c.blend_dst != bd) {
        c.blend_src = bs, c.blend_dst = bd;
        glBlendFunc(bs, bd);
    }

    // GL judges winding from clip coordinates as the origin places them; the vertex programs
    // turn y over against the origin (gpu_internal.h), so a triangle clockwise on the target
    // is counter-clockwise to GL. Culling CCW keeps clockwise triangles: GL's CCW is the front.
    uint32_t cull = rs[GPU_RS_CULLMODE];
    gl_enable(GL_CULL_FACE, cull == 2 || cull == 3, &c.cull);
    GLenum front = cull == 2 ? GL_CW : GL_CCW;
    if ((cull == 2 || cull == 3) && c.front_face != front) glFrontFace(c.front_face = front);

    uint32_t fill = rs[GPU_RS_FILLMODE];
    GLenum pm = fill == 2 ? GL_LINE : fill == 1 ? GL_POINT : GL_FILL;
    if (c.polygon_mode != pm) glPolygonMode(GL_FRONT_AND_BACK, c.polygon_mode = pm);

    uint32_t cw = rs[GPU_RS_COLORWRITEENABLE];
    gpu_gl_set_color_mask(cw & 1, cw & 2, cw & 4, cw & 8);

    bool stencil = has_depth && g_gpu.depth->info->stencil && rs[GPU_RS_STENCILENABLE] != 0;
    gl_enable(GL_STENCIL_TEST, stencil, &c.stencil_test);
    if (stencil) {
        GLenum sf = compare_func(rs[GPU_RS_STENCILFUNC]);
        GLint ref = (GLint)(rs[GPU_RS_STENCILREF] & 0xFF);
        GLuint mask = rs[GPU_RS_STENCILMASK];
        if (c.stencil_func != sf || c.stencil_ref != ref || c.stencil_mask != mask) {
            c.stencil_func = sf, c.stencil_ref = ref, c.stencil_mask = mask;
            glStencilFunc(sf, ref, mask);
        }
        GLenum f = stencil_op(rs[GPU_RS_STENCILFAIL]), zf2 = stencil_op(rs[GPU_RS_STENCILZFAIL]),
               p = stencil_op(rs[GPU_RS_STENCILPASS]);
        if (c.stencil_fail != f || c.stencil_zfail != zf2 || c.stencil_pass != p) {
            c.stencil_fail = f, c.stencil_zfail = zf2, c.stencil_pass = p;
            glStencilOp(f, zf2, p);
        }
        gpu_gl_set_stencil_write_mask(rs[GPU_RS_STENCILWRITEMASK]);
    }

    uint32_t clip = rs[GPU_RS_CLIPPLANEENABLE] & 0x3F;
    if (c.clip_enable != clip) {
        for (int i = 0; i < GPU_MAX_CLIP_PLANES; i++) {
            bool want = (clip >> i) & 1;
            if (((c.clip_enable >> i) & 1) == want) continue;
            if (want)
                glEnable(GL_CLIP_DISTANCE0 + i);
            else
                glDisable(GL_CLIP_DISTANCE0 + i);
        }
        c.clip_enable = clip;
    }
    gpu_apply_viewport_scissor();
}

static void target_size(int *w, int *h) {
    GpuSurface *t = g_gpu.targets[0];
    *w = t ? (int)t->width : g_gpu.bb_width;
    *h = t ? (int)t->height : g_gpu.bb_height;
}

// The viewport's y is from the top.
void gpu_apply_viewport_scissor(void) {
    const GpuViewport &v = g_gpu.viewport;
    gpu_gl_set_viewport((GLint)v.x, (GLint)v.y, (GLint)v.width, (GLint)v.height, v.min_z, v.max_z);
    bool on = g_gpu.rs[GPU_RS_SCISSORTESTENABLE] != 0;
    gpu_gl_set_scissor_test(on);
    if (on) {
        int tw, th;
        target_size(&tw, &th);
        GpuRect r = g_gpu.scissor;
        if (r.left < 0) r.left = 0;
        if (r.top < 0) r.top = 0;
        if (r.right > tw) r.right = tw;
        if (r.bottom > th) r.bottom = th;
        int w = r.right > r.left ? r.right - r.left : 0;
        int h = r.bottom > r.top ? r.bottom - r.top : 0;
        gpu_gl_set_scissor(r.left, r.top, w, h);
    }
}

// ---------------------------------------------------------------------------------------------
// Setters

void gpu_set_render_state(uint32_t state, uint32_t value) {
    gpu_trace(GPU_TRACE_RENDER_STATE, 0, state, value, nullptr);
    if (state >= GPU_RENDER_STATE_COUNT || g_gpu.rs[state] == value) return;
    g_gpu.rs[state] = value;
    g_gpu.ff_generation++; // the generated programs' uniforms read render states
}

uint32_t gpu_get_render_state(uint32_t state) {
    return state < GPU_RENDER_STATE_COUNT ? g_gpu.rs[state] : 0;
}

void gpu_set_sampler_state(uint32_t stage, uint32_t state, uint32_t value) {
    gpu_trace(GPU_TRACE_SAMPLER_STATE, stage, state, value, nullptr);
    if (stage >= GPU_MAX_STAGES || state >= 16) return;
    g_gpu.samp[stage][state] = value;
}

void gpu_set_texture_stage_state(uint32_t stage, uint32_t state, uint32_t value) {
    gpu_trace(GPU_TRACE_STAGE_STATE, stage, state, value, nullptr);
    if (stage >= GPU_MAX_STAGES || state >= 32) return;
    g_gpu.tss[stage][state] = value;
}

void gpu_set_viewport(const GpuViewport *vp) {
    if (!vp) return;
    gpu_trace(GPU_TRACE_VIEWPORT, vp->x, vp->y, vp->width, nullptr);
    g_gpu.viewport = *vp;
    g_gpu.ff_generation++;
}

void gpu_get_viewport(GpuViewport *vp) {
    if (vp) *vp = g_gpu.viewport;
}

void gpu_set_scissor_rect(const GpuRect *rect) {
    if (!rect) return;
    gpu_trace(GPU_TRACE_SCISSOR, (uint32_t)rect->left, (uint32_t)rect->top, (uint32_t)rect->right,
              nullptr);
    g_gpu.scissor = *rect;
}

void gpu_get_scissor_rect(GpuRect *rect) {
    if (rect) *rect = g_gpu.scissor;
}

// Clear covers the viewport, cut by the scissor rectangle when the scissor test is on. The
// colour-write, depth-write and stencil-write states do not limit it.
GpuResult gpu_clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    if (!g_gpu.created) return GPU_ERR_INVALID_CALL;
    gpu_trace(GPU_TRACE_CLEAR, flags, argb, stencil, nullptr);
    gpu_apply_framebuffer(true);
    int tw, th;
    target_size(&tw, &th);
    const GpuViewport &v = g_gpu.viewport;
    int l = (int)v.x, t = (int)v.y, r = (int)(v.x + v.width), b = (int)(v.y + v.height);
    if (g_gpu.rs[GPU_RS_SCISSORTESTENABLE]) {
        const GpuRect &s = g_gpu.scissor;
        if (s.left > l) l = s.left;
        if (s.top > t) t = s.top;
        if (s.right < r) r = s.right;
        if (s.bottom < b) b = s.bottom;
    }
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (r > tw) r = tw;
    if (b > th) b = th;
    if (r <= l || b <= t) return GPU_OK;
    // A clear of the whole target goes without the scissor test: rasterisers clear a whole
    // surface far faster than a rectangle of it.
    const bool whole = l == 0 && t == 0 && r == tw && b == th;
    gpu_gl_set_scissor_test(!whole);
    if (!whole) gpu_gl_set_scissor(l, t, r - l, b - t);
    if (flags & GPU_CLEAR_TARGET) {
        gpu_gl_set_color_mask(true, true, true, true);
        float c[4] = {((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f,
                      (argb & 255) / 255.0f, (argb >> 24) / 255.0f};
        glClearNamedFramebufferfv(g_gpu.fbo, GL_COLOR, 0, c);
        if (g_gpu.targets[1]) glClearNamedFramebufferfv(g_gpu.fbo, GL_COLOR, 1, c);
    }
    GpuSurface *d = g_gpu.depth;
    bool cz = (flags & GPU_CLEAR_ZBUFFER) && d;
    bool cs = (flags & GPU_CLEAR_STENCIL) && d && d->info->stencil;
    if (cz) gpu_gl_set_depth_mask(true);
    if (cs) gpu_gl_set_stencil_write_mask(0xFFFFFFFFu);
    if (cz && cs)
        glClearNamedFramebufferfi(g_gpu.fbo, GL_DEPTH_STENCIL, 0, z, (GLint)(stencil & 0xFF));
    else if (cz)
        glClearNamedFramebufferfv(g_gpu.fbo, GL_DEPTH, 0, &z);
    else if (cs) {
        GLint sv = (GLint)(stencil & 0xFF);
        glClearNamedFramebufferiv(g_gpu.fbo, GL_STENCIL, 0, &sv);
    }
    return GPU_OK;
}

void gpu_set_clip_plane(uint32_t index, const float plane[4]) {
    if (index >= GPU_MAX_CLIP_PLANES || !plane) return;
    std::memcpy(g_gpu.clip_planes[index], plane, 4 * sizeof(float));
    g_gpu.ff_generation++;
}

void gpu_set_transform(uint32_t kind, const float m[16]) {
    if (!m) return;
    float *dst = kind == GPU_TS_VIEW         ? g_gpu.view
                 : kind == GPU_TS_PROJECTION ? g_gpu.proj
                 : kind == GPU_TS_WORLD      ? g_gpu.world
                                             : nullptr;
    if (!dst) return;
    std::memcpy(dst, m, 16 * sizeof(float));
    g_gpu.ff_generation++;
}

void gpu_set_light(uint32_t index, const GpuLight *light) {
    if (index != 0 || !light) return; // one light is all the fixed-function path draws
    g_gpu.light = *light;
    g_gpu.ff_generation++;
}

void gpu_light_enable(uint32_t index, bool enable) {
    if (index != 0) return;
    g_gpu.light_enabled = enable;
    g_gpu.ff_generation++;
}

void gpu_set_material(const GpuMaterial *material) {
    if (!material) return;
    g_gpu.material = *material;
    g_gpu.ff_generation++;
}
