// Vertex and index buffers (a CPU copy, uploaded whole at unlock), the ring buffer that
// user-memory draws stream through, and the static quad index list.
#include "platform/gpu/gpu_internal.h"

#include <cstdlib>
#include <cstring>

enum { GPU_MAX_VERTEX_BUFFERS = 8192, GPU_MAX_INDEX_BUFFERS = 8192 };
static const uint32_t RING_BYTES = 16u << 20;

static GpuVertexBuffer s_vbs[GPU_MAX_VERTEX_BUFFERS];
static GpuIndexBuffer s_ibs[GPU_MAX_INDEX_BUFFERS];

bool gpu_buffer_init(void) {
    glCreateBuffers(1, &g_gpu.ring);
    glNamedBufferData(g_gpu.ring, RING_BYTES, nullptr, GL_STREAM_DRAW);
    g_gpu.ring_size = RING_BYTES;
    g_gpu.ring_pos = 0;
    return glGetError() == GL_NO_ERROR;
}

void gpu_buffer_shutdown(void) {
    for (GpuVertexBuffer &b : s_vbs)
        if (b.used) gpu_vertex_buffer_release(&b);
    for (GpuIndexBuffer &b : s_ibs)
        if (b.used) gpu_index_buffer_release(&b);
    glDeleteBuffers(1, &g_gpu.ring);
    if (g_gpu.quad_ib) glDeleteBuffers(1, &g_gpu.quad_ib);
    g_gpu.ring = g_gpu.quad_ib = 0;
}

// Writes behind what earlier draws read; when the end is reached the buffer is orphaned and
// writing starts again at 0, so no draw in flight ever sees its data overwritten.
GLintptr gpu_ring_write(const void *data, uint32_t bytes, uint32_t align) {
    if (bytes == 0 || bytes > g_gpu.ring_size) return -1;
    uint32_t pos = (g_gpu.ring_pos + align - 1) / align * align;
    GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
    if (pos + bytes > g_gpu.ring_size) {
        glInvalidateBufferData(g_gpu.ring);
        pos = 0;
    }
    void *dst = glMapNamedBufferRange(g_gpu.ring, pos, bytes, access);
    if (!dst) return -1;
    std::memcpy(dst, data, bytes);
    glUnmapNamedBuffer(g_gpu.ring);
    g_gpu.ring_pos = pos + bytes;
    return (GLintptr)pos;
}

template <typename B> static B *buffer_create(B *pool, int count, uint32_t bytes) {
    if (!g_gpu.created || bytes == 0) return nullptr;
    for (int i = 0; i < count; i++) {
        B &b = pool[i];
        if (b.used) continue;
        std::memset(&b, 0, sizeof(b));
        b.shadow = (uint8_t *)std::calloc(bytes, 1);
        if (!b.shadow) return nullptr;
        glCreateBuffers(1, &b.buf);
        glNamedBufferStorage(b.buf, bytes, b.shadow, GL_DYNAMIC_STORAGE_BIT);
        b.bytes = bytes;
        b.used = true;
        return &b;
    }
    return nullptr;
}

template <typename B> static void buffer_release(B *b) {
    if (!b || !b->used) return;
    if (g_gpu.created) glDeleteBuffers(1, &b->buf);
    std::free(b->shadow);
    b->shadow = nullptr;
    b->used = false;
}

GpuVertexBuffer *gpu_vertex_buffer_create(uint32_t bytes) {
    return buffer_create(s_vbs, GPU_MAX_VERTEX_BUFFERS, bytes);
}

void *gpu_vertex_buffer_lock(GpuVertexBuffer *vb) {
    return vb && vb->used ? vb->shadow : nullptr;
}

void gpu_vertex_buffer_unlock(GpuVertexBuffer *vb) {
    if (vb && vb->used && g_gpu.created) glNamedBufferSubData(vb->buf, 0, vb->bytes, vb->shadow);
}

void gpu_vertex_buffer_release(GpuVertexBuffer *vb) {
    if (vb && g_gpu.stream_vb == vb) g_gpu.stream_vb = nullptr;
    if (vb && vb->used && g_gpu.gl.vertex_buffer == vb->buf) g_gpu.gl.vertex_buffer = ~0u;
    buffer_release(vb);
}

GpuIndexBuffer *gpu_index_buffer_create(uint32_t bytes) {
    return buffer_create(s_ibs, GPU_MAX_INDEX_BUFFERS, bytes);
}

void *gpu_index_buffer_lock(GpuIndexBuffer *ib) {
    return ib && ib->used ? ib->shadow : nullptr;
}

void gpu_index_buffer_unlock(GpuIndexBuffer *ib) {
    if (ib && ib->used && g_gpu.created) glNamedBufferSubData(ib->buf, 0, ib->bytes, ib->shadow);
}

void gpu_index_buffer_release(GpuIndexBuffer *ib) {
    if (ib && g_gpu.indices == ib) g_gpu.indices = nullptr;
    if (ib && ib->used && g_gpu.gl.index_buffer == ib->buf) g_gpu.gl.index_buffer = ~0u;
    buffer_release(ib);
}

void gpu_set_quad_index_list(const uint16_t *indices, uint32_t quad_count) {
    if (!g_gpu.created) return;
    if (g_gpu.quad_ib) {
        if (g_gpu.gl.index_buffer == g_gpu.quad_ib) g_gpu.gl.index_buffer = ~0u;
        glDeleteBuffers(1, &g_gpu.quad_ib);
    }
    g_gpu.quad_ib = 0;
    g_gpu.quad_src = nullptr;
    g_gpu.quad_count = 0;
    if (!indices || quad_count == 0) return;
    glCreateBuffers(1, &g_gpu.quad_ib);
    glNamedBufferStorage(g_gpu.quad_ib, (GLsizeiptr)quad_count * 12, indices, 0);
    g_gpu.quad_src = indices;
    g_gpu.quad_count = quad_count;
}
