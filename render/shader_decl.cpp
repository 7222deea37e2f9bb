// The vertex-format codes of the declaration table and the element lists built from them.
#include "render/shader.h"

static const uint32_t k_decl_codes[SHADER_DECL_COUNT] = {
    0x244,  0x844,   0x342,    0x112,    0x12,     0x40112,  0x52,     0x40152,  0x1D2,    0x112,
    0x192,  0x40212, 0x152,    0x40252,  0x1118,   0x111A,   0x111C,   0x111E,   0x1198,   0x119A,
    0x119C, 0x119E,  0x41218,  0x4121A,  0x4121C,  0x4121E,  0x1158,   0x115A,   0x115C,   0x115E,
    0x11D8, 0x11DA,  0x11DC,   0x11DE,   0x41258,  0x4125A,  0x4125C,  0x4125E,  0x1258,   0x125A,
    0x125C, 0x125E,  0x101358, 0x10135A, 0x10135C, 0x10135E, 0x501458, 0x50145A, 0x50145C, 0x50145E,
};

uint32_t shader_vertex_decl_code(int index) {
    return (unsigned)index < (unsigned)SHADER_DECL_COUNT ? k_decl_codes[index] : k_decl_codes[0];
}

int shader_find_vertex_decl(uint32_t code) {
    for (int i = 0; i < SHADER_DECL_COUNT; ++i)
        if (k_decl_codes[i] == code) return i;
    return 0;
}

static uint16_t type_size(uint8_t type) {
    switch (type) {
        case GPU_DECL_FLOAT1:
            return 4;
        case GPU_DECL_FLOAT2:
            return 8;
        case GPU_DECL_FLOAT3:
            return 12;
        case GPU_DECL_FLOAT4:
            return 16;
        default:
            return 4; // COLOR and UBYTE4
    }
}

void shader_build_vertex_decl(GpuVertexElement *out, uint32_t code) {
    int n = 0;
    uint16_t offset = 0;
    auto add = [&](uint8_t type, uint8_t usage, uint8_t usage_index) {
        out[n++] = GpuVertexElement{0, offset, type, 0, usage, usage_index};
        offset = (uint16_t)(offset + type_size(type));
    };

    // Position kinds: each later test overrides the earlier ones.
    int kind = 0;
    if (code & 0x2) kind = 1;
    if (code & 0x4) kind = 2;
    if ((code & 0x1008) == 0x1008) kind = 3;
    if ((code & 0x100A) == 0x100A) kind = 4;
    if ((code & 0x100C) == 0x100C) kind = 5;
    if ((code & 0x100E) == 0x100E) kind = 6;
    if (kind == 1) add(GPU_DECL_FLOAT3, GPU_USAGE_POSITION, 0);
    if (kind == 2) add(GPU_DECL_FLOAT4, GPU_USAGE_POSITIONT, 0);
    if (kind >= 3) {
        static const uint8_t weights[4] = {GPU_DECL_FLOAT1, GPU_DECL_FLOAT2, GPU_DECL_FLOAT3,
                                           GPU_DECL_FLOAT4};
        add(GPU_DECL_FLOAT3, GPU_USAGE_POSITION, 0);
        add(weights[kind - 3], GPU_USAGE_BLENDWEIGHT, 0);
        add(GPU_DECL_UBYTE4, GPU_USAGE_BLENDINDICES, 0);
    }
    if (code & 0x10) add(GPU_DECL_FLOAT3, GPU_USAGE_NORMAL, 0);
    if (code & 0x40) add(GPU_DECL_COLOR, GPU_USAGE_COLOR, 0);

    uint32_t sets = (code >> 8) & 0xF;
    if (sets > 8) sets = 8;
    static const uint8_t set_types[4] = {GPU_DECL_FLOAT2, GPU_DECL_FLOAT3, GPU_DECL_FLOAT4,
                                         GPU_DECL_FLOAT1};
    for (uint32_t i = 0; i < sets; ++i)
        add(set_types[(code >> (16 + 2 * i)) & 3], GPU_USAGE_TEXCOORD, (uint8_t)i);
    if (code & 0x80) add(GPU_DECL_FLOAT4, GPU_USAGE_TANGENT, 0);

    out[n] = GpuVertexElement GPU_DECL_END;
}
