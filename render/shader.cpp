// Shader start-up and release, and the per-draw bind.
#include "render/shader.h"

#include <cstdio>
#include <cstring>

#include "app/config.h"
#include "math/mat4.h"
#include "platform/sys/sys_file.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/view.h"
#include "scene/point_light.h"

static ShaderSet s_set;

ShaderSet *shader_get_set(void) {
    return &s_set;
}

// One row per slot: source file, lookup and per-draw callbacks. Slot 0 of each kind is fixed
// function. Every vertex slot compiles "vxx" and every pixel slot "pxx"; the rows differ in the
// constants they feed.
static const ShaderSlotDesc k_vertex_rows[SHADER_VERTEX_SLOTS] = {
    {nullptr, 0, nullptr, nullptr},
    {"vxx", 0, shader_find_consts_v1, shader_set_consts_v1},
    {"vxx", 0, shader_find_consts_v2, shader_set_consts_v2},
    {"vxx", 0, shader_find_consts_v2, shader_set_consts_v2},
    {"vxx", 0, shader_find_consts_v2, shader_set_consts_v2},
    {"vxx", 0, shader_find_consts_v2, shader_set_consts_v2},
    {"vxx", 0, shader_find_consts_v6, shader_set_consts_v6},
    {"vxx", 0, shader_find_consts_v6, shader_set_consts_v6},
    {"vxx", 0, shader_find_consts_v6, shader_set_consts_v6},
    {"vxx", 0, shader_find_consts_v6, shader_set_consts_v6},
};

static const ShaderSlotDesc k_pixel_rows[SHADER_PIXEL_SLOTS] = {
    {nullptr, 0, nullptr, nullptr},
    {"pxx", 0, shader_find_consts_p1, shader_set_consts_p1},
    {"pxx", 0, shader_find_consts_p1, shader_set_consts_p1},
    {"pxx", 0, shader_find_consts_p3, shader_set_consts_p3},
    {"pxx", 0, shader_find_consts_p3, shader_set_consts_p3},
};

// {vertex shader, vertex shader with a bone palette, pixel shader}
static const int32_t k_pair_table[5][3] = {
    {0, 1, 0}, {2, 3, 1}, {4, 5, 2}, {6, 7, 3}, {8, 9, 4},
};

static bool lit_by_point_lights(void) {
    return s_set.light_count != 0 && shader_requested(gfx_get_req_lighting());
}

// Shader set -> pair-table row.
static int32_t select_row(uint32_t set) {
    switch (set) {
        case 1:
            return lit_by_point_lights() ? 2 : 1;
        case 2:
            return lit_by_point_lights() ? 4 : 3;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up and release

static const char k_default_shader_folder[] = ".\\bin\\tks\\";

static void compile_slot(ShaderSlot *slot, const ShaderSlotDesc *row, const char *folder,
                         GpuShaderKind kind) {
    if (!row->file) {
        slot->loaded = 1;
        return;
    }
    // The source is read by its joined path; the working directory stays as it is.
    char joined[512], path[512], err[1024];
    size_t len = strlen(folder);
    bool has_sep = len > 0 && (folder[len - 1] == '\\' || folder[len - 1] == '/');
    int n = snprintf(joined, sizeof joined, "%s%s%s", folder, has_sep ? "" : "\\", row->file);
    if (n < 0 || (size_t)n >= sizeof joined) return;
    sys_path_native(path, sizeof path, joined);
    const char *entry = kind == GPU_SHADER_VERTEX ? "VsMain" : "PsMain";
    GpuShader *shader = gpu_shader_compile_file(path, entry, kind, err, sizeof err);
    if (!shader) return; // the slot stays empty and draws as fixed function
    slot->loaded = 1;
    slot->shader = shader;
    if (row->find_consts) row->find_consts(slot);
}

void shader_load_all(void) {
    // A second load without a release in between would leak the first one's objects.
    shader_release_all();
    memset(&s_set, 0, sizeof s_set);
    const bool vertex_ok = gfx_has_vs_above_11() != 0;
    const bool pixel_ok = gfx_has_ps_20() != 0;

    if (vertex_ok) {
        GpuVertexElement elements[SHADER_DECL_MAX_ELEMENTS];
        for (int i = 0; i < SHADER_DECL_COUNT; ++i) {
            shader_build_vertex_decl(elements, shader_vertex_decl_code(i));
            s_set.decls[i] = gpu_vertex_decl_create(elements);
        }
    }

    const char *folder = cfg_get_string("SHPATH");
    if (!folder) folder = k_default_shader_folder;
    char native[512];
    sys_path_native(native, sizeof native, folder);
    if (sys_is_directory(native)) {
        if (vertex_ok)
            for (int i = 0; i < SHADER_VERTEX_SLOTS; ++i)
                compile_slot(&s_set.vertex[i], &k_vertex_rows[i], folder, GPU_SHADER_VERTEX);
        if (pixel_ok)
            for (int i = 0; i < SHADER_PIXEL_SLOTS; ++i)
                compile_slot(&s_set.pixel[i], &k_pixel_rows[i], folder, GPU_SHADER_PIXEL);
    }

    shader_set_light_params(view_get_cur_view_matrix(), view_get_cur_camera_matrix(),
                            view_get_cur_proj(), view_get_cur_view_proj(),
                            view_get_cur_proj_view());
    shader_set_near_far(view_get_near(0), view_get_far(0));
}

static void release_slot(ShaderSlot *slot) {
    if (slot->shader) gpu_shader_release(slot->shader);
    memset(slot, 0, sizeof *slot);
}

void shader_release_all(void) {
    for (int i = 0; i < SHADER_DECL_COUNT; ++i) {
        if (s_set.decls[i]) gpu_vertex_decl_release(s_set.decls[i]);
        s_set.decls[i] = nullptr;
    }
    for (ShaderSlot &slot : s_set.vertex) release_slot(&slot);
    for (ShaderSlot &slot : s_set.pixel) release_slot(&slot);
}

void shader_reload(void) {
    shader_release_all();
    shader_load_all();
}

void shader_set_light_params(const Mat4 *view, const Mat4 *camera, const Mat4 *proj,
                             const Mat4 *view_proj, const Mat4 *proj_view) {
    s_set.pass_view = view;
    s_set.pass_camera = camera;
    s_set.pass_proj = proj;
    s_set.pass_view_proj = view_proj;
    s_set.pass_proj_view = proj_view;
}

void shader_set_near_far(float near, float far) {
    s_set.pass_near = near;
    s_set.pass_far = far;
}

uint32_t shader_get_flag(void) {
    return s_set.flag;
}

// ---------------------------------------------------------------------------------------------
// The per-draw bind

static void store_lights(PointLight *const *lights, int32_t count) {
    // More than three lights would overrun the constant arrays; the callers pick at most three.
    if (count < 0 || !lights) count = 0;
    if (count > SHADER_MAX_LIGHTS) count = SHADER_MAX_LIGHTS;
    s_set.light_count = (uint32_t)count;
    for (int i = 0; i < SHADER_MAX_LIGHTS; ++i) {
        const PointLight *l = i < count ? lights[i] : nullptr;
        if (!l) {
            s_set.light_pos[i] = {0.0f, 0.0f, 0.0f, 0.0f};
            s_set.light_color[i] = {0.0f, 0.0f, 0.0f, 0.0f};
            s_set.light_range[i] = {0.0f, 0.0f, 0.0f, 0.0f};
            continue;
        }
        Vec3 p = l->position;
        if (s_set.inv_world) mat4_transform_point(&p, s_set.inv_world, &p);
        s_set.light_pos[i] = {p.x, p.y, p.z, l->radius};
        s_set.light_color[i] = {l->color_f[0], l->color_f[1], l->color_f[2], l->color_f[3]};
        s_set.light_range[i] = {l->radius, l->radius * l->radius, 0.0f, 0.0f};
    }
}

void shader_select(int32_t set, const void *user, int32_t selector, int32_t decl, const Mat4 *world,
                   const NodeMaterial *material, const MeshBuffers *mesh,
                   const ModelInstance *instance, float value, PointLight *const *lights,
                   int32_t light_count) {
    if (set >= SHADER_SET_COUNT || selector < 0 || selector > 3) return;
    if ((unsigned)decl >= (unsigned)SHADER_DECL_COUNT) decl = 0;
    if (set >= 0) s_set.current_set = (uint32_t)set;
    s_set.flag = 0;
    s_set.device = gfx_get_device();

    s_set.world = world;
    if (world) {
        mat4_inverse(&s_set.inv_world_matrix, world);
        s_set.inv_world = &s_set.inv_world_matrix;
    } else {
        s_set.inv_world = nullptr;
    }

    const ViewLight *light = view_get_light((int)view_get_current());
    if (material) {
        shader_build_material_constants(&s_set.material[0], &s_set.material[1], &s_set.material[2],
                                        &s_set.material[3], &s_set.material[4], material,
                                        light->color_f);
    } else {
        s_set.material[0] = {0.0f, 0.0f, 0.0f, 0.0f};
        s_set.material[1] = {0.0f, 0.0f, 0.0f, 0.0f};
        s_set.material[2] = {1.0f, 1.0f, 1.0f, 1.0f};
        s_set.material[3] = {0.0f, 0.0f, 0.0f, 0.0f};
    }

    s_set.value = value;
    store_lights(lights, light_count);

    const int32_t *row = k_pair_table[select_row(s_set.current_set)];
    // The palette column only for a mesh with bones in a format with blend weights: a rigid
    // mesh drawn with an instance keeps the plain shader.
    int32_t vs = row[0];
    const uint32_t code = shader_vertex_decl_code(decl);
    s_set.palette_count = 0;
    if (instance && shader_mesh_bone_count(mesh) && (code & 0x1008) == 0x1008) {
        shader_build_bone_palette(mesh, instance);
        vs = row[1];
    }
    int32_t ps = row[2];

    // Vertex stage. The fixed-function layout follows the declaration on every draw, so a kept
    // set never draws with the layout of an earlier format.
    const bool vs_unchanged = set < 0 && vs == s_set.last_vertex;
    ShaderSlot *vslot = vs >= 1 && vs <= 9 ? &s_set.vertex[vs] : nullptr;
    if (!vslot || !vslot->shader) {
        gpu_set_fvf(shader_vertex_decl_code(decl));
        if (!vs_unchanged) gpu_set_vertex_shader(nullptr);
    } else {
        if (s_set.decls[decl])
            gpu_set_vertex_decl(s_set.decls[decl]);
        else
            gpu_set_fvf(shader_vertex_decl_code(decl));
        if (!vs_unchanged) gpu_set_vertex_shader(vslot->shader);
        k_vertex_rows[vs].set_consts(vslot, user, s_set.device);
    }

    const bool ps_unchanged = set < 0 && ps == s_set.last_pixel;
    ShaderSlot *pslot = ps >= 1 && ps <= 4 ? &s_set.pixel[ps] : nullptr;
    if (!pslot || !pslot->shader) {
        if (!ps_unchanged) gpu_set_pixel_shader(nullptr);
    } else {
        if (!ps_unchanged) gpu_set_pixel_shader(pslot->shader);
        k_pixel_rows[ps].set_consts(pslot, user, s_set.device);
    }

    s_set.last_vertex = vs;
    s_set.last_pixel = ps;
}
