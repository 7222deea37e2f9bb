// Fixed function as generated GLSL: a vertex program per (pre-transformed, lighting, vertex
// colour, specular, fog) and a pixel program per (stage operations and arguments, bound
// textures, alpha-test function, fog, specular), each compiled once and cached by its key.
//
// Interface between the vertex and pixel stages (user vertex shaders that feed the
// fixed-function pixel stage write the same): location 0 diffuse, 1 specular, 2 + i texture
// coordinate set i, 10 the view depth that fog reads. Each is a variable of its own, and a
// program declares only those it writes or reads: a software rasteriser sets up and stores
// every declared varying of every triangle, used or not.
#include "platform/gpu/gpu_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

enum { FF_MAX_PROGRAMS = 256 };

struct FfPixelKey {
    uint32_t stage[GPU_MAX_STAGES]; // packed stage description, 0 past the last stage
    uint32_t flags; // alpha func (4 bits), fog (bit 4), specular (bit 5), flat shading (bit 6)
    bool operator==(const FfPixelKey &o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};

enum : uint32_t {
    FFV_PRETRANSFORMED = 1,
    FFV_LIGHTING = 2,
    FFV_VERTEX_COLOR = 4,
    FFV_SPECULAR = 8,
    FFV_FOG = 16,
    FFV_CLIP = 32,      // pre-transformed: clip distances for enabled planes (that keep all)
    FFV_NORMALIZE = 64, // lit normals renormalised after the transform
    FFV_FOG_Z = 128,    // table fog under an orthographic projection: by z
    FFV_FOG_W = 256,    // table fog under a perspective projection: by w
    FFV_TEX_SHIFT = 16, // pre-transformed: bits 16-23, the coordinate sets the pixel stage reads
};

struct FfVertexProgram {
    uint32_t key;
    GLuint program;
    uint32_t generation;
    GLint loc_wvp, loc_wv, loc_world, loc_normal, loc_vp, loc_depth, loc_offset, loc_clip;
    GLint loc_light_dir, loc_ld, loc_ls, loc_la, loc_md, loc_ma, loc_ms, loc_me, loc_power,
        loc_ambient, loc_light_on;
    GpuUniformCache cache;
};

struct FfPixelProgram {
    FfPixelKey key;
    GLuint program;
    uint32_t generation;
    GLint loc_alpha_ref, loc_fog_color, loc_fog;
    GpuUniformCache cache;
};

static FfVertexProgram s_vs[FF_MAX_PROGRAMS];
static int s_vs_count;
static FfPixelProgram s_ps[FF_MAX_PROGRAMS];
static int s_ps_count;

// Varyings of the interface, as a mask: diffuse, specular, texture coordinate sets 0-7, fog.
enum : uint32_t { VAR_DIFFUSE = 1, VAR_SPECULAR = 2, VAR_TEX0 = 4, VAR_FOG = 1u << 10 };

// `flat_colors`: diffuse and specular come from one vertex of each triangle (the first, as the
// device sets the provoking vertex).
static std::string varying_decls(const char *dir, uint32_t mask, bool flat_colors = false) {
    std::string s;
    auto decl = [&](int location, const char *type, const std::string &name) {
        s += "layout(location=" + std::to_string(location) + ") " + dir + " " + type + " " + name +
             ";\n";
    };
    const char *color = flat_colors ? "flat vec4" : "vec4";
    if (mask & VAR_DIFFUSE) decl(0, color, "v_diffuse");
    if (mask & VAR_SPECULAR) decl(1, color, "v_specular");
    for (int i = 0; i < 8; i++)
        if (mask & VAR_TEX0 << i) decl(2 + i, "vec4", "v_tex" + std::to_string(i));
    if (mask & VAR_FOG) decl(10, "float", "v_fog");
    return s;
}

static GLuint compile_program(GLenum stage, const std::string &src) {
    const char *p = src.c_str();
    GLuint prog = glCreateShaderProgramv(stage, 1, &p);
    GLint ok = 0;
    glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {0};
        glGetProgramInfoLog(prog, sizeof(log), nullptr, log);
        std::fprintf(stderr, "gpu: internal program failed:\n%s\n%s\n", log, p);
        glDeleteProgram(prog);
        return 0;
    }
    return prog;
}

// ---------------------------------------------------------------------------------------------
// Vertex stage

std::string gpu_position_glsl(const char *offset) {
    const std::string o = offset;
    return "    gl_Position.xy += " + o +
           " * gl_Position.w;\n"
           "    gl_Position.y = -gl_Position.y;\n";
}

static std::string vertex_source(uint32_t key) {
    std::string s = "#version 450 core\n"
                    "layout(location=0) in vec4 a_pos;\n"
                    "layout(location=3) in vec3 a_normal;\n"
                    "layout(location=4) in vec4 a_color;\n";
    for (int i = 0; i < 8; i++)
        s += "layout(location=" + std::to_string(5 + i) + ") in vec4 a_tex" + std::to_string(i) +
             ";\n";
    bool pre = (key & FFV_PRETRANSFORMED) != 0;
    // Pre-transformed: only what the pixel stage reads is written, so fewer outputs, less work
    // per vertex.
    uint32_t outputs = ~0u;
    if (pre)
        outputs = VAR_DIFFUSE | (key & FFV_SPECULAR ? VAR_SPECULAR : 0u) |
                  (key & FFV_FOG ? VAR_FOG : 0u) | (key >> FFV_TEX_SHIFT & 0xFFu) * VAR_TEX0;
    s += "out gl_PerVertex { vec4 gl_Position; float gl_PointSize; float gl_ClipDistance[6]; };\n";
    s += varying_decls("out", outputs);
    s += "uniform mat4 u_wvp, u_wv, u_world;\n"
         "uniform mat3 u_normal;\n"
         "uniform vec4 u_vp;\n"     // viewport x, y, 2 / width, 2 / height
         "uniform vec2 u_depth;\n"  // min z, 1 / (max z - min z)
         "uniform vec2 u_offset;\n" // half a pixel in clip units per w
         "uniform vec4 u_clip[6];\n"
         "uniform vec3 u_light_dir;\n"
         "uniform vec4 u_ld, u_ls, u_la, u_md, u_ma, u_ms, u_me, u_ambient;\n"
         "uniform float u_power, u_light_on;\n"
         "void main() {\n"
         "    gl_PointSize = 1.0;\n";
    for (int i = 0; i < 8; i++)
        if (outputs & VAR_TEX0 << i)
            s += "    v_tex" + std::to_string(i) + " = a_tex" + std::to_string(i) + ";\n";
    if (pre) {
        // x, y are pixels of the target addressing pixel centres; GL's centres sit at +0.5.
        // y runs down the picture, as clip y does once turned over for the clip origin.
        s += "    float w = a_pos.w != 0.0 ? 1.0 / a_pos.w : 1.0;\n"
             "    vec2 ndc = vec2((a_pos.x + 0.5 - u_vp.x) * u_vp.z - 1.0,\n"
             "                    (a_pos.y + 0.5 - u_vp.y) * u_vp.w - 1.0);\n"
             "    float z = (a_pos.z - u_depth.x) * u_depth.y;\n"
             "    gl_Position = vec4(ndc * w, z * w, w);\n"
             "    v_diffuse = a_color;\n";
        if (key & FFV_CLIP) s += "    for (int i = 0; i < 6; i++) gl_ClipDistance[i] = 1.0;\n";
        // Table fog by z under an orthographic projection, else by w; w is also what vertex
        // fog has of depth here.
        if (key & FFV_FOG) s += key & FFV_FOG_Z ? "    v_fog = a_pos.z;\n" : "    v_fog = w;\n";
        if (key & FFV_SPECULAR) s += "    v_specular = vec4(0.0);\n";
    } else {
        s += "    vec4 p = vec4(a_pos.xyz, 1.0);\n"
             "    gl_Position = p * u_wvp;\n"
             "    vec4 wp = p * u_world;\n"
             "    for (int i = 0; i < 6; i++) gl_ClipDistance[i] = dot(wp, u_clip[i]);\n"
             "    vec3 vpos = (p * u_wv).xyz;\n";
        s += gpu_position_glsl("u_offset");
        // Table fog reads the projected z under an orthographic projection and w under a
        // perspective one; vertex fog the view-space z.
        s += key & FFV_FOG_Z   ? "    v_fog = gl_Position.z / gl_Position.w;\n"
             : key & FFV_FOG_W ? "    v_fog = gl_Position.w;\n"
                               : "    v_fog = vpos.z;\n";
        if (key & FFV_LIGHTING) {
            s += (key & FFV_VERTEX_COLOR) ? "    vec4 md = a_color;\n" : "    vec4 md = u_md;\n";
            s += "    vec3 n = a_normal * u_normal;\n";
            if (key & FFV_NORMALIZE)
                s += "    float nl = length(n);\n"
                     "    n = nl > 0.0 ? n / nl : vec3(0.0);\n";
            s += "    vec3 col = u_me.rgb + u_ambient.rgb * u_ma.rgb;\n"
                 "    vec3 spec = vec3(0.0);\n"
                 "    if (u_light_on > 0.5) {\n"
                 "        float ndl = max(dot(n, u_light_dir), 0.0);\n"
                 "        col += u_ma.rgb * u_la.rgb + md.rgb * u_ld.rgb * ndl;\n";
            if (key & FFV_SPECULAR)
                s += "        if (ndl > 0.0) {\n"
                     "            vec3 h = normalize(normalize(-vpos) + u_light_dir);\n"
                     "            float e = u_power > 0.0 ? pow(max(dot(n, h), 0.0), u_power) : "
                     "1.0;\n"
                     "            spec = u_ms.rgb * u_ls.rgb * e;\n"
                     "        }\n";
            s += "    }\n"
                 "    v_diffuse = vec4(clamp(col, 0.0, 1.0), md.a);\n"
                 "    v_specular = vec4(clamp(spec, 0.0, 1.0), 0.0);\n";
        } else {
            s += "    v_diffuse = a_color;\n"
                 "    v_specular = vec4(0.0);\n";
        }
    }
    s += "}\n";
    return s;
}

static FfVertexProgram *vertex_program(uint32_t key) {
    for (int i = 0; i < s_vs_count; i++)
        if (s_vs[i].key == key) return &s_vs[i];
    if (s_vs_count >= FF_MAX_PROGRAMS) return nullptr;
    GLuint prog = compile_program(GL_VERTEX_SHADER, vertex_source(key));
    if (!prog) return nullptr;
    FfVertexProgram &v = s_vs[s_vs_count++];
    v.key = key;
    v.program = prog;
    v.generation = 0;
    auto loc = [&](const char *n) { return glGetUniformLocation(prog, n); };
    v.loc_wvp = loc("u_wvp");
    v.loc_wv = loc("u_wv");
    v.loc_world = loc("u_world");
    v.loc_normal = loc("u_normal");
    v.loc_vp = loc("u_vp");
    v.loc_depth = loc("u_depth");
    v.loc_offset = loc("u_offset");
    v.loc_clip = loc("u_clip");
    v.loc_light_dir = loc("u_light_dir");
    v.loc_ld = loc("u_ld");
    v.loc_ls = loc("u_ls");
    v.loc_la = loc("u_la");
    v.loc_md = loc("u_md");
    v.loc_ma = loc("u_ma");
    v.loc_ms = loc("u_ms");
    v.loc_me = loc("u_me");
    v.loc_power = loc("u_power");
    v.loc_ambient = loc("u_ambient");
    v.loc_light_on = loc("u_light_on");
    gpu_uniform_cache_init(&v.cache, prog);
    return &v;
}

// Row-vector product r = a x b.
static void mat_mul(float r[16], const float a[16], const float b[16]) {
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0;
            for (int k = 0; k < 4; k++) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
}

// The matrix that carries normals into view space: the inverse transpose of the upper 3x3 of
// world x view (row-major, row vectors), so a scaled world scales normals by the reciprocal.
// A singular matrix has none: its normals pass unchanged rather than collapse or blow up.
static void normal_matrix(float out[9], const float wv[16]) {
    auto a = [&](int r, int c) { return (double)wv[r * 4 + c]; };
    double cof[3][3];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    double det = a(0, 0) * cof[0][0] + a(0, 1) * cof[0][1] + a(0, 2) * cof[0][2];
    bool ok = det != 0.0 && std::isfinite(det);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            // (A^-1)^T = cofactor(A) / det(A)
            double v = ok ? cof[r][c] / det : (r == c ? 1.0 : 0.0);
            out[r * 3 + c] = std::isfinite(v) ? (float)v : (r == c ? 1.0f : 0.0f);
        }
}

static void color4(GpuUniformCache *c, GLint loc, const GpuColorValue &v) {
    const float f[4] = {v.r, v.g, v.b, v.a};
    gpu_uniform_floats(c, loc, 4, 1, f);
}

static void argb4(GpuUniformCache *c, GLint loc, uint32_t v) {
    const float f[4] = {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f,
                        (v >> 24) / 255.0f};
    gpu_uniform_floats(c, loc, 4, 1, f);
}

static void float1(GpuUniformCache *c, GLint loc, float v) {
    gpu_uniform_floats(c, loc, 1, 1, &v);
}

static void float2(GpuUniformCache *c, GLint loc, float x, float y) {
    const float f[2] = {x, y};
    gpu_uniform_floats(c, loc, 2, 1, f);
}

static void int1(GpuUniformCache *c, GLint loc, GLint v) {
    gpu_uniform_ints(c, loc, 1, 1, &v);
}

// The shift from the renderer's pixel centres to GL's, in clip units per w: half a pixel right
// and down.
static void half_pixel(float out[2]) {
    const GpuViewport &v = g_gpu.viewport;
    out[0] = v.width ? 1.0f / (float)v.width : 0.0f;
    out[1] = v.height ? -1.0f / (float)v.height : 0.0f;
}

// The planes as the programs receive them: a plane whose enable bit is off is all zeros, so
// its distance is 0 everywhere and clips nothing. Some GL drivers clip by every written
// distance whether or not GL_CLIP_DISTANCEi is enabled, so the enable mask is applied here.
static const float *enabled_clip_planes(void) {
    static float planes[GPU_MAX_CLIP_PLANES][4];
    uint32_t mask = g_gpu.rs[GPU_RS_CLIPPLANEENABLE];
    for (int i = 0; i < GPU_MAX_CLIP_PLANES; i++)
        for (int c = 0; c < 4; c++) planes[i][c] = (mask >> i) & 1 ? g_gpu.clip_planes[i][c] : 0.0f;
    return &planes[0][0];
}

static void vertex_uniforms(FfVertexProgram *v) {
    if (v->generation == g_gpu.ff_generation) return;
    v->generation = g_gpu.ff_generation;
    GpuUniformCache *c = &v->cache;
    const GpuViewport &vp = g_gpu.viewport;
    if (v->key & FFV_PRETRANSFORMED) {
        const float f[4] = {(float)vp.x, (float)vp.y, vp.width ? 2.0f / (float)vp.width : 0.0f,
                            vp.height ? 2.0f / (float)vp.height : 0.0f};
        gpu_uniform_floats(c, v->loc_vp, 4, 1, f);
        float range = vp.max_z - vp.min_z;
        float2(c, v->loc_depth, vp.min_z, range != 0.0f ? 1.0f / range : 0.0f);
        return;
    }
    float wv[16], wvp[16];
    mat_mul(wv, g_gpu.world, g_gpu.view);
    mat_mul(wvp, wv, g_gpu.proj);
    gpu_uniform_matrices(c, v->loc_wvp, GL_FLOAT_MAT4, 1, wvp);
    gpu_uniform_matrices(c, v->loc_wv, GL_FLOAT_MAT4, 1, wv);
    gpu_uniform_matrices(c, v->loc_world, GL_FLOAT_MAT4, 1, g_gpu.world);
    if (v->loc_normal >= 0) {
        float nm[9];
        normal_matrix(nm, wv);
        gpu_uniform_matrices(c, v->loc_normal, GL_FLOAT_MAT3, 1, nm);
    }
    float off[2];
    half_pixel(off);
    gpu_uniform_floats(c, v->loc_offset, 2, 1, off);
    gpu_uniform_floats(c, v->loc_clip, 4, GPU_MAX_CLIP_PLANES, enabled_clip_planes());
    if (!(v->key & FFV_LIGHTING)) return;
    // Direction towards the light, in view space.
    const float *d = g_gpu.light.direction, *m = g_gpu.view;
    float l[3];
    for (int j = 0; j < 3; j++) l[j] = -(d[0] * m[j] + d[1] * m[4 + j] + d[2] * m[8 + j]);
    float len = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    if (len > 0) l[0] /= len, l[1] /= len, l[2] /= len;
    gpu_uniform_floats(c, v->loc_light_dir, 3, 1, l);
    color4(c, v->loc_ld, g_gpu.light.diffuse);
    color4(c, v->loc_ls, g_gpu.light.specular);
    color4(c, v->loc_la, g_gpu.light.ambient);
    color4(c, v->loc_md, g_gpu.material.diffuse);
    color4(c, v->loc_ma, g_gpu.material.ambient);
    color4(c, v->loc_ms, g_gpu.material.specular);
    color4(c, v->loc_me, g_gpu.material.emissive);
    float1(c, v->loc_power, g_gpu.material.power);
    argb4(c, v->loc_ambient, g_gpu.rs[GPU_RS_AMBIENT]);
    bool on = g_gpu.light_enabled && g_gpu.light.type == 3;
    float1(c, v->loc_light_on, on ? 1.0f : 0.0f);
}

// ---------------------------------------------------------------------------------------------
// Pixel stage

static bool fog_on(void) {
    const uint32_t *rs = g_gpu.rs;
    return rs[GPU_RS_FOGENABLE] && (rs[GPU_RS_FOGTABLEMODE] == 3 || rs[GPU_RS_FOGVERTEXMODE] == 3);
}

// What table fog reads: z under an orthographic projection (last column 0, 0, 0, 1, the
// identity included), w under any other. Vertex fog keeps the view-space depth.
static uint32_t fog_source(void) {
    if (g_gpu.rs[GPU_RS_FOGTABLEMODE] != 3) return 0;
    const float *p = g_gpu.proj;
    const bool ortho = p[3] == 0.0f && p[7] == 0.0f && p[11] == 0.0f && p[15] == 1.0f;
    return ortho ? FFV_FOG_Z : FFV_FOG_W;
}

// Stage word: colour op 0-3 bits, arg1 4-6, arg2 8-10, alpha op 12-15, arg1 16-18, arg2 20-22,
// texture bound bit 24, coordinate index 25-27.
static FfPixelKey pixel_key(void) {
    FfPixelKey k;
    std::memset(&k, 0, sizeof(k));
    for (uint32_t s = 0; s < GPU_MAX_STAGES; s++) {
        const uint32_t *t = g_gpu.tss[s];
        uint32_t cop = t[GPU_TSS_COLOROP];
        if (cop == 1 || cop > 15) break; // a disabled stage ends the chain
        k.stage[s] = (cop & 15) | (t[GPU_TSS_COLORARG1] & 7) << 4 |
                     (t[GPU_TSS_COLORARG2] & 7) << 8 | (t[GPU_TSS_ALPHAOP] & 15) << 12 |
                     (t[GPU_TSS_ALPHAARG1] & 7) << 16 | (t[GPU_TSS_ALPHAARG2] & 7) << 20 |
                     (g_gpu.textures[s] ? 1u : 0u) << 24 | (t[GPU_TSS_TEXCOORDINDEX] & 7) << 25;
    }
    uint32_t func = g_gpu.rs[GPU_RS_ALPHATESTENABLE] ? g_gpu.rs[GPU_RS_ALPHAFUNC] & 15 : 0;
    if (func == 8) func = 0; // always passes
    k.flags = func | (fog_on() ? 16u : 0u) | (g_gpu.rs[GPU_RS_SPECULARENABLE] ? 32u : 0u) |
              (g_gpu.rs[GPU_RS_SHADEMODE] == 1 ? 64u : 0u);
    return k;
}

static std::string arg_expr(uint32_t arg, int stage, const char *swz) {
    std::string e = arg == 0 ? "v_diffuse" : arg == 2 ? "t" : "cur";
    if (arg == 2) e += std::to_string(stage);
    e += swz;
    return e;
}

// op(arg1, arg2) over one channel group, or "" when the stage leaves it as it is.
static std::string op_expr(uint32_t op, uint32_t a1, uint32_t a2, bool tex, int stage,
                           const char *swz) {
    bool reads_tex =
        (op == 2 && a1 == 2) || (op == 3 && a2 == 2) || (op >= 4 && (a1 == 2 || a2 == 2));
    // A stage whose operation reads a texture that is not bound passes current on.
    if (op <= 1 || (reads_tex && !tex)) return "";
    if (op == 2) return arg_expr(a1, stage, swz);
    if (op == 3) return arg_expr(a2, stage, swz);
    return arg_expr(a1, stage, swz) + " * " + arg_expr(a2, stage, swz);
}

static const char *alpha_compare(uint32_t func) {
    switch (func) {
        case 1:
            return "false";
        case 2:
            return "a8 < ref";
        case 3:
            return "a8 == ref";
        case 4:
            return "a8 <= ref";
        case 5:
            return "a8 > ref";
        case 6:
            return "a8 != ref";
        case 7:
            return "a8 >= ref";
        default:
            return "true";
    }
}

// The varyings a fixed-function pixel program reads: diffuse, the coordinate set of each stage
// with a texture, specular and fog when they are on.
static uint32_t pixel_inputs(const FfPixelKey &k) {
    uint32_t inputs =
        VAR_DIFFUSE | (k.flags & 32 ? VAR_SPECULAR : 0u) | (k.flags & 16 ? VAR_FOG : 0u);
    for (int i = 0; i < GPU_MAX_STAGES && k.stage[i]; i++)
        if (k.stage[i] & (1u << 24)) inputs |= VAR_TEX0 << ((k.stage[i] >> 25) & 7);
    return inputs;
}

static std::string pixel_source(const FfPixelKey &k) {
    std::string s = "#version 450 core\n" + varying_decls("in", pixel_inputs(k), k.flags & 64) +
                    "layout(location=0) out vec4 o_color;\n"
                    "uniform int u_alpha_ref;\n"
                    "uniform vec4 u_fog_color;\n"
                    "uniform vec2 u_fog;\n"; // end, 1 / (end - start)
    for (int i = 0; i < GPU_MAX_STAGES; i++)
        if (k.stage[i] & (1u << 24))
            s += "layout(binding=" + std::to_string(i) + ") uniform sampler2D u_tex" +
                 std::to_string(i) + ";\n";
    s += "void main() {\n"
         "    vec4 cur = v_diffuse;\n";
    for (int i = 0; i < GPU_MAX_STAGES && k.stage[i]; i++) {
        uint32_t w = k.stage[i];
        bool tex = (w >> 24) & 1;
        std::string n = std::to_string(i);
        if (tex)
            s += "    vec4 t" + n + " = texture(u_tex" + n + ", v_tex" +
                 std::to_string((w >> 25) & 7) + ".xy);\n";
        std::string c = op_expr(w & 15, (w >> 4) & 7, (w >> 8) & 7, tex, i, ".rgb");
        std::string a = op_expr((w >> 12) & 15, (w >> 16) & 7, (w >> 20) & 7, tex, i, ".a");
        s += "    {\n";
        s += "        vec3 c = " + (c.empty() ? std::string("cur.rgb") : c) + ";\n";
        s += "        float a = " + (a.empty() ? std::string("cur.a") : a) + ";\n";
        s += "        cur = vec4(c, a);\n    }\n";
    }
    if (k.flags & 32) s += "    cur.rgb = min(cur.rgb + v_specular.rgb, vec3(1.0));\n";
    uint32_t func = k.flags & 15;
    if (func) {
        s += "    int a8 = int(floor(clamp(cur.a, 0.0, 1.0) * 255.0 + 0.5));\n"
             "    int ref = u_alpha_ref;\n"
             "    if (!(";
        s += alpha_compare(func);
        s += ")) discard;\n";
    }
    if (k.flags & 16)
        s += "    float f = clamp((u_fog.x - v_fog) * u_fog.y, 0.0, 1.0);\n"
             "    cur.rgb = mix(u_fog_color.rgb, cur.rgb, f);\n";
    s += "    o_color = cur;\n}\n";
    return s;
}

static FfPixelProgram *pixel_program(const FfPixelKey &key) {
    for (int i = 0; i < s_ps_count; i++)
        if (s_ps[i].key == key) return &s_ps[i];
    if (s_ps_count >= FF_MAX_PROGRAMS) return nullptr;
    GLuint prog = compile_program(GL_FRAGMENT_SHADER, pixel_source(key));
    if (!prog) return nullptr;
    FfPixelProgram &p = s_ps[s_ps_count++];
    p.key = key;
    p.program = prog;
    p.generation = 0;
    p.loc_alpha_ref = glGetUniformLocation(prog, "u_alpha_ref");
    p.loc_fog_color = glGetUniformLocation(prog, "u_fog_color");
    p.loc_fog = glGetUniformLocation(prog, "u_fog");
    gpu_uniform_cache_init(&p.cache, prog);
    return &p;
}

static float bits_float(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Fog colour and the linear range (end, 1 / (end - start)) of one program.
static void fog_uniforms(GpuUniformCache *c, GLint color_loc, GLint range_loc) {
    argb4(c, color_loc, g_gpu.rs[GPU_RS_FOGCOLOR]);
    float start = bits_float(g_gpu.rs[GPU_RS_FOGSTART]), end = bits_float(g_gpu.rs[GPU_RS_FOGEND]);
    float range = end - start;
    float2(c, range_loc, end, range != 0.0f ? 1.0f / range : 0.0f);
}

static void pixel_uniforms(FfPixelProgram *p) {
    if (p->generation == g_gpu.ff_generation) return;
    p->generation = g_gpu.ff_generation;
    int1(&p->cache, p->loc_alpha_ref, (GLint)(g_gpu.rs[GPU_RS_ALPHAREF] & 0xFF));
    fog_uniforms(&p->cache, p->loc_fog_color, p->loc_fog);
}

void gpu_ffp_shutdown(void) {
    for (int i = 0; i < s_vs_count; i++) {
        glDeleteProgram(s_vs[i].program);
        gpu_uniform_cache_free(&s_vs[i].cache);
    }
    for (int i = 0; i < s_ps_count; i++) {
        glDeleteProgram(s_ps[i].program);
        gpu_uniform_cache_free(&s_ps[i].cache);
    }
    s_vs_count = s_ps_count = 0;
}

// ---------------------------------------------------------------------------------------------
// Program selection

static void use_stage(GLbitfield bit, GLuint prog, GLuint *cached) {
    if (*cached == prog) return;
    *cached = prog;
    glUseProgramStages(g_gpu.pipeline, bit, prog);
}

// The layer's own uniforms of a user shader: half-pixel shift, clip planes, alpha test, fog.
static void user_uniforms(GpuShader *sh) {
    if (sh->generation == g_gpu.ff_generation) return;
    sh->generation = g_gpu.ff_generation;
    GpuUniformCache *c = &sh->cache;
    float off[2];
    half_pixel(off);
    gpu_uniform_floats(c, sh->pixel_offset_loc, 2, 1, off);
    gpu_uniform_floats(c, sh->clip_planes_loc, 4, GPU_MAX_CLIP_PLANES, enabled_clip_planes());
    uint32_t func = g_gpu.rs[GPU_RS_ALPHATESTENABLE] ? g_gpu.rs[GPU_RS_ALPHAFUNC] : 8;
    int1(c, sh->alpha_func_loc, (GLint)func);
    int1(c, sh->alpha_ref_loc, (GLint)(g_gpu.rs[GPU_RS_ALPHAREF] & 0xFF));
    if (sh->fog_on_loc >= 0) {
        int1(c, sh->fog_on_loc, fog_on() ? 1 : 0);
        fog_uniforms(c, sh->fog_color_loc, sh->fog_loc);
    }
}

// The number of blend weights each vertex of the draw stores, for a vertex shader that asks:
// components past them read 0 (and the fourth 1), so the shader cannot tell them apart itself.
static void blend_weights(GpuShader *vs, const GpuLayout *layout) {
    int n = layout->present[GPU_ATTR_BLENDWEIGHT] ? (int)layout->size[GPU_ATTR_BLENDWEIGHT] : 0;
    if (n > 4) n = 4; // a packed colour word counts as four
    int1(&vs->cache, vs->blend_weights_loc, n);
}

// What a pre-transformed vertex program writes besides position and diffuse: everything for
// a user pixel shader, else what the fixed-function pixel program `pk` reads.
static uint32_t pretransformed_outputs(const FfPixelKey &pk) {
    uint32_t key = g_gpu.rs[GPU_RS_CLIPPLANEENABLE] & 0x3F ? (uint32_t)FFV_CLIP : 0u;
    if (g_gpu.ps) return key | FFV_SPECULAR | FFV_FOG | 0xFFu << FFV_TEX_SHIFT;
    const uint32_t reads = pixel_inputs(pk);
    if (reads & VAR_FOG) key |= FFV_FOG;
    if (reads & VAR_SPECULAR) key |= FFV_SPECULAR;
    return key | (reads / VAR_TEX0 & 0xFFu) << FFV_TEX_SHIFT;
}

bool gpu_bind_programs(const GpuLayout *layout) {
    GpuGlCache &c = g_gpu.gl;
    FfPixelKey pk;
    if (!g_gpu.ps) pk = pixel_key();
    if (g_gpu.vs && !layout->pretransformed) {
        user_uniforms(g_gpu.vs);
        blend_weights(g_gpu.vs, layout);
        use_stage(GL_VERTEX_SHADER_BIT, g_gpu.vs->program, &c.vs_program);
    } else {
        // Pre-transformed vertices never run a vertex shader.
        uint32_t key = 0;
        if (layout->pretransformed)
            key = FFV_PRETRANSFORMED | pretransformed_outputs(pk);
        else {
            if (g_gpu.rs[GPU_RS_LIGHTING]) {
                key |= FFV_LIGHTING;
                if (g_gpu.rs[GPU_RS_COLORVERTEX] && layout->present[GPU_ATTR_COLOR])
                    key |= FFV_VERTEX_COLOR;
                if (g_gpu.rs[GPU_RS_SPECULARENABLE]) key |= FFV_SPECULAR;
                if (g_gpu.rs[GPU_RS_NORMALIZENORMALS]) key |= FFV_NORMALIZE;
            }
            if (fog_on()) key |= FFV_FOG;
        }
        if (key & FFV_FOG) key |= fog_source();
        FfVertexProgram *v = vertex_program(key);
        if (!v) return false;
        vertex_uniforms(v);
        use_stage(GL_VERTEX_SHADER_BIT, v->program, &c.vs_program);
    }
    if (g_gpu.ps) {
        user_uniforms(g_gpu.ps);
        use_stage(GL_FRAGMENT_SHADER_BIT, g_gpu.ps->program, &c.fs_program);
    } else {
        FfPixelProgram *p = pixel_program(pk);
        if (!p) return false;
        pixel_uniforms(p);
        use_stage(GL_FRAGMENT_SHADER_BIT, p->program, &c.fs_program);
    }
    return true;
}
