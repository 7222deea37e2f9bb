// Vertex layouts from flexible format codes and from declarations, one vertex-array object per
// layout. Attributes go to the fixed locations of GpuAttribLocation, all from stream 0.
#include "platform/gpu/gpu_internal.h"

#include <cstring>

enum { GPU_MAX_DECLS = 256, GPU_MAX_FVF_VAOS = 128 };

static GpuVertexDecl s_decls[GPU_MAX_DECLS];
static struct {
    uint32_t fvf;
    GLuint vao;
} s_fvf_vaos[GPU_MAX_FVF_VAOS];
static int s_fvf_vao_count;

static void put(GpuLayout *l, int attr, GLint size, GLenum type, bool norm, uint32_t offset) {
    l->present[attr] = true;
    l->size[attr] = size;
    l->type[attr] = type;
    l->normalized[attr] = norm;
    l->offset[attr] = offset;
}

// Bits: position 0x2 (xyz) or 0x4 (xyzrhw), 0x1008/0x100A/0x100C/0x100E (xyz, 1-4 blend
// weights and a UBYTE4 index word); 0x10 normal; 0x40 diffuse; bits 8-11 the number of
// coordinate sets, set i sized by bits 16+2i (0 two, 1 three, 2 four, 3 one float); 0x80 a
// float4 tangent after the coordinate sets.
bool gpu_layout_from_fvf(uint32_t fvf, GpuLayout *out) {
    std::memset(out, 0, sizeof(*out));
    int kind = 0;
    if (fvf & 0x2) kind = 1;
    if (fvf & 0x4) kind = 2;
    if ((fvf & 0x1008) == 0x1008) kind = 3;
    if ((fvf & 0x100A) == 0x100A) kind = 4;
    if ((fvf & 0x100C) == 0x100C) kind = 5;
    if ((fvf & 0x100E) == 0x100E) kind = 6;
    uint32_t sets = (fvf >> 8) & 0xF;
    if (kind == 0 || sets > 8) return false;
    uint32_t off = 0;
    if (kind == 2) {
        put(out, GPU_ATTR_POSITION, 4, GL_FLOAT, false, off);
        out->pretransformed = true;
        off += 16;
    } else {
        put(out, GPU_ATTR_POSITION, 3, GL_FLOAT, false, off);
        off += 12;
        if (kind >= 3) {
            GLint weights = kind - 2;
            put(out, GPU_ATTR_BLENDWEIGHT, weights, GL_FLOAT, false, off);
            off += 4 * (uint32_t)weights;
            put(out, GPU_ATTR_BLENDINDICES, 4, GL_UNSIGNED_BYTE, false, off);
            off += 4;
        }
    }
    if (fvf & 0x10) {
        put(out, GPU_ATTR_NORMAL, 3, GL_FLOAT, false, off);
        off += 12;
    }
    if (fvf & 0x40) {
        put(out, GPU_ATTR_COLOR, GL_BGRA, GL_UNSIGNED_BYTE, true, off);
        off += 4;
    }
    static const GLint SET_SIZE[4] = {2, 3, 4, 1};
    for (uint32_t i = 0; i < sets; i++) {
        GLint n = SET_SIZE[(fvf >> (16 + 2 * i)) & 3];
        put(out, GPU_ATTR_TEXCOORD0 + (int)i, n, GL_FLOAT, false, off);
        off += 4 * (uint32_t)n;
    }
    if (fvf & 0x80) {
        put(out, GPU_ATTR_TANGENT, 4, GL_FLOAT, false, off);
        off += 16;
    }
    out->stride = off;
    return true;
}

uint32_t gpu_fvf_stride(uint32_t fvf) {
    GpuLayout l;
    return gpu_layout_from_fvf(fvf, &l) ? l.stride : 0;
}

bool gpu_layout_from_elements(const GpuVertexElement *el, GpuLayout *out) {
    std::memset(out, 0, sizeof(*out));
    for (int n = 0; el[n].stream != 0xFF; n++) {
        if (n >= 64) return false; // no end marker in sight
        const GpuVertexElement &e = el[n];
        GLint size;
        GLenum type = GL_FLOAT;
        bool norm = false;
        uint32_t bytes;
        switch (e.type) {
            case GPU_DECL_FLOAT1:
                size = 1, bytes = 4;
                break;
            case GPU_DECL_FLOAT2:
                size = 2, bytes = 8;
                break;
            case GPU_DECL_FLOAT3:
                size = 3, bytes = 12;
                break;
            case GPU_DECL_FLOAT4:
                size = 4, bytes = 16;
                break;
            case GPU_DECL_COLOR:
                size = GL_BGRA, type = GL_UNSIGNED_BYTE, norm = true, bytes = 4;
                break;
            case GPU_DECL_UBYTE4:
                size = 4, type = GL_UNSIGNED_BYTE, bytes = 4;
                break;
            case GPU_DECL_UBYTE4N:
                size = 4, type = GL_UNSIGNED_BYTE, norm = true, bytes = 4;
                break;
            case GPU_DECL_SHORT2:
                size = 2, type = GL_SHORT, bytes = 4;
                break;
            case GPU_DECL_SHORT4:
                size = 4, type = GL_SHORT, bytes = 8;
                break;
            default:
                return false;
        }
        if (e.stream != 0) continue; // one stream is all the renderer uses
        int attr = -1;
        switch (e.usage) {
            case GPU_USAGE_POSITION:
                attr = e.usage_index == 0 ? GPU_ATTR_POSITION : -1;
                break;
            case GPU_USAGE_POSITIONT:
                attr = GPU_ATTR_POSITION;
                out->pretransformed = true;
                break;
            case GPU_USAGE_BLENDWEIGHT:
                attr = GPU_ATTR_BLENDWEIGHT;
                break;
            case GPU_USAGE_BLENDINDICES:
                attr = GPU_ATTR_BLENDINDICES;
                break;
            case GPU_USAGE_NORMAL:
                attr = GPU_ATTR_NORMAL;
                break;
            case GPU_USAGE_COLOR:
                attr = e.usage_index == 0 ? GPU_ATTR_COLOR : -1;
                break;
            case GPU_USAGE_TEXCOORD:
                attr = e.usage_index < 8 ? GPU_ATTR_TEXCOORD0 + e.usage_index : -1;
                break;
            case GPU_USAGE_TANGENT:
                attr = GPU_ATTR_TANGENT;
                break;
            default:
                break;
        }
        if (e.offset + bytes > out->stride) out->stride = e.offset + bytes;
        if (attr >= 0) put(out, attr, size, type, norm, e.offset);
    }
    return true;
}

static GLuint make_vao(const GpuLayout *l) {
    GLuint vao = 0;
    glCreateVertexArrays(1, &vao);
    for (int a = 0; a < GPU_ATTR_COUNT; a++) {
        if (!l->present[a]) continue;
        glEnableVertexArrayAttrib(vao, (GLuint)a);
        glVertexArrayAttribFormat(vao, (GLuint)a, l->size[a], l->type[a], l->normalized[a],
                                  l->offset[a]);
        glVertexArrayAttribBinding(vao, (GLuint)a, 0);
    }
    return vao;
}

GLuint gpu_layout_vao(const GpuLayout *layout) {
    if (g_gpu.decl && layout == &g_gpu.decl->layout) return g_gpu.decl->vao;
    for (int i = 0; i < s_fvf_vao_count; i++)
        if (s_fvf_vaos[i].fvf == g_gpu.fvf) return s_fvf_vaos[i].vao;
    GLuint vao = make_vao(layout);
    if (s_fvf_vao_count < GPU_MAX_FVF_VAOS)
        s_fvf_vaos[s_fvf_vao_count++] = {g_gpu.fvf, vao};
    else { // table full: replace the oldest entry
        glDeleteVertexArrays(1, &s_fvf_vaos[0].vao);
        std::memmove(&s_fvf_vaos[0], &s_fvf_vaos[1],
                     sizeof(s_fvf_vaos[0]) * (GPU_MAX_FVF_VAOS - 1));
        s_fvf_vaos[GPU_MAX_FVF_VAOS - 1] = {g_gpu.fvf, vao};
        g_gpu.gl.vao = ~0u;
    }
    return vao;
}

void gpu_layout_shutdown(void) {
    for (int i = 0; i < s_fvf_vao_count; i++) glDeleteVertexArrays(1, &s_fvf_vaos[i].vao);
    s_fvf_vao_count = 0;
    for (GpuVertexDecl &d : s_decls)
        if (d.used) gpu_vertex_decl_release(&d);
}

void gpu_set_fvf(uint32_t fvf) {
    g_gpu.decl = nullptr;
    g_gpu.fvf = fvf;
    if (!gpu_layout_from_fvf(fvf, &g_gpu.fvf_layout)) {
        std::memset(&g_gpu.fvf_layout, 0, sizeof(g_gpu.fvf_layout));
        g_gpu.fvf = 0;
    }
}

GpuVertexDecl *gpu_vertex_decl_create(const GpuVertexElement *elements) {
    if (!g_gpu.created || !elements) return nullptr;
    for (GpuVertexDecl &d : s_decls) {
        if (d.used) continue;
        if (!gpu_layout_from_elements(elements, &d.layout)) return nullptr;
        if (!d.layout.present[GPU_ATTR_POSITION]) return nullptr;
        d.vao = make_vao(&d.layout);
        d.used = true;
        return &d;
    }
    return nullptr;
}

void gpu_vertex_decl_release(GpuVertexDecl *decl) {
    if (!decl || !decl->used) return;
    if (g_gpu.decl == decl) g_gpu.decl = nullptr;
    if (g_gpu.created) {
        if (g_gpu.gl.vao == decl->vao) g_gpu.gl.vao = ~0u;
        glDeleteVertexArrays(1, &decl->vao);
    }
    decl->used = false;
}

void gpu_set_vertex_decl(GpuVertexDecl *decl) {
    g_gpu.decl = decl && decl->used ? decl : nullptr;
}
