// Uniform values as each program last received them. A draw sends a uniform only when its
// value differs from what that program holds: a software driver copies a program's whole
// constant store on every change, so repeated values cost as much as new ones. Nothing is
// sent to location -1 (a uniform the program does not use).
#include "platform/gpu/gpu_internal.h"

#include <cstdlib>
#include <cstring>

enum { MAX_CACHED_LOCATIONS = 1024 };

void gpu_uniform_cache_init(GpuUniformCache *c, GLuint program) {
    gpu_uniform_cache_free(c);
    c->program = program;
    GLint n = 0, end = 0;
    glGetProgramInterfaceiv(program, GL_UNIFORM, GL_ACTIVE_RESOURCES, &n);
    for (GLint i = 0; i < n; i++) {
        const GLenum props[2] = {GL_LOCATION, GL_ARRAY_SIZE};
        GLint vals[2] = {-1, 1};
        glGetProgramResourceiv(program, GL_UNIFORM, (GLuint)i, 2, props, 2, nullptr, vals);
        if (vals[0] < 0) continue;
        GLint last = vals[0] + (vals[1] > 0 ? vals[1] : 1);
        if (last > end) end = last;
    }
    if (end > MAX_CACHED_LOCATIONS) end = MAX_CACHED_LOCATIONS; // the rest are always sent
    if (end == 0) return;
    c->values = (uint8_t *)std::calloc((size_t)end, GPU_UNIFORM_ELEMENT_BYTES);
    c->known = (uint8_t *)std::calloc((size_t)end, 1);
    if (!c->values || !c->known) {
        gpu_uniform_cache_free(c);
        c->program = program;
        return;
    }
    c->locations = end;
}

void gpu_uniform_cache_free(GpuUniformCache *c) {
    std::free(c->values);
    std::free(c->known);
    std::memset(c, 0, sizeof(*c));
}

// True when `count` elements of `bytes` each from `loc` must be sent: the location is real
// and some element differs from (or was never) what the program holds. Records them.
static bool changed(GpuUniformCache *c, GLint loc, const void *data, uint32_t bytes,
                    GLsizei count) {
    if (loc < 0 || count <= 0) return false;
    if (bytes > GPU_UNIFORM_ELEMENT_BYTES || loc + count > c->locations) {
        // Sent uncached: whatever part of it the cache covers no longer holds a known value.
        for (GLint i = loc; i < c->locations && i < loc + count; i++) c->known[i] = 0;
        g_gpu.uniform_uploads++;
        return true;
    }
    const uint8_t *src = (const uint8_t *)data;
    bool same = true;
    for (GLsizei i = 0; i < count && same; i++)
        same = c->known[loc + i] &&
               std::memcmp(c->values + (size_t)(loc + i) * GPU_UNIFORM_ELEMENT_BYTES,
                           src + (size_t)i * bytes, bytes) == 0;
    if (same) return false;
    for (GLsizei i = 0; i < count; i++) {
        std::memcpy(c->values + (size_t)(loc + i) * GPU_UNIFORM_ELEMENT_BYTES,
                    src + (size_t)i * bytes, bytes);
        c->known[loc + i] = 1;
    }
    g_gpu.uniform_uploads++;
    return true;
}

void gpu_uniform_floats(GpuUniformCache *c, GLint loc, int width, GLsizei count, const float *v) {
    if (!changed(c, loc, v, (uint32_t)(width * sizeof(float)), count)) return;
    switch (width) {
        case 1:
            glProgramUniform1fv(c->program, loc, count, v);
            break;
        case 2:
            glProgramUniform2fv(c->program, loc, count, v);
            break;
        case 3:
            glProgramUniform3fv(c->program, loc, count, v);
            break;
        default:
            glProgramUniform4fv(c->program, loc, count, v);
            break;
    }
}

void gpu_uniform_ints(GpuUniformCache *c, GLint loc, int width, GLsizei count, const GLint *v) {
    if (!changed(c, loc, v, (uint32_t)(width * sizeof(GLint)), count)) return;
    switch (width) {
        case 1:
            glProgramUniform1iv(c->program, loc, count, v);
            break;
        case 2:
            glProgramUniform2iv(c->program, loc, count, v);
            break;
        case 3:
            glProgramUniform3iv(c->program, loc, count, v);
            break;
        default:
            glProgramUniform4iv(c->program, loc, count, v);
            break;
    }
}

void gpu_uniform_matrices(GpuUniformCache *c, GLint loc, GLenum type, GLsizei count,
                          const float *v) {
    const uint32_t floats = type == GL_FLOAT_MAT3 ? 9 : type == GL_FLOAT_MAT3x4 ? 12 : 16;
    if (!changed(c, loc, v, floats * (uint32_t)sizeof(float), count)) return;
    // GL_TRUE: each GLSL matrix equals the row-major one, so `p * m` is the row-vector product.
    if (type == GL_FLOAT_MAT3)
        glProgramUniformMatrix3fv(c->program, loc, count, GL_TRUE, v);
    else if (type == GL_FLOAT_MAT3x4)
        glProgramUniformMatrix3x4fv(c->program, loc, count, GL_TRUE, v);
    else
        glProgramUniformMatrix4fv(c->program, loc, count, GL_TRUE, v);
}

uint64_t gpu_debug_uniform_uploads(void) {
    return g_gpu.uniform_uploads;
}
