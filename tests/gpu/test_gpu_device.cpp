// Device lifecycle, loss and reset, layouts, buffers, the quad index list and the trace.
#include "gpu_test_util.h"

#include <cstdlib>
#include <cstring>
#include <string>

TEST_F(GpuTest, BackBufferSizeAndPresent) {
    int w = 0, h = 0;
    gpu_get_back_buffer_size(&w, &h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    GpuSurfaceDesc d;
    ASSERT_TRUE(gpu_surface_get_desc(gpu_get_back_buffer(), &d));
    EXPECT_EQ(d.format, (uint32_t)GPU_FMT_X8R8G8B8);
    EXPECT_EQ(gpu_get_render_target(0), gpu_get_back_buffer());
    EXPECT_EQ(gpu_get_render_target(1), nullptr);
    EXPECT_EQ(gpu_get_depth_surface(), nullptr);
    EXPECT_EQ(gpu_begin_scene(), GPU_OK);
    EXPECT_EQ(gpu_end_scene(), GPU_OK);
    EXPECT_EQ(gpu_present(), GPU_OK);
    GpuCaps caps;
    ASSERT_TRUE(gpu_get_device_caps(&caps));
    EXPECT_GE(caps.simultaneous_rts, 2u);
    EXPECT_GE(caps.max_texture_size, 2048u);
    // One device at a time.
    EXPECT_NE(gpu_create_device(window, 1, 0, 0), GPU_OK);
    EXPECT_TRUE(gpu_has_device());
}

// Loss only through the hook: the next present reports it, the cooperative level says "not
// reset" until a reset, which makes the back buffer again at the asked (or client) size.
TEST_F(GpuTest, DeviceLossSequence) {
    EXPECT_EQ(gpu_test_cooperative_level(), GPU_OK);
    gpu_debug_lose_device();
    EXPECT_EQ(gpu_test_cooperative_level(), GPU_OK); // nothing lost before the present
    EXPECT_EQ(gpu_present(), GPU_ERR_DEVICE_LOST);
    EXPECT_EQ(gpu_test_cooperative_level(), GPU_ERR_DEVICE_NOT_RESET);
    EXPECT_EQ(gpu_present(), GPU_ERR_DEVICE_LOST);

    GpuTexture *managed = texture(1, 1, {0xFF00FF00u});
    GpuViewport vp = {1, 1, 2, 2, 0.0f, 1.0f};
    gpu_set_viewport(&vp);
    quad(0.5f, 0.5f, 2.5f, 2.5f, 0xFFFFFFFFu); // the small viewport is in use
    ASSERT_EQ(gpu_reset(32, 16), GPU_OK);
    EXPECT_EQ(gpu_test_cooperative_level(), GPU_OK);
    int w, h;
    gpu_get_back_buffer_size(&w, &h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);
    gpu_get_viewport(&vp);
    EXPECT_EQ(vp.width, 32u);
    EXPECT_EQ(vp.height, 16u);
    EXPECT_EQ(gpu_present(), GPU_OK);

    // The managed texture survived; drawing maps to the new back buffer's pixels.
    gpu_set_texture(0, managed);
    quad(19.5f, 9.5f, 31.5f, 15.5f, 0xFFFFFFFFu);
    EXPECT_EQ(pixel(31, 15), 0xFF00FF00u);
    EXPECT_EQ(pixel(20, 10), 0xFF00FF00u);
    EXPECT_EQ(pixel(19, 10), 0xFF000000u);
    EXPECT_EQ(pixel(20, 9), 0xFF000000u);
    gpu_texture_release(managed);

    ASSERT_EQ(gpu_reset(0, 0), GPU_OK); // the window's client size
    gpu_get_back_buffer_size(&w, &h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
}

TEST_F(GpuTest, FlexibleFormatStrides) {
    EXPECT_EQ(gpu_fvf_stride(0x244), 36u);
    EXPECT_EQ(gpu_fvf_stride(0x844), 84u);
    EXPECT_EQ(gpu_fvf_stride(0x342), 40u);
    EXPECT_EQ(gpu_fvf_stride(0x152), 36u);
    EXPECT_EQ(gpu_fvf_stride(0x112), 32u);
    EXPECT_EQ(gpu_fvf_stride(0x1008), 20u);
    EXPECT_EQ(gpu_fvf_stride(0x100E), 32u);
    EXPECT_EQ(gpu_fvf_stride(0x111E), 52u);
    EXPECT_EQ(gpu_fvf_stride(0x40212), 44u); // second set FLOAT3
    EXPECT_EQ(gpu_fvf_stride(0x30112), 28u); // FLOAT1 set
    EXPECT_EQ(gpu_fvf_stride(0x1D2), 52u);   // tangent after the sets
    EXPECT_EQ(gpu_fvf_stride(0), 0u);        // no position
    EXPECT_EQ(gpu_fvf_stride(0x942), 0u);    // nine sets
}

// A declaration laid out like 0x244 draws the same as the format code.
TEST_F(GpuTest, DeclarationDrawsLikeItsFormatCode) {
    const GpuVertexElement el[] = {
        {0, 0, GPU_DECL_FLOAT4, 0, GPU_USAGE_POSITIONT, 0},
        {0, 16, GPU_DECL_COLOR, 0, GPU_USAGE_COLOR, 0},
        {0, 20, GPU_DECL_FLOAT2, 0, GPU_USAGE_TEXCOORD, 0},
        {0, 28, GPU_DECL_FLOAT2, 0, GPU_USAGE_TEXCOORD, 1},
        GPU_DECL_END,
    };
    GpuVertexDecl *decl = gpu_vertex_decl_create(el);
    ASSERT_NE(decl, nullptr);
    gpu_set_vertex_decl(decl);
    quad(1.5f, 1.5f, 5.5f, 5.5f, 0xFF3366CCu);
    EXPECT_EQ(pixel(3, 3), 0xFF3366CCu);
    const GpuVertexElement bad[] = {{0, 0, 99, 0, GPU_USAGE_POSITION, 0}, GPU_DECL_END};
    EXPECT_EQ(gpu_vertex_decl_create(bad), nullptr);
    gpu_vertex_decl_release(decl);
    // With the declaration gone and no format, a draw is refused rather than guessed.
    gpu_set_vertex_decl(nullptr);
    gpu_set_fvf(0);
    ScreenVertex v[3] = {};
    EXPECT_NE(gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, 1, v, sizeof(ScreenVertex)), GPU_OK);
}

// Buffers and the three indexed paths: index buffer, user indices, the shared quad list.
TEST_F(GpuTest, BufferAndIndexedDraws) {
    std::vector<ScreenVertex> verts;
    auto add_quad = [&](float l, float t, uint32_t c) {
        float r = l + 4, b = t + 4;
        verts.push_back({l - 0.5f, t - 0.5f, 0, 1, c, 0, 0, 0, 0});
        verts.push_back({r - 0.5f, t - 0.5f, 0, 1, c, 0, 0, 0, 0});
        verts.push_back({l - 0.5f, b - 0.5f, 0, 1, c, 0, 0, 0, 0});
        verts.push_back({r - 0.5f, b - 0.5f, 0, 1, c, 0, 0, 0, 0});
    };
    add_quad(0, 0, 0xFFFF0000u);
    add_quad(8, 0, 0xFF00FF00u);
    add_quad(16, 0, 0xFF0000FFu);
    std::vector<uint16_t> quads(4096 * 6);
    for (uint16_t q = 0; q < 4096; q++) {
        const uint16_t b = (uint16_t)(q * 4);
        uint16_t *p = &quads[q * 6u];
        p[0] = b, p[1] = b + 1, p[2] = b + 2, p[3] = b + 3, p[4] = b + 2, p[5] = b + 1;
    }
    gpu_set_quad_index_list(quads.data(), 4096);

    // User memory through the quad list: quads 1 and 2 only.
    EXPECT_EQ(gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 4, 8, 4, quads.data() + 6,
                                            verts.data(), sizeof(ScreenVertex)),
              GPU_OK);
    EXPECT_EQ(pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(pixel(9, 1), 0xFF00FF00u);
    EXPECT_EQ(pixel(19, 3), 0xFF0000FFu);
    // Indices outside the vertex range are refused, not read past.
    uint16_t stray[3] = {0, 1, 40};
    EXPECT_NE(gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, 12, 1, stray, verts.data(),
                                            sizeof(ScreenVertex)),
              GPU_OK);
    // Indices that begin in the quad list and run past its end are refused, not read.
    EXPECT_EQ(gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, 12, 2,
                                            quads.data() + 4096 * 6 - 3, verts.data(),
                                            sizeof(ScreenVertex)),
              GPU_ERR_INVALID_CALL);

    // Vertex and index buffers: quad 0 with base vertex 0, quad 2 with base vertex 8.
    GpuVertexBuffer *vb = gpu_vertex_buffer_create((uint32_t)(verts.size() * sizeof(ScreenVertex)));
    GpuIndexBuffer *ib = gpu_index_buffer_create(12);
    ASSERT_TRUE(vb && ib);
    std::memcpy(gpu_vertex_buffer_lock(vb), verts.data(), verts.size() * sizeof(ScreenVertex));
    gpu_vertex_buffer_unlock(vb);
    std::memcpy(gpu_index_buffer_lock(ib), quads.data(), 12);
    gpu_index_buffer_unlock(ib);
    gpu_set_stream_source(vb, 0, sizeof(ScreenVertex));
    gpu_set_indices(ib);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 0, 0, 4, 0, 2), GPU_OK);
    EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 8, 0, 4, 0, 2), GPU_OK);
    EXPECT_EQ(pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(pixel(9, 1), 0xFF000000u);
    EXPECT_EQ(pixel(17, 1), 0xFF0000FFu);
    EXPECT_NE(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 0, 0, 4, 4, 2), GPU_OK); // past end
    // Indices that with the base vertex name no vertex of the stream are refused: base 12 puts
    // quad 0 past the twelve vertices, and so does an offset stream start.
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 12, 0, 4, 0, 2),
              GPU_ERR_INVALID_CALL);
    gpu_set_stream_source(vb, 9 * sizeof(ScreenVertex), sizeof(ScreenVertex));
    EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 0, 0, 4, 0, 2), GPU_ERR_INVALID_CALL);
    gpu_set_stream_source(vb, 8 * sizeof(ScreenVertex), sizeof(ScreenVertex));
    EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 0, 0, 4, 0, 2), GPU_OK);
    EXPECT_EQ(pixel(17, 1), 0xFF0000FFu);
    gpu_set_stream_source(vb, 0, sizeof(ScreenVertex));
    // Non-indexed from the buffer: quad 1 as a strip.
    EXPECT_EQ(gpu_draw_primitive(GPU_PT_TRIANGLESTRIP, 4, 2), GPU_OK);
    EXPECT_EQ(pixel(9, 1), 0xFF00FF00u);
    EXPECT_NE(gpu_draw_primitive(GPU_PT_TRIANGLESTRIP, 10, 2), GPU_OK); // past end
    EXPECT_NE(gpu_draw_primitive(99, 0, 1), GPU_OK);
    gpu_vertex_buffer_release(vb);
    gpu_index_buffer_release(ib);
}

// Many user-memory draws wrap the ring buffer without disturbing earlier draws.
TEST_F(GpuTest, RingBufferWrapsSafely) {
    std::vector<ScreenVertex> big(4 * 4096);
    for (int i = 0; i < 200; i++) {
        uint32_t c = 0xFF000000u | (uint32_t)i;
        for (ScreenVertex &v : big) v = {-10, -10, 0, 1, c, 0, 0, 0, 0};
        big[0] = {-0.5f, -0.5f, 0, 1, c, 0, 0, 0, 0};
        big[1] = {3.5f, -0.5f, 0, 1, c, 0, 0, 0, 0};
        big[2] = {-0.5f, 3.5f, 0, 1, c, 0, 0, 0, 0};
        ASSERT_EQ(gpu_draw_primitive_up(GPU_PT_TRIANGLELIST, (uint32_t)big.size() / 3, big.data(),
                                        sizeof(ScreenVertex)),
                  GPU_OK);
    }
    EXPECT_EQ(pixel(0, 0), 0xFF0000C7u);
}

TEST_F(GpuTest, TraceRecordsCallsInOrder) {
    gpu_trace_clear();
    gpu_trace_enable(true);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_sampler_state(2, GPU_SAMP_ADDRESSU, 3);
    GpuTexture *t = texture(1, 1, {0xFFFFFFFFu});
    gpu_set_texture(0, t);
    quad(0, 0, 4, 4, 0xFFFFFFFFu);
    gpu_present();
    gpu_trace_enable(false);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 0); // not recorded
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    ASSERT_EQ(n, 5u);
    EXPECT_EQ(e[0].kind, GPU_TRACE_RENDER_STATE);
    EXPECT_EQ(e[0].b, (uint32_t)GPU_RS_ALPHABLENDENABLE);
    EXPECT_EQ(e[0].c, 1u);
    EXPECT_EQ(e[1].kind, GPU_TRACE_SAMPLER_STATE);
    EXPECT_EQ(e[1].a, 2u);
    EXPECT_EQ(e[1].c, 3u);
    EXPECT_EQ(e[2].kind, GPU_TRACE_SET_TEXTURE);
    EXPECT_EQ(e[2].ptr, t);
    EXPECT_EQ(e[3].kind, GPU_TRACE_DRAW);
    EXPECT_EQ(e[3].a, (uint32_t)GPU_PT_TRIANGLESTRIP);
    EXPECT_EQ(e[3].b, 2u);
    EXPECT_EQ(e[3].c, 4u);
    EXPECT_EQ(e[4].kind, GPU_TRACE_PRESENT);
    gpu_trace_clear();
    gpu_trace_entries(&n);
    EXPECT_EQ(n, 0u);
    gpu_texture_release(t);
}

// The software kind makes a working device too and leaves the environment as it found it;
// negative sizes count as their magnitude.
TEST_F(GpuTest, SoftwareKindAndNegativeSizes) {
    gpu_destroy_device();
    EXPECT_FALSE(gpu_has_device());
    EXPECT_EQ(gpu_present(), GPU_ERR_INVALID_CALL);
    EXPECT_EQ(gpu_texture_create(4, 4, 1, 0, GPU_FMT_A8R8G8B8, GPU_POOL_MANAGED), nullptr);
    // The environment that asks for the software rasteriser is put back after creation.
    const char *had = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    std::string saved = had ? had : "";
    unsetenv("LIBGL_ALWAYS_SOFTWARE");
    ASSERT_EQ(gpu_create_device(window, 2, -40, -20), GPU_OK);
    EXPECT_EQ(std::getenv("LIBGL_ALWAYS_SOFTWARE"), nullptr);
    if (had) setenv("LIBGL_ALWAYS_SOFTWARE", saved.c_str(), 1);
    int w, h;
    gpu_get_back_buffer_size(&w, &h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 20);
    gpu_set_fvf(0x244);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    quad(29.5f, 9.5f, 39.5f, 19.5f, 0xFFABCDEFu);
    EXPECT_EQ(pixel(39, 19), 0xFFABCDEFu);
    EXPECT_EQ(pixel(29, 9), 0xFF000000u);
}
