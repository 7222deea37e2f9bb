// Vertex and index buffers (a CPU copy, uploaded whole at unlock), the ring buffer that
// user-memory draws stream through, and the static quad index list.
#include "platform/gpu/gpu_internal.h"

#include <cstdlib>
#include <cstring>

enum { GPU_MAX_VERTEX_BUFFERS = 8192, GPU_MAX_INDEX_BUFFERS = 8192 };
static const uint32_t RING_BYTES = 32u << 20;

static GpuVertexBuffer s_vbs[GPU_MAX_VERTEX_BUFFERS];
static GpuIndexBuffer s_ibs[GPU_MAX_INDEX_BUFFERS];

// The ring is mapped once, persistently; it is cut into segments, and a fence set when
// writing leaves a segment is waited on before writing enters it again, so no draw in flight
// ever sees its data overwritten and the storage is never reallocated.
enum { RING_SEGMENTS = 8 };
static uint8_t *s_ring_map;
static GLsync s_ring_fence[RING_SEGMENTS];
static uint32_t s_ring_segment;

bool gpu_buffer_init(void) {
    const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    glCreateBuffers(1, &g_gpu.ring);
    glNamedBufferStorage(g_gpu.ring, RING_BYTES, nullptr, flags);
    s_ring_map = (uint8_t *)glMapNamedBufferRange(g_gpu.ring, 0, RING_BYTES, flags);
    g_gpu.ring_size = RING_BYTES;
    g_gpu.ring_pos = 0;
    s_ring_segment = 0;
    for (GLsync &f : s_ring_fence) f = nullptr;
    return s_ring_map != nullptr && glGetError() == GL_NO_ERROR;
}

void gpu_buffer_shutdown(void) {
    for (GpuVertexBuffer &b : s_vbs)
        if (b.used) gpu_vertex_buffer_release(&b);
    for (GpuIndexBuffer &b : s_ibs)
        if (b.used) gpu_index_buffer_release(&b);
    for (GLsync &f : s_ring_fence) {
        if (f) glDeleteSync(f);
        f = nullptr;
    }
    if (s_ring_map) glUnmapNamedBuffer(g_gpu.ring);
    s_ring_map = nullptr;
    glDeleteBuffers(1, &g_gpu.ring);
    if (g_gpu.quad_ib) glDeleteBuffers(1, &g_gpu.quad_ib);
    g_gpu.ring = g_gpu.quad_ib = 0;
}

static void ring_enter(uint32_t seg) {
    // Fence what has been issued so far against the segment being left.
    if (!s_ring_fence[s_ring_segment])
        s_ring_fence[s_ring_segment] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (s_ring_fence[seg]) {
        glClientWaitSync(s_ring_fence[seg], GL_SYNC_FLUSH_COMMANDS_BIT, ~(GLuint64)0);
        glDeleteSync(s_ring_fence[seg]);
        s_ring_fence[seg] = nullptr;
    }
    s_ring_segment = seg;
}

GLintptr gpu_ring_write(const void *data, uint32_t bytes, uint32_t align) {
    if (bytes == 0 || bytes > g_gpu.ring_size || !s_ring_map) return -1;
    const uint32_t seg_bytes = g_gpu.ring_size / RING_SEGMENTS;
    uint32_t pos = (g_gpu.ring_pos + align - 1) / align * align;
    if (pos + bytes > g_gpu.ring_size) {
        pos = 0;
        ring_enter(0);
    }
    uint32_t last = (pos + bytes - 1) / seg_bytes;
    while (s_ring_segment < last) ring_enter(s_ring_segment + 1);
    std::memcpy(s_ring_map + pos, data, bytes);
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
