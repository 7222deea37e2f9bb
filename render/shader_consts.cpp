// Shader constants: material terms lit by the view light, fog factors, the bone palette, and
// the per-slot look-up and per-draw callbacks.
#include <cstring>

#include "math/mat4.h"
#include "math/vec.h"
#include "render/gfx_mesh.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "render/view.h"
#include "scene/model_instance.h"
#include "scene/node_material.h"

// Handle positions inside ShaderSlot::handles.
enum {
    VH_M1,
    VH_M2,
    VH_M3,
    VH_V4,
    VH_V5,
    VH_V6,
    VH_V7,
    VH_V8,
    VH_V9,
    VH_VA,
    VH_VB,
    VH_LIGHT_POS,
    VH_LIGHT_COUNT, // "va"/"ib" or "vadf"/"iv"
};
enum {
    PH_V1,
    PH_V2,
    PH_V3,
    PH_V4,
    PH_V5,
    PH_V6,
    PH_COLORS,
    PH_RANGES,
    PH_COUNT, // "x"/"xd"/"zx" or "gsg"/"gd"/"fgs"
};

// A cache word counts as asked for when it is not zero; the unknown marker (reset, no draw
// states set since) included: the quad family and the node kinds reset the cache before they
// select.
bool shader_requested(uint32_t flag) {
    return flag != 0;
}

static Vec4 argb_float(uint32_t argb) {
    return {(float)((argb >> 16) & 0xFF) / 255.0f, (float)((argb >> 8) & 0xFF) / 255.0f,
            (float)(argb & 0xFF) / 255.0f, (float)(argb >> 24) / 255.0f};
}

static Vec4 mul(const Vec4 &a, const Vec4 &b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w};
}

// ---------------------------------------------------------------------------------------------
// Material, fog and palette

void shader_build_material_constants(Vec4 *out1, Vec4 *out2, Vec4 *out3, Vec4 *out4, Vec4 *out5,
                                     const NodeMaterial *material, const Vec4 *light_colors) {
    const float f = material->factor;
    Vec4 ambient = argb_float(material->ambient);
    Vec4 diffuse = argb_float(material->diffuse);
    Vec4 specular = argb_float(material->specular);
    Vec4 e = argb_float(material->emissive);
    Vec4 amb = {ambient.x * f, ambient.y * f, ambient.z * f, ambient.w};
    Vec4 dif = {diffuse.x * f, diffuse.y * f, diffuse.z * f, diffuse.w * f};
    Vec4 spec = {specular.x * f, specular.y * f, specular.z * f, specular.w * f};
    *out5 = dif;
    if (shader_requested(gfx_get_req_lighting())) {
        Vec4 a0 = mul(amb, light_colors[0]), a1 = mul(amb, light_colors[1]);
        *out1 = {a0.x + e.x, a0.y + e.y, a0.z + e.z, a0.w + e.w};
        *out2 = {a1.x + e.x, a1.y + e.y, a1.z + e.z, a1.w + e.w};
        *out3 = mul(dif, light_colors[2]);
        *out4 = mul(spec, light_colors[3]);
        out4->w = material->power;
    } else {
        *out1 = *out2 = {1.0f, 1.0f, 1.0f, 0.0f};
        *out3 = {0.0f, 0.0f, 0.0f, 1.0f};
        *out4 = {0.0f, 0.0f, 0.0f, 0.0f};
    }
    if (out4->w < 0.1f) out4->w = 0.1f;
}

// (-1 / (end - start), end / (end - start)): distance * x + y is 1 up to the start and 0 from
// the end on. A range of zero width is kept finite.
static void fog_factors(float *x, float *y, float start, float end) {
    float width = end - start;
    if (width > -1e-6f && width < 1e-6f) width = width < 0.0f ? -1e-6f : 1e-6f;
    *x = -1.0f / width;
    *y = end / width;
}

void shader_update_fog_constants(void) {
    ShaderSet *s = shader_get_set();
    for (int view = 0; view < VIEW_COUNT; ++view) {
        const float far = view_get_far(view);
        float s1 = far, e1 = far + 1.0f, s2 = far, e2 = far + 1.0f;
        if (view_get_fog_mode(view)) {
            s1 = view_get_fog_start(view);
            e1 = view_get_fog_end(view);
        }
        if (view_get_fog2_mode(view)) {
            s2 = view_get_fog2_start(view);
            e2 = view_get_fog2_end(view);
        }
        Vec4 *both = &s->fog_factors[view][0], *first_off = &s->fog_factors[view][1];
        fog_factors(&both->x, &both->y, s1, e1);
        fog_factors(&both->z, &both->w, s2, e2);
        fog_factors(&first_off->x, &first_off->y, far, far + 1.0f);
        first_off->z = both->z;
        first_off->w = both->w;
    }
}

static bool same_name(const char *a, const char *b) {
    if (!a || !b) return a == b;
    return strcmp(a, b) == 0;
}

uint32_t shader_mesh_bone_count(const MeshBuffers *mesh) {
    return mesh && mesh->bones ? (mesh->counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFF : 0;
}

// Entries are model space: the node's world matrix follows through "m1" and "m2". A mesh bone
// that no instance bone answers gets the identity, never a matrix of an earlier draw.
bool shader_build_bone_palette(const MeshBuffers *mesh, const ModelInstance *instance) {
    ShaderSet *s = shader_get_set();
    s->palette_count = 0;
    if (!mesh || !instance) return false;
    uint32_t count = shader_mesh_bone_count(mesh);
    // The palette holds 128 matrices; bones past that are not skinned.
    if (count > SHADER_PALETTE_SIZE) count = SHADER_PALETTE_SIZE;
    const bool own_mesh = mesh == instance->palette_model;
    for (uint32_t i = 0; i < count; ++i) {
        const MeshBone *bone = &mesh->bones[i];
        Mat4 *entry = &s->palette[i];
        mat4_identity(entry);
        for (const InstanceBone *b = instance->bones; b; b = b->next) {
            if (own_mesh) {
                // The pose fills each palette bone with its offset applied before the pose.
                if (b->palette_index == i) {
                    *entry = b->palette;
                    break;
                }
            } else if (b->name_hash == bone->hash && same_name(b->name, bone->name)) {
                mat4_multiply(entry, &b->pose, &bone->offset);
                break;
            }
        }
        s->palette_count += 1;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Look-ups

uint32_t shader_find_constant(GpuShader *shader, const char *name) {
    return shader ? gpu_constant_find(shader, name) : 0;
}

void shader_find_consts_common(ShaderSlot *slot) {
    static const char *const names[] = {"m1", "m2", "m3", "v4", "v5", "v6",
                                        "v7", "v8", "v9", "va", "vb"};
    for (int i = 0; i < 11; ++i) slot->handles[i] = shader_find_constant(slot->shader, names[i]);
}

void shader_find_consts_pcommon(ShaderSlot *slot) {
    static const char *const names[] = {"v1", "v2", "v3", "v4", "v5", "v6"};
    for (int i = 0; i < 6; ++i) slot->handles[i] = shader_find_constant(slot->shader, names[i]);
}

void shader_find_consts_v1(ShaderSlot *slot) {
    shader_find_consts_common(slot);
}

void shader_find_consts_v2(ShaderSlot *slot) {
    shader_find_consts_common(slot);
    slot->handles[VH_LIGHT_POS] = shader_find_constant(slot->shader, "va");
    slot->handles[VH_LIGHT_COUNT] = shader_find_constant(slot->shader, "ib");
}

void shader_find_consts_v6(ShaderSlot *slot) {
    shader_find_consts_common(slot);
    slot->handles[VH_LIGHT_POS] = shader_find_constant(slot->shader, "vadf");
    slot->handles[VH_LIGHT_COUNT] = shader_find_constant(slot->shader, "iv");
}

void shader_find_consts_p1(ShaderSlot *slot) {
    shader_find_consts_pcommon(slot);
    slot->handles[PH_COLORS] = shader_find_constant(slot->shader, "x");
    slot->handles[PH_RANGES] = shader_find_constant(slot->shader, "xd");
    slot->handles[PH_COUNT] = shader_find_constant(slot->shader, "zx");
}

void shader_find_consts_p3(ShaderSlot *slot) {
    shader_find_consts_pcommon(slot);
    slot->handles[PH_COLORS] = shader_find_constant(slot->shader, "gsg");
    slot->handles[PH_RANGES] = shader_find_constant(slot->shader, "gd");
    slot->handles[PH_COUNT] = shader_find_constant(slot->shader, "fgs");
}

// ---------------------------------------------------------------------------------------------
// Per-draw values

static const Mat4 *or_identity(const Mat4 *m) {
    static Mat4 identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    return m ? m : &identity;
}

static void set_vector(const ShaderSlot *slot, int h, const Vec4 &v) {
    if (slot->handles[h]) gpu_constant_set_vector(slot->shader, slot->handles[h], &v.x);
}

static void set_matrix(const ShaderSlot *slot, int h, const Mat4 *m) {
    if (slot->handles[h]) gpu_constant_set_matrix(slot->shader, slot->handles[h], &m->m[0][0]);
}

// A light vector of the current view taken into object space when the draw has a world matrix.
static Vec4 object_space_dir(const ShaderSet *s, const Vec3 *dir) {
    Vec3 d = *dir;
    if (s->inv_world) {
        mat4_rotate_vector(&d, s->inv_world, &d);
        vec3_normalize(&d, &d);
    }
    return {d.x, d.y, d.z, 0.0f};
}

static void light_vectors(const ShaderSet *s, Vec4 *dir, Vec4 *axis) {
    const ViewLight *light = view_get_light((int)view_get_current());
    *dir = object_space_dir(s, &light->current.direction);
    *axis = object_space_dir(s, &light->current.axis);
}

static Vec4 eye_position(const ShaderSet *s) {
    const Mat4 *cam = or_identity(s->pass_camera);
    Vec3 eye = {cam->m[3][0], cam->m[3][1], cam->m[3][2]};
    if (s->inv_world) mat4_transform_point(&eye, s->inv_world, &eye);
    return {eye.x, eye.y, eye.z, 1.0f};
}

void shader_set_consts_common(ShaderSlot *slot, const void *, GfxDevice *) {
    const ShaderSet *s = shader_get_set();
    const Mat4 *view_proj = or_identity(s->pass_view_proj);
    const Mat4 *view = or_identity(s->pass_view);
    Mat4 m;
    if (slot->handles[VH_M1])
        set_matrix(slot, VH_M1, s->world ? mat4_multiply(&m, view_proj, s->world) : view_proj);
    if (slot->handles[VH_M2])
        set_matrix(slot, VH_M2, s->world ? mat4_multiply(&m, view, s->world) : view);
    if (slot->handles[VH_M3]) {
        // Without a palette the first entry is zeroed, so no draw skins with an earlier one's.
        static const Mat4 none = {};
        const uint32_t count = s->palette_count;
        gpu_constant_set_matrix_array(slot->shader, slot->handles[VH_M3],
                                      count ? &s->palette[0].m[0][0] : &none.m[0][0],
                                      count ? count : 1);
    }
    if (slot->handles[VH_V4]) set_vector(slot, VH_V4, eye_position(s));
    if (slot->handles[VH_V5] || slot->handles[VH_V6]) {
        Vec4 dir, axis;
        light_vectors(s, &dir, &axis);
        set_vector(slot, VH_V5, dir);
        set_vector(slot, VH_V6, axis);
    }
    set_vector(slot, VH_V7, s->material[4]);
    if (slot->handles[VH_V8]) {
        int view = (int)view_get_current() == 1 ? 1 : 0;
        set_vector(slot, VH_V8, s->fog_factors[view][shader_requested(gfx_get_req_fog()) ? 0 : 1]);
    }
    set_vector(slot, VH_V9, s->material[0]);
    // In the point-light slots "va" also carries the light positions, set after this over all
    // its elements: the ambient term would only be overwritten, at the cost of two uploads.
    if (slot->handles[VH_VA] != slot->handles[VH_LIGHT_POS])
        set_vector(slot, VH_VA, s->material[1]);
    set_vector(slot, VH_VB, s->material[2]);
}

void shader_set_consts_pcommon(ShaderSlot *slot, const void *, GfxDevice *) {
    const ShaderSet *s = shader_get_set();
    set_vector(slot, PH_V1, s->material[0]);
    set_vector(slot, PH_V2, s->material[1]);
    set_vector(slot, PH_V4, s->material[2]);
    set_vector(slot, PH_V5, s->material[3]);
    if (slot->handles[PH_V3] || slot->handles[PH_V6]) {
        Vec4 dir, axis;
        light_vectors(s, &dir, &axis);
        set_vector(slot, PH_V3, dir);
        set_vector(slot, PH_V6, axis);
    }
}

static void set_light_positions(ShaderSlot *slot) {
    const ShaderSet *s = shader_get_set();
    if (slot->handles[VH_LIGHT_POS])
        gpu_constant_set_vector_array(slot->shader, slot->handles[VH_LIGHT_POS], &s->light_pos[0].x,
                                      SHADER_MAX_LIGHTS);
    if (slot->handles[VH_LIGHT_COUNT])
        gpu_constant_set_int(slot->shader, slot->handles[VH_LIGHT_COUNT], (int32_t)s->light_count);
}

static void set_light_colors(ShaderSlot *slot) {
    const ShaderSet *s = shader_get_set();
    if (slot->handles[PH_COLORS])
        gpu_constant_set_vector_array(slot->shader, slot->handles[PH_COLORS], &s->light_color[0].x,
                                      SHADER_MAX_LIGHTS);
    if (slot->handles[PH_RANGES])
        gpu_constant_set_vector_array(slot->shader, slot->handles[PH_RANGES], &s->light_range[0].x,
                                      SHADER_MAX_LIGHTS);
    if (slot->handles[PH_COUNT])
        gpu_constant_set_int(slot->shader, slot->handles[PH_COUNT], (int32_t)s->light_count);
}

void shader_set_consts_v1(ShaderSlot *slot, const void *user, GfxDevice *device) {
    shader_set_consts_common(slot, user, device);
}

void shader_set_consts_v2(ShaderSlot *slot, const void *user, GfxDevice *device) {
    shader_set_consts_common(slot, user, device);
    set_light_positions(slot);
}

void shader_set_consts_v6(ShaderSlot *slot, const void *user, GfxDevice *device) {
    shader_set_consts_common(slot, user, device);
    set_light_positions(slot);
}

void shader_set_consts_p1(ShaderSlot *slot, const void *user, GfxDevice *device) {
    shader_set_consts_pcommon(slot, user, device);
    set_light_colors(slot);
}

void shader_set_consts_p3(ShaderSlot *slot, const void *user, GfxDevice *device) {
    shader_set_consts_pcommon(slot, user, device);
    set_light_colors(slot);
}
