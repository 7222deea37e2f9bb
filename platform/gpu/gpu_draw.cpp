// Draws from vertex/index buffers and from user memory (through the ring buffer), with the
// shared quad index list served from its static index buffer.
#include "platform/gpu/gpu_internal.h"

static bool primitive(uint32_t type, uint32_t prims, GLenum *mode, uint32_t *count) {
    switch (type) {
        case GPU_PT_POINTLIST:
            *mode = GL_POINTS, *count = prims;
            return true;
        case GPU_PT_LINELIST:
            *mode = GL_LINES, *count = prims * 2;
            return true;
        case GPU_PT_LINESTRIP:
            *mode = GL_LINE_STRIP, *count = prims + 1;
            return true;
        case GPU_PT_TRIANGLELIST:
            *mode = GL_TRIANGLES, *count = prims * 3;
            return true;
        case GPU_PT_TRIANGLESTRIP:
            *mode = GL_TRIANGLE_STRIP, *count = prims + 2;
            return true;
        case GPU_PT_TRIANGLEFAN:
            *mode = GL_TRIANGLE_FAN, *count = prims + 2;
            return true;
        default:
            return false;
    }
}

static const GpuLayout *current_layout(void) {
    const GpuLayout *l = g_gpu.decl ? &g_gpu.decl->layout : &g_gpu.fvf_layout;
    return l->present[GPU_ATTR_POSITION] ? l : nullptr;
}

// The opening every draw shares: the primitive's GL mode and element count, the trace entry and
// the layout in force. False ends the draw with *result (an empty draw succeeds doing nothing).
struct DrawStart {
    GLenum mode;
    uint32_t count;
    const GpuLayout *layout;
};
static bool begin_draw(uint32_t type, uint32_t prims, uint32_t traced_vertices, DrawStart *d,
                       GpuResult *result) {
    *result = GPU_ERR_INVALID_CALL;
    if (!g_gpu.created || !primitive(type, prims, &d->mode, &d->count)) return false;
    gpu_trace(GPU_TRACE_DRAW, type, prims, traced_vertices ? traced_vertices : d->count, nullptr);
    d->layout = current_layout();
    if (prims == 0) *result = GPU_OK;
    return prims != 0 && d->layout;
}

// Everything a draw needs but its buffers: programs, targets, states, textures, layout.
static bool prepare(const GpuLayout *layout) {
    if (!gpu_bind_programs(layout)) return false;
    gpu_apply_framebuffer(g_gpu.ps != nullptr);
    gpu_apply_draw_states();
    gpu_apply_textures();
    GLuint vao = gpu_layout_vao(layout);
    GpuGlCache &c = g_gpu.gl;
    if (c.vao != vao) {
        glBindVertexArray(vao);
        c.vao = vao;
        // Buffer bindings belong to the vertex-array object.
        c.vertex_buffer = c.index_buffer = ~0u;
    }
    return true;
}

static void bind_vertices(GLuint buf, GLintptr offset, GLsizei stride) {
    GpuGlCache &c = g_gpu.gl;
    if (c.vertex_buffer == buf && c.vertex_offset == offset && c.vertex_stride == stride) return;
    glVertexArrayVertexBuffer(c.vao, 0, buf, offset, stride);
    c.vertex_buffer = buf, c.vertex_offset = offset, c.vertex_stride = stride;
}

static void bind_indices(GLuint buf) {
    GpuGlCache &c = g_gpu.gl;
    if (c.index_buffer == buf) return;
    glVertexArrayElementBuffer(c.vao, buf);
    c.index_buffer = buf;
}

GpuResult gpu_draw_primitive(uint32_t type, uint32_t start_vertex, uint32_t prim_count) {
    DrawStart d;
    GpuResult r;
    if (!begin_draw(type, prim_count, 0, &d, &r)) return r;
    GpuVertexBuffer *vb = g_gpu.stream_vb;
    uint32_t stride = g_gpu.stream_stride;
    if (!vb || stride == 0) return GPU_ERR_INVALID_CALL;
    uint64_t end = g_gpu.stream_offset + (uint64_t)(start_vertex + (uint64_t)d.count) * stride;
    if (end > vb->bytes) return GPU_ERR_INVALID_CALL;
    if (!prepare(d.layout)) return GPU_FAIL;
    bind_vertices(vb->buf, g_gpu.stream_offset, (GLsizei)stride);
    glDrawArrays(d.mode, (GLint)start_vertex, (GLsizei)d.count);
    return GPU_OK;
}

GpuResult gpu_draw_indexed_primitive(uint32_t type, int32_t base_vertex, uint32_t min_index,
                                     uint32_t num_vertices, uint32_t start_index,
                                     uint32_t prim_count) {
    (void)min_index;
    DrawStart d;
    GpuResult r;
    if (!begin_draw(type, prim_count, num_vertices, &d, &r)) return r;
    GpuVertexBuffer *vb = g_gpu.stream_vb;
    GpuIndexBuffer *ib = g_gpu.indices;
    if (!vb || !ib || g_gpu.stream_stride == 0 || base_vertex < 0) return GPU_ERR_INVALID_CALL;
    if ((uint64_t)(start_index + (uint64_t)d.count) * 2 > ib->bytes) return GPU_ERR_INVALID_CALL;
    // Every index, moved by the base vertex, must name a vertex inside the stream: past its
    // end GL reads whatever memory follows on a context without robust access.
    if (g_gpu.stream_offset > vb->bytes) return GPU_ERR_INVALID_CALL;
    const uint64_t vertices = (vb->bytes - g_gpu.stream_offset) / g_gpu.stream_stride;
    const uint16_t *idx = (const uint16_t *)ib->shadow + start_index;
    for (uint32_t i = 0; i < d.count; i++)
        if ((uint64_t)idx[i] + (uint64_t)base_vertex >= vertices) return GPU_ERR_INVALID_CALL;
    if (!prepare(d.layout)) return GPU_FAIL;
    bind_vertices(vb->buf, g_gpu.stream_offset, (GLsizei)g_gpu.stream_stride);
    bind_indices(ib->buf);
    glDrawElementsBaseVertex(d.mode, (GLsizei)d.count, GL_UNSIGNED_SHORT,
                             (const void *)(uintptr_t)(start_index * 2u), base_vertex);
    return GPU_OK;
}

GpuResult gpu_draw_primitive_up(uint32_t type, uint32_t prim_count, const void *vertices,
                                uint32_t stride) {
    DrawStart d;
    GpuResult r;
    if (!begin_draw(type, prim_count, 0, &d, &r)) return r;
    if (!vertices || stride == 0) return GPU_ERR_INVALID_CALL;
    if (!prepare(d.layout)) return GPU_FAIL;
    GLintptr off = gpu_ring_write(vertices, d.count * stride, 16);
    if (off < 0) return GPU_ERR_INVALID_CALL;
    // The user stream replaces the stream source, as on the original platform.
    g_gpu.stream_vb = nullptr;
    bind_vertices(g_gpu.ring, off, (GLsizei)stride);
    glDrawArrays(d.mode, 0, (GLsizei)d.count);
    return GPU_OK;
}

GpuResult gpu_draw_indexed_primitive_up(uint32_t type, uint32_t min_index, uint32_t num_vertices,
                                        uint32_t prim_count, const uint16_t *indices,
                                        const void *vertices, uint32_t stride) {
    DrawStart d;
    GpuResult r;
    if (!begin_draw(type, prim_count, num_vertices, &d, &r)) return r;
    const uint32_t count = d.count;
    if (!indices || !vertices || stride == 0 || num_vertices == 0) return GPU_ERR_INVALID_CALL;
    uint64_t last = (uint64_t)min_index + num_vertices;
    if (last > 65536) return GPU_ERR_INVALID_CALL;

    // Indices from the shared quad list come from its static buffer; any others are checked
    // against the vertex range (GL would read past the copied vertices) and streamed.
    GLuint ibuf = 0;
    GLintptr ioff = -1;
    const uint16_t *q = g_gpu.quad_src;
    const uint16_t *q_end = q ? q + (size_t)g_gpu.quad_count * 6 : nullptr;
    // Indices that start inside the shared quad list must end inside it too.
    if (q && indices >= q && indices < q_end && count > (size_t)(q_end - indices))
        return GPU_ERR_INVALID_CALL;
    if (q && indices >= q && indices + count <= q_end) {
        size_t first = (size_t)(indices - q);
        // Quad q uses vertices 4q..4q+3: the range covers every quad the draw touches.
        uint32_t lo = (uint32_t)(first / 6) * 4, hi = (uint32_t)((first + count + 5) / 6) * 4;
        if (lo < min_index || hi > last) return GPU_ERR_INVALID_CALL;
        ibuf = g_gpu.quad_ib;
        ioff = (GLintptr)(first * 2);
    } else {
        for (uint32_t i = 0; i < count; i++)
            if (indices[i] < min_index || indices[i] >= last) return GPU_ERR_INVALID_CALL;
    }
    if (!prepare(d.layout)) return GPU_FAIL;
    GLintptr voff = gpu_ring_write((const uint8_t *)vertices + (size_t)min_index * stride,
                                   num_vertices * stride, 16);
    if (voff < 0) return GPU_ERR_INVALID_CALL;
    if (!ibuf) {
        ioff = gpu_ring_write(indices, count * 2, 4);
        if (ioff < 0) return GPU_ERR_INVALID_CALL;
        ibuf = g_gpu.ring;
    }
    g_gpu.stream_vb = nullptr;
    g_gpu.indices = nullptr;
    bind_vertices(g_gpu.ring, voff, (GLsizei)stride);
    bind_indices(ibuf);
    glDrawElementsBaseVertex(d.mode, (GLsizei)count, GL_UNSIGNED_SHORT, (const void *)ioff,
                             -(GLint)min_index);
    return GPU_OK;
}

void gpu_set_stream_source(GpuVertexBuffer *vb, uint32_t offset, uint32_t stride) {
    g_gpu.stream_vb = vb && vb->used ? vb : nullptr;
    g_gpu.stream_offset = offset;
    g_gpu.stream_stride = stride;
}

void gpu_set_indices(GpuIndexBuffer *ib) {
    g_gpu.indices = ib && ib->used ? ib : nullptr;
}
