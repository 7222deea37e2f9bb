// Device formats as GL formats. Locked bytes keep the device's memory layout (ARGB words are
// B, G, R, A bytes; 16-bit formats are little-endian words), so GL reads them with the matching
// packed client types; swizzles supply what the format has not (X8 alpha, A8, L8, A8L8).
#include "platform/gpu/gpu_internal.h"

#define SW_RGBA                                                                                    \
    { GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA }
#define SW_RGB1                                                                                    \
    { GL_RED, GL_GREEN, GL_BLUE, GL_ONE }

// The sized RGBA formats keep render targets in RGBA order on a software GL driver: drawn into
// BGRA storage, its faster paths would give other pixels (gpu_device.cpp, the back buffer).
static const GpuFormatInfo FORMATS[] = {
    {GPU_FMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, SW_RGBA, false, false},
    {GPU_FMT_X8R8G8B8, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, SW_RGB1, false, false},
    {GPU_FMT_R8G8B8, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3, 0, SW_RGB1, false, false},
    {GPU_FMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, 0, SW_RGB1, false, false},
    {GPU_FMT_X1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, SW_RGB1, false,
     false},
    {GPU_FMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, SW_RGBA, false,
     false},
    {GPU_FMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, SW_RGBA, false,
     false},
    {GPU_FMT_A8,
     GL_R8,
     GL_RED,
     GL_UNSIGNED_BYTE,
     1,
     0,
     {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED},
     false,
     false},
    {GPU_FMT_L8,
     GL_R8,
     GL_RED,
     GL_UNSIGNED_BYTE,
     1,
     0,
     {GL_RED, GL_RED, GL_RED, GL_ONE},
     false,
     false},
    {GPU_FMT_A8L8,
     GL_RG8,
     GL_RG,
     GL_UNSIGNED_BYTE,
     2,
     0,
     {GL_RED, GL_RED, GL_RED, GL_GREEN},
     false,
     false},
    {GPU_FMT_A2B10G10R10, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, 0, SW_RGBA,
     false, false},
    {GPU_FMT_A2R10G10B10, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, 0, SW_RGBA,
     false, false},
    {GPU_FMT_A16B16G16R16, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, 8, 0, SW_RGBA, false, false},
    {GPU_FMT_R16F,
     GL_R16F,
     GL_RED,
     GL_HALF_FLOAT,
     2,
     0,
     {GL_RED, GL_ONE, GL_ONE, GL_ONE},
     false,
     false},
    {GPU_FMT_G16R16F,
     GL_RG16F,
     GL_RG,
     GL_HALF_FLOAT,
     4,
     0,
     {GL_RED, GL_GREEN, GL_ONE, GL_ONE},
     false,
     false},
    {GPU_FMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, 0, SW_RGBA, false, false},
    {GPU_FMT_R32F, GL_R32F, GL_RED, GL_FLOAT, 4, 0, {GL_RED, GL_ONE, GL_ONE, GL_ONE}, false, false},
    {GPU_FMT_G32R32F,
     GL_RG32F,
     GL_RG,
     GL_FLOAT,
     8,
     0,
     {GL_RED, GL_GREEN, GL_ONE, GL_ONE},
     false,
     false},
    {GPU_FMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, 0, SW_RGBA, false, false},
    {GPU_FMT_DXT1, 0x83F1 /* RGBA S3TC DXT1 */, 0, 0, 0, 8, SW_RGBA, false, false},
    {GPU_FMT_DXT2, 0x83F2 /* DXT3 */, 0, 0, 0, 16, SW_RGBA, false, false},
    {GPU_FMT_DXT3, 0x83F2, 0, 0, 0, 16, SW_RGBA, false, false},
    {GPU_FMT_DXT4, 0x83F3 /* DXT5 */, 0, 0, 0, 16, SW_RGBA, false, false},
    {GPU_FMT_DXT5, 0x83F3, 0, 0, 0, 16, SW_RGBA, false, false},
    {GPU_FMT_D16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, 0, SW_RGBA, true,
     false},
    {GPU_FMT_D24S8, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, 0, SW_RGBA,
     true, true},
};

const GpuFormatInfo *gpu_format_info(uint32_t format) {
    // The other stencil formats are made as D24S8.
    if (format == GPU_FMT_D15S1 || format == GPU_FMT_D24X4S4 || format == GPU_FMT_D24FS8)
        format = GPU_FMT_D24S8;
    for (const GpuFormatInfo &f : FORMATS)
        if (f.format == format) return &f;
    return nullptr;
}

uint32_t gpu_format_pitch(const GpuFormatInfo *fi, uint32_t w) {
    if (fi->bytes == 0) return ((w + 3) / 4) * fi->block_bytes;
    return w * fi->bytes;
}

uint32_t gpu_format_level_bytes(const GpuFormatInfo *fi, uint32_t w, uint32_t h) {
    if (fi->bytes == 0) return gpu_format_pitch(fi, w) * ((h + 3) / 4);
    return w * fi->bytes * h;
}
