#include "nodes_test_env.h"

#include <cmath>
#include <cstdlib>

#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/node_settings.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"
#include "scene/wire_prims.h"

namespace {
SurfaceHandle s_depth;
}

bool nodes_test_device(void) {
    if (!test_render_device("nodes test", NODES_TEST_WIDTH, NODES_TEST_HEIGHT)) return false;
    if (!s_depth.surface &&
        !gfx_create_surface(&s_depth, GPU_FMT_D24S8, NODES_TEST_WIDTH, NODES_TEST_HEIGHT))
        return false;
    return true;
}

void nodes_test_begin(uint32_t clear) {
    obj_manager_init();
    line2d_register_kind();
    tri2d_register_kind();
    sprite2d_register_kinds();
    wire_register_line_kind();
    wire_register_triangle_kind();
    obj_register_kind(nullptr, nullptr, nullptr, nullptr, 0); // the 3D sprites' row
    ResourcePoolSizes sizes = *res_default_sizes();
    sizes.models = 16;
    sizes.model_subsets = 64;
    sizes.model_bones = 16;
    sizes.model_name_bytes = sizes.material_name_bytes = sizes.bone_name_bytes = 4096;
    res_init(&sizes);
    view_set_defaults();
    view_set_viewport(0, 0, 0, NODES_TEST_WIDTH, NODES_TEST_HEIGHT);
    view_step_frame(0);
    tex_set_render_targets(0, 0, &s_depth);
    gfx_set_viewport(0, 0, NODES_TEST_WIDTH, NODES_TEST_HEIGHT);
    gfx_set_scissor(0, 0, NODES_TEST_WIDTH, NODES_TEST_HEIGHT);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gfx_clear(GFX_CLEAR_ALL, clear);
}

void nodes_test_frame(void) {
    obj_update_pass();
    obj_build_draw_list();
    gpu_begin_scene();
    view_begin_3d_pass(0, 0);
    obj_draw_layers(40, 63);
    scenedraw_reset_states();
    gpu_end_scene();
    obj_destroy_killed();
}

void nodes_test_screen_of(const Vec3 &point, int *x, int *y) {
    float fx = -1, fy = -1;
    view_project_point(0, &fx, &fy, &point);
    *x = (int)floorf(fx);
    *y = (int)floorf(fy);
}

uint32_t nodes_test_pixel_at(const Vec3 &point) {
    int x, y;
    nodes_test_screen_of(point, &x, &y);
    return test_pixel(x, y);
}

bool rgb_near(uint32_t got, uint32_t want, int t) {
    return std::abs(ch_r(got) - ch_r(want)) <= t && std::abs(ch_g(got) - ch_g(want)) <= t &&
           std::abs(ch_b(got) - ch_b(want)) <= t;
}

uint32_t rgb_of(double r, double g, double b) {
    auto c = [](double v) {
        v = v < 0 ? 0 : v > 1 ? 1 : v;
        return (uint32_t)lround(v * 255.0);
    };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}
