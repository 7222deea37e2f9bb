#include "nodes_test_env.h"

#include <cmath>
#include <cstdlib>

#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/node_settings.h"
#include "app/config.h"
#include "collision/collider.h"
#include "render/shader.h"
#include "render/gfx_mesh.h"
#include <cstdio>
#include <cstring>
#include "resource/res_texture.h"
#include "scene/point_light.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"
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
    sprite3d_register_kind();
    view_register_node_kinds();
    coll_init();
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
    plight_update_all();
    obj_build_draw_list();
    plight_cull_per_camera();
    gpu_begin_scene();
    view_begin_3d_pass(0, 0);
    obj_draw_layers(40, 63);
    scenedraw_reset_states();
    gpu_end_scene();
    plight_sweep_killed();
    obj_destroy_killed();
}

size_t nodes_test_traced_draws(void) {
    gpu_trace_enable(true);
    gpu_trace_clear();
    nodes_test_frame();
    gpu_trace_enable(false);
    return test_trace(GPU_TRACE_DRAW).size();
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

namespace {
ModelMaterial s_materials[16];
}

ResourceHandle nodes_test_quad_model(const char *name, float half, const Vec3 &normal,
                                     uint32_t color, const Vec3 &offset) {
    ModelPool *m = &res_pools()->models;
    if (m->count >= m->capacity) return 0;
    const int32_t index = m->count;
    ModelRecord *r = &m->records[index];
    *r = ModelRecord{};
    res_fill_header(&r->header, &m->names, "m", name);
    r->data = &m->data[index];
    *r->data = ModelData{};

    const float x = offset.x, y = offset.y, z = offset.z;
    const float positions[12] = {x - half, y + half, z, x + half, y + half, z,
                                 x - half, y - half, z, x + half, y - half, z};
    float normals[12];
    uint32_t colors[4];
    for (int v = 0; v < 4; ++v) {
        normals[v * 3] = normal.x, normals[v * 3 + 1] = normal.y, normals[v * 3 + 2] = normal.z;
        colors[v] = color;
    }
    const uint16_t indices[6] = {0, 2, 1, 2, 3, 1};
    MeshDescSubset subset = {};
    subset.first_triangle = 0;
    subset.last_triangle = 1;
    MeshDescription desc = {};
    desc.positions = positions;
    desc.normals = normals;
    desc.colors = color ? colors : nullptr;
    desc.indices = indices;
    desc.vertex_count = 4;
    desc.index_count = 6;
    desc.subsets = &subset;
    desc.subset_count = 1;
    const float radius = half * sqrtf(2.0f);
    const float bounds[6] = {x, y, z, 0, radius, radius * radius};
    memcpy(desc.extra_bounds, bounds, sizeof(bounds));
    const float box[6] = {x - half, y - half, z, x + half, y + half, z};
    memcpy(desc.box, box, sizeof(box));
    uint32_t subsets = 0, bones = 0;
    if (!gfx_build_mesh_buffers(&r->mesh, &desc, &m->subsets[m->subset_count],
                                (uint32_t)(m->subset_capacity - m->subset_count),
                                &m->bones[m->bone_count],
                                (uint32_t)(m->bone_capacity - m->bone_count), &subsets, &bones, 0))
        return 0;
    m->subset_count += (int32_t)subsets;
    m->bone_count += (int32_t)bones;
    m->count++;
    return res_index_to_handle(index);
}

void nodes_test_model_texture(ResourceHandle model, uint32_t material_index,
                              ResourceHandle texture) {
    ModelRecord *r = res_model_record(model);
    ModelMaterial *mat = &s_materials[(model - 1) % 16];
    *mat = ModelMaterial{};
    mat->slot_textures[0] = texture;
    mat->slot_count = 1;
    r->data->materials = mat;
    r->data->material_word = 1;
    r->mesh.subsets[0].material_index = material_index;
}

ResourceHandle nodes_test_texture(const char *name, uint32_t argb) {
    const ResourceHandle t = res_create_texture("t", name, 1, 1, 0);
    if (!t || !res_texture_fill(t, 0, 0, 1, 1, &argb)) return 0;
    return t;
}

void nodes_test_load_shaders(void) {
    for (ConfigEntry &row : cfg_get_config()->rows) {
        if (row.key[0] && std::strcmp(row.key, "SHPATH") != 0) continue;
        std::snprintf(row.key, sizeof row.key, "SHPATH");
        std::snprintf(row.value, sizeof row.value, "%s", TAVOK_SOURCE_DIR "/data/tks/");
        break;
    }
    shader_load_all();
    shader_update_fog_constants();
}
