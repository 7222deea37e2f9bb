#include "scene_test_env.h"

#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"

bool scene_test_device(void) {
    return test_render_device("scene test", SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
}

void scene_test_begin(uint32_t clear) {
    obj_manager_init();
    line2d_register_kind();
    tri2d_register_kind();
    sprite2d_register_kinds();
    res_init();
    tex_set_render_targets(0, 0, nullptr);
    gfx_set_viewport(0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
    gfx_set_scissor(0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gpu_set_render_state(GPU_RS_ZENABLE, 0);
    gfx_clear(GFX_CLEAR_TARGET, clear);
}

void scene_test_frame(int32_t first, int32_t last) {
    obj_update_pass();
    obj_build_draw_list();
    gpu_begin_scene();
    obj_draw_layers(first, last);
    gpu_end_scene();
    obj_destroy_killed();
}

ResourceHandle scene_test_texture(const char *name, int w, int h,
                                  const std::vector<uint32_t> &texels) {
    const ResourceHandle t = res_create_texture("t", name, w, h, 0); // format 0: A8R8G8B8
    if (!t) return 0;
    if (!res_texture_fill(t, 0, 0, w, h, texels.data())) return 0;
    return t;
}

std::vector<uint32_t> scene_test_draw_counts(void) {
    std::vector<uint32_t> counts;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_DRAW)) counts.push_back(e.b);
    return counts;
}
