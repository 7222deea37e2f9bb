// GLSL shaders: a source defines `void <entry>()`; the layer appends the main that calls it
// and compiles a separable program. The appended vertex main writes the clip distances and
// moves the position by the half pixel that separates the renderer's pixel centres from GL's
// and turns it over for the clip origin;
// the appended pixel main applies the alpha test and linear fog to the source's colour output.
// The constant table answers the source's own top-level uniforms by name.
#include "platform/gpu/gpu_internal.h"
#include "platform/sys/sys_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

enum { GPU_MAX_SHADERS = 256 };

static GpuShader s_shaders[GPU_MAX_SHADERS];

static void set_err(char *err, size_t err_size, const char *msg) {
    if (!err || err_size == 0) return;
    std::snprintf(err, err_size, "%s", msg);
}

static bool is_identifier(const char *s) {
    if (!s || !(std::isalpha((unsigned char)*s) || *s == '_')) return false;
    for (; *s; s++)
        if (!(std::isalnum((unsigned char)*s) || *s == '_')) return false;
    return true;
}

// The name of the first `out vec4 <name>` the source declares, or "".
static std::string colour_output(const std::string &src) {
    size_t pos = 0;
    while ((pos = src.find("out", pos)) != std::string::npos) {
        bool start =
            pos == 0 || !(std::isalnum((unsigned char)src[pos - 1]) || src[pos - 1] == '_');
        size_t p = pos + 3;
        pos = p;
        if (!start || p >= src.size() || !std::isspace((unsigned char)src[p])) continue;
        while (p < src.size() && std::isspace((unsigned char)src[p])) p++;
        if (src.compare(p, 4, "vec4") != 0) continue;
        p += 4;
        if (p >= src.size() || !std::isspace((unsigned char)src[p])) continue;
        while (p < src.size() && std::isspace((unsigned char)src[p])) p++;
        size_t b = p;
        while (p < src.size() && (std::isalnum((unsigned char)src[p]) || src[p] == '_')) p++;
        if (p > b) return src.substr(b, p - b);
    }
    return "";
}

static size_t skip_space(const std::string &s, size_t p) {
    while (p < s.size() && std::isspace((unsigned char)s[p])) p++;
    return p;
}

// The identifier at p (after white space), advancing p past it; "" when there is none.
static std::string next_word(const std::string &s, size_t *p) {
    size_t b = skip_space(s, *p), e = b;
    while (e < s.size() && (std::isalnum((unsigned char)s[e]) || s[e] == '_')) e++;
    *p = e;
    return s.substr(b, e - b);
}

// Finds `layout(... location = <loc> ...) [qualifiers] <storage> <type> <name>`. type is ""
// when the declaration is an array (it takes more than the one location).
static bool located_decl(const std::string &src, const char *storage, int loc, std::string *type,
                         std::string *name) {
    size_t pos = 0;
    while ((pos = src.find("layout", pos)) != std::string::npos) {
        size_t p = pos + 6;
        bool start =
            pos == 0 || !(std::isalnum((unsigned char)src[pos - 1]) || src[pos - 1] == '_');
        pos = p;
        p = skip_space(src, p);
        if (!start || p >= src.size() || src[p] != '(') continue;
        size_t close = src.find(')', p);
        if (close == std::string::npos) return false;
        std::string q = src.substr(p + 1, close - p - 1);
        size_t l = q.find("location");
        if (l == std::string::npos) continue;
        l = skip_space(q, l + 8);
        if (l >= q.size() || q[l] != '=') continue;
        l = skip_space(q, l + 1);
        if (std::atoi(q.c_str() + l) != loc || !std::isdigit((unsigned char)q[l])) continue;
        p = close + 1;
        std::string w = next_word(src, &p);
        while (w == "flat" || w == "smooth" || w == "noperspective" || w == "centroid" ||
               w == "sample")
            w = next_word(src, &p);
        if (w != storage) continue;
        *type = next_word(src, &p);
        *name = next_word(src, &p);
        p = skip_space(src, p);
        if (p < src.size() && src[p] == '[') type->clear();
        return !name->empty();
    }
    return false;
}

// The view depth that fog reads sits at location 10 between the stages. With `fog` set, a
// vertex source that does not write it gets gl_Position.w there (the view depth under a
// perspective projection), and the pixel main blends the colour output toward the fog
// colour by it while gpu_fog_on is set.
static std::string build_source(const char *source, const char *entry, GpuShaderKind kind,
                                bool fog) {
    std::string src = source;
    std::string out;
    if (src.find("#version") == std::string::npos) out = "#version 450 core\n";
    out += src;
    out += "\n";
    std::string type, name;
    if (kind == GPU_SHADER_VERTEX) {
        bool own_depth = fog && !located_decl(src, "out", 10, &type, &name);
        if (own_depth) out += "layout(location = 10) out float gpu_fog_depth;\n";
        out += "uniform vec2 gpu_pixel_offset;\n"
               "uniform vec4 gpu_clip_planes[6];\n"
               "void main() {\n    ";
        out += entry;
        out += "();\n";
        for (int i = 0; i < 6; i++)
            out += "    gl_ClipDistance[" + std::to_string(i) +
                   "] = dot(gl_Position, gpu_clip_planes[" + std::to_string(i) + "]);\n";
        if (own_depth) out += "    gpu_fog_depth = gl_Position.w;\n";
        out += gpu_position_glsl("gpu_pixel_offset");
        out += "    gl_PointSize = 1.0;\n}\n";
    } else {
        std::string col = colour_output(src);
        std::string depth;
        if (fog && !col.empty()) {
            if (!located_decl(src, "in", 10, &type, &name)) {
                out += "layout(location = 10) in float gpu_fog_depth;\n";
                depth = "gpu_fog_depth";
            } else if (type == "float") {
                depth = name;
            } else if (type == "vec2" || type == "vec3" || type == "vec4") {
                depth = name + ".x";
            }
        }
        out += "uniform int gpu_alpha_func;\n"
               "uniform int gpu_alpha_ref;\n";
        if (!depth.empty())
            out += "uniform int gpu_fog_on;\n"
                   "uniform vec4 gpu_fog_color;\n"
                   "uniform vec2 gpu_fog;\n"; // end, 1 / (end - start)
        out += "void main() {\n    ";
        out += entry;
        out += "();\n";
        if (!col.empty()) {
            out += "    int a8 = int(floor(clamp(" + col + ".a, 0.0, 1.0) * 255.0 + 0.5));\n";
            out += "    int f = gpu_alpha_func, r = gpu_alpha_ref;\n"
                   "    bool pass = f == 1 ? false : f == 2 ? a8 < r : f == 3 ? a8 == r :\n"
                   "                f == 4 ? a8 <= r : f == 5 ? a8 > r : f == 6 ? a8 != r :\n"
                   "                f == 7 ? a8 >= r : true;\n"
                   "    if (!pass) discard;\n";
        }
        if (!depth.empty())
            out += "    if (gpu_fog_on != 0) {\n"
                   "        float fog = clamp((gpu_fog.x - " +
                   depth +
                   ") * gpu_fog.y, 0.0, 1.0);\n"
                   "        " +
                   col + ".rgb = mix(gpu_fog_color.rgb, " + col +
                   ".rgb, fog);\n"
                   "    }\n";
        out += "}\n";
    }
    return out;
}

static GLuint create_program(const char *source, const char *entry, GpuShaderKind kind, bool fog) {
    std::string full = build_source(source, entry, kind, fog);
    const char *p = full.c_str();
    return glCreateShaderProgramv(kind == GPU_SHADER_VERTEX ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER,
                                  1, &p);
}

static void reflect(GpuShader *sh) {
    GLint n = 0;
    glGetProgramInterfaceiv(sh->program, GL_UNIFORM, GL_ACTIVE_RESOURCES, &n);
    sh->uniform_count = 0;
    for (GLint i = 0; i < n && sh->uniform_count < GPU_MAX_UNIFORMS; i++) {
        const GLenum props[4] = {GL_TYPE, GL_ARRAY_SIZE, GL_LOCATION, GL_BLOCK_INDEX};
        GLint vals[4] = {0, 0, -1, -1};
        glGetProgramResourceiv(sh->program, GL_UNIFORM, (GLuint)i, 4, props, 4, nullptr, vals);
        char name[128];
        glGetProgramResourceName(sh->program, GL_UNIFORM, (GLuint)i, sizeof(name), nullptr, name);
        if (vals[3] != -1 || vals[2] < 0) continue; // block members have no location
        if (std::strncmp(name, "gpu_", 4) == 0 || std::strchr(name, '.')) continue;
        char *br = std::strchr(name, '[');
        if (br) *br = 0;
        if (std::strlen(name) >= sizeof(sh->uniforms[0].name)) continue;
        GpuUniform &u = sh->uniforms[sh->uniform_count++];
        std::snprintf(u.name, sizeof(u.name), "%s", name);
        u.type = (GLenum)vals[0];
        u.count = vals[1] > 0 ? vals[1] : 1;
        u.location = vals[2];
    }
}

GpuShader *gpu_shader_compile_source(const char *source, const char *entry, GpuShaderKind kind,
                                     char *err, size_t err_size) {
    set_err(err, err_size, "");
    if (!g_gpu.created) {
        set_err(err, err_size, "no device");
        return nullptr;
    }
    if (!source || !is_identifier(entry) || std::strcmp(entry, "main") == 0 ||
        (kind != GPU_SHADER_VERTEX && kind != GPU_SHADER_PIXEL)) {
        set_err(err, err_size, "bad source, entry point or kind");
        return nullptr;
    }
    GpuShader *sh = nullptr;
    for (GpuShader &s : s_shaders)
        if (!s.used) {
            sh = &s;
            break;
        }
    if (!sh) {
        set_err(err, err_size, "too many shaders");
        return nullptr;
    }
    GLuint prog = create_program(source, entry, kind, true);
    GLint ok = 0;
    if (prog) glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        // The fog additions may clash with what the source puts at location 10 (an array
        // over it, say): such a source still compiles, without fog.
        if (prog) glDeleteProgram(prog);
        prog = create_program(source, entry, kind, false);
        if (prog) glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    }
    if (!ok) {
        if (prog && err && err_size) glGetProgramInfoLog(prog, (GLsizei)err_size, nullptr, err);
        if (prog) glDeleteProgram(prog);
        return nullptr;
    }
    std::memset(sh, 0, sizeof(*sh));
    sh->used = true;
    sh->kind = kind;
    sh->program = prog;
    sh->pixel_offset_loc = glGetUniformLocation(prog, "gpu_pixel_offset");
    sh->clip_planes_loc = glGetUniformLocation(prog, "gpu_clip_planes");
    sh->alpha_func_loc = glGetUniformLocation(prog, "gpu_alpha_func");
    sh->alpha_ref_loc = glGetUniformLocation(prog, "gpu_alpha_ref");
    sh->fog_on_loc = glGetUniformLocation(prog, "gpu_fog_on");
    sh->fog_color_loc = glGetUniformLocation(prog, "gpu_fog_color");
    sh->fog_loc = glGetUniformLocation(prog, "gpu_fog");
    sh->blend_weights_loc = glGetUniformLocation(prog, "gpu_blend_weights");
    sh->generation = g_gpu.ff_generation - 1;
    gpu_uniform_cache_init(&sh->cache, prog);
    reflect(sh);
    return sh;
}

GpuShader *gpu_shader_compile_file(const char *path, const char *entry, GpuShaderKind kind,
                                   char *err, size_t err_size) {
    set_err(err, err_size, "");
    if (!path) {
        set_err(err, err_size, "no path");
        return nullptr;
    }
    FILE *f = sys_fopen(path, "rb");
    if (!f) {
        set_err(err, err_size, "cannot open the source");
        return nullptr;
    }
    std::string src;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) src.append(buf, n);
    std::fclose(f);
    if (src.find('\0') != std::string::npos) {
        set_err(err, err_size, "the source is not text");
        return nullptr;
    }
    return gpu_shader_compile_source(src.c_str(), entry, kind, err, err_size);
}

void gpu_shader_release(GpuShader *shader) {
    if (!shader || !shader->used) return;
    if (g_gpu.vs == shader) g_gpu.vs = nullptr;
    if (g_gpu.ps == shader) g_gpu.ps = nullptr;
    if (g_gpu.created) {
        // The name may come back for another program: forget what the pipeline holds.
        if (g_gpu.gl.vs_program == shader->program) g_gpu.gl.vs_program = ~0u;
        if (g_gpu.gl.fs_program == shader->program) g_gpu.gl.fs_program = ~0u;
        glDeleteProgram(shader->program);
    }
    gpu_uniform_cache_free(&shader->cache);
    shader->used = false;
}

void gpu_shader_release_all(void) {
    for (GpuShader &s : s_shaders)
        if (s.used) gpu_shader_release(&s);
}

void gpu_set_vertex_shader(GpuShader *shader) {
    gpu_trace(GPU_TRACE_SHADER, 0, 0, 0, shader);
    if (shader && (!shader->used || shader->kind != GPU_SHADER_VERTEX)) shader = nullptr;
    g_gpu.vs = shader;
}

void gpu_set_pixel_shader(GpuShader *shader) {
    gpu_trace(GPU_TRACE_SHADER, 1, 0, 0, shader);
    if (shader && (!shader->used || shader->kind != GPU_SHADER_PIXEL)) shader = nullptr;
    g_gpu.ps = shader;
}

// ---------------------------------------------------------------------------------------------
// Constant table. Handles are 1 + the uniform's index; 0 = not found.

uint32_t gpu_constant_find(GpuShader *shader, const char *name) {
    if (!shader || !shader->used || !name) return 0;
    for (uint32_t i = 0; i < shader->uniform_count; i++)
        if (std::strcmp(shader->uniforms[i].name, name) == 0) return i + 1;
    return 0;
}

static const GpuUniform *uniform_of(GpuShader *shader, uint32_t handle) {
    if (!g_gpu.created || !shader || !shader->used || handle == 0 || handle > shader->uniform_count)
        return nullptr;
    return &shader->uniforms[handle - 1];
}

static int vector_width(GLenum type) {
    switch (type) {
        case GL_FLOAT:
        case GL_INT:
        case GL_BOOL:
            return 1;
        case GL_FLOAT_VEC2:
        case GL_INT_VEC2:
        case GL_BOOL_VEC2:
            return 2;
        case GL_FLOAT_VEC3:
        case GL_INT_VEC3:
        case GL_BOOL_VEC3:
            return 3;
        case GL_FLOAT_VEC4:
        case GL_INT_VEC4:
        case GL_BOOL_VEC4:
            return 4;
        default:
            return 0;
    }
}

static bool is_float_type(GLenum type) {
    return type == GL_FLOAT || type == GL_FLOAT_VEC2 || type == GL_FLOAT_VEC3 ||
           type == GL_FLOAT_VEC4;
}

// Sets `count` elements of a scalar or vector uniform from float4 rows (extra components
// are dropped, as a narrower register takes only its first components).
static void set_rows(GpuShader *sh, const GpuUniform *u, const float *v, uint32_t count) {
    int w = vector_width(u->type);
    if (w == 0) return;
    if (count > (uint32_t)u->count) count = (uint32_t)u->count;
    if (count > 128) count = 128;
    if (count == 0) return;
    if (is_float_type(u->type)) {
        float packed[4 * 128];
        for (uint32_t i = 0; i < count; i++)
            for (int c = 0; c < w; c++) packed[i * w + c] = v[i * 4 + c];
        gpu_uniform_floats(&sh->cache, u->location, w, (GLsizei)count, packed);
    } else {
        GLint packed[4 * 128];
        for (uint32_t i = 0; i < count; i++)
            for (int c = 0; c < w; c++) packed[i * w + c] = (GLint)v[i * 4 + c];
        gpu_uniform_ints(&sh->cache, u->location, w, (GLsizei)count, packed);
    }
}

void gpu_constant_set_matrix_array(GpuShader *shader, uint32_t handle, const float *m,
                                   uint32_t count) {
    const GpuUniform *u = uniform_of(shader, handle);
    if (!u || !m) return;
    if (count > (uint32_t)u->count) count = (uint32_t)u->count;
    if (count == 0) return;
    if (u->type == GL_FLOAT_MAT4) {
        gpu_uniform_matrices(&shader->cache, u->location, GL_FLOAT_MAT4, (GLsizei)count, m);
    } else if (u->type == GL_FLOAT_MAT3) {
        for (uint32_t i = 0; i < count; i++) {
            float r[9];
            for (int row = 0; row < 3; row++)
                for (int col = 0; col < 3; col++) r[row * 3 + col] = m[i * 16 + row * 4 + col];
            gpu_uniform_matrices(&shader->cache, u->location + (GLint)i, GL_FLOAT_MAT3, 1, r);
        }
    } else if (u->type == GL_FLOAT_MAT3x4) { // `p * m` giving three columns
        for (uint32_t i = 0; i < count; i++) {
            float r[12];
            for (int row = 0; row < 4; row++)
                for (int col = 0; col < 3; col++) r[row * 3 + col] = m[i * 16 + row * 4 + col];
            gpu_uniform_matrices(&shader->cache, u->location + (GLint)i, GL_FLOAT_MAT3x4, 1, r);
        }
    } else if (vector_width(u->type) == 4) { // a vec4 array takes the rows
        set_rows(shader, u, m, count * 4);
    }
}

void gpu_constant_set_matrix(GpuShader *shader, uint32_t handle, const float m[16]) {
    gpu_constant_set_matrix_array(shader, handle, m, 1);
}

void gpu_constant_set_vector_array(GpuShader *shader, uint32_t handle, const float *v,
                                   uint32_t count) {
    const GpuUniform *u = uniform_of(shader, handle);
    if (!u || !v) return;
    set_rows(shader, u, v, count);
}

void gpu_constant_set_vector(GpuShader *shader, uint32_t handle, const float v[4]) {
    gpu_constant_set_vector_array(shader, handle, v, 1);
}

// A scalar sets the first component; the others keep their values.
static void set_first(GpuShader *shader, uint32_t handle, float f) {
    const GpuUniform *u = uniform_of(shader, handle);
    if (!u) return;
    int w = vector_width(u->type);
    if (w == 0) return;
    float row[4] = {f, 0, 0, 0};
    if (w > 1) {
        if (is_float_type(u->type)) {
            glGetUniformfv(shader->program, u->location, row);
        } else {
            GLint iv[4] = {0, 0, 0, 0};
            glGetUniformiv(shader->program, u->location, iv);
            for (int c = 0; c < 4; c++) row[c] = (float)iv[c];
        }
        row[0] = f;
    }
    set_rows(shader, u, row, 1);
}

void gpu_constant_set_float(GpuShader *shader, uint32_t handle, float f) {
    set_first(shader, handle, f);
}

void gpu_constant_set_int(GpuShader *shader, uint32_t handle, int32_t i) {
    set_first(shader, handle, (float)i);
}
