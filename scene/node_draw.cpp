#include "scene/node_draw.h"

#include <cmath>

#include "math/mat4.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_mesh.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"

namespace {

constexpr uint32_t ALPHA_GREATEREQUAL = 7, FILTER_LINEAR = 2, CULL_CCW_INDEX = 0;
constexpr uint32_t PLAIN_DECL_FVF = 0x112;
constexpr uint32_t FVF_DIFFUSE = 0x40;
constexpr int32_t MAX_SLOTS = 4; // texture slots of a model material

const Mat4 *s_pass_camera_matrix;

float row_length(const Mat4 *m, int i) {
    return sqrtf(m->m[i][0] * m->m[i][0] + m->m[i][1] * m->m[i][1] + m->m[i][2] * m->m[i][2]);
}

// Billboards turn the caller's matrix in place. Mode 1 takes the camera's rotation but keeps
// each row's length, so the node's scale survives; other modes turn about the vertical only.
void apply_billboard(Mat4 *world, uint32_t mode, const NodePassCamera *camera) {
    if (mode == 1) {
        const Mat4 *c = s_pass_camera_matrix;
        for (int i = 0; i < 3; ++i) {
            const float length = row_length(world, i), unit = row_length(c, i);
            const float k = unit > 0.0f ? length / unit : 0.0f;
            for (int j = 0; j < 3; ++j) world->m[i][j] = c->m[i][j] * k;
        }
        return;
    }
    Vec3 position, scale;
    EulerAngles angles;
    mat4_decompose(&position, &angles, &scale, world);
    angles.y = atan2f(position.x - camera->position.x, position.z - camera->position.z);
    mat4_from_position_euler(world, &position, &angles);
    mat4_scale_rows(world, world, &scale);
}

const ModelMaterial *subset_material(const ModelRecord *r, const MeshSubset *subset) {
    if (!r->data || !r->data->materials) return nullptr;
    const uint32_t count = r->data->material_word & 0xFF;
    return subset->material_index < count ? &r->data->materials[subset->material_index] : nullptr;
}

// Binds a subset's textures to stages 0, 1, ...; returns the number of stages used. Indexes and
// slot counts come from file data and are bounded by the material count, the four slots of a
// material and the eight stages; a handle that names no texture unbinds its stage.
int32_t bind_subset_textures(const ModelRecord *r, const MeshSubset *subset, uint32_t override,
                             int32_t filter) {
    GfxDevice *device = gfx_get_device();
    const ModelMaterial *m = subset_material(r, subset);
    int32_t slots = m ? (int32_t)m->slot_count : 0;
    if (slots > MAX_SLOTS) slots = MAX_SLOTS;
    if (slots > GPU_MAX_STAGES) slots = GPU_MAX_STAGES;
    if (slots > 1 && scenedraw_settings()->single_texture == 1) slots = 1;
    if (override && slots < 1) slots = 1;
    if (slots < 1) {
        tex_bind(device, 0, nullptr, 1);
        return 1;
    }
    for (int32_t i = 0; i < slots; ++i) {
        const uint32_t handle = i == 0 && override ? override : m->slot_textures[i];
        tex_bind(device, (uint32_t)i, handle >= 1 ? res_get_texture(handle) : nullptr, filter);
    }
    return slots;
}

} // namespace

void node_pass_camera(NodePassCamera *out) {
    const SceneDrawSettings *s = scenedraw_settings();
    const int view = (int)view_get_current();
    out->aux = s->aux_pass == 1;
    out->mirror = !out->aux && s->mirror_pass == 1;
    float far_limit;
    if (out->aux) {
        const int k = (int)view_get_active_aux_cam();
        s_pass_camera_matrix = view_get_aux_cam_matrix(view, k);
        out->position = *view_get_aux_cam_position(view, k);
        out->planes = view_get_aux_cam_planes(view, k);
        far_limit = view_get_aux_cam_far(view, k);
    } else if (out->mirror) {
        s_pass_camera_matrix = view_get_mirror_camera_matrix(view);
        const Mat4 *m = s_pass_camera_matrix;
        out->position = {m->m[3][0], m->m[3][1], m->m[3][2]};
        out->planes = view_get_mirror_planes(view);
        far_limit = view_get_far_limit(view);
    } else {
        s_pass_camera_matrix = view_get_camera_matrix(view);
        const Mat4 *m = s_pass_camera_matrix;
        out->position = {m->m[3][0], m->m[3][1], m->m[3][2]};
        out->planes = view_get_cull_planes(view);
        far_limit = view_get_far_limit(view);
    }
    out->far_limit_sq = far_limit * far_limit;
    out->view_fog = view_get_fog_mode(view) != 0 ? 1 : 0;
}

bool node_in_pass(const NodePassCamera *camera, uint32_t flags) {
    if (camera->aux && !drawflags_get(flags, DF_AUX_PASS)) return false;
    if (camera->mirror && !drawflags_get(flags, DF_MIRROR_PASS)) return false;
    return true;
}

void node_shader_bind_mesh(int32_t set, const void *params, int32_t pass_arg, int32_t decl,
                           const Mat4 *world, const NodeMaterial *material,
                           PointLight *const *lights, int32_t light_count) {
    shader_select(set, params, pass_arg, decl, world, material, nullptr, nullptr, 1.0f, lights,
                  light_count);
}

void node_shader_bind_plain(int32_t set, const void *params, int32_t pass_arg, int32_t decl) {
    shader_select(set, params, pass_arg, decl, nullptr, nullptr, nullptr, nullptr, 1.0f, nullptr,
                  0);
}

void node_begin_run(const NodePassCamera *camera, bool always_cull, int32_t linear_samplers) {
    const SceneDrawSettings *s = scenedraw_settings();
    gpu_set_render_state(GPU_RS_LIGHTING, 1);
    gpu_set_render_state(GPU_RS_ALPHAREF, 1);
    gpu_set_render_state(GPU_RS_ALPHAFUNC, ALPHA_GREATEREQUAL);
    gpu_set_render_state(GPU_RS_ZENABLE, 1);
    gpu_set_render_state(GPU_RS_ZWRITEENABLE, 1);
    if (s->cull_override != -1)
        gpu_set_render_state(GPU_RS_CULLMODE, gfx_cull_mode_code(s->cull_override));
    else if (always_cull)
        gpu_set_render_state(GPU_RS_CULLMODE, gfx_cull_mode_code(CULL_CCW_INDEX));
    gpu_set_render_state(GPU_RS_FOGENABLE,
                         s->fog_override != -1 ? (uint32_t)s->fog_override : camera->view_fog);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 1);
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, GPU_TOP_MODULATE);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG1, GPU_TA_TEXTURE);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG2, GPU_TA_DIFFUSE);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, GPU_TOP_MODULATE);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG1, GPU_TA_TEXTURE);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG2, GPU_TA_DIFFUSE);
    for (int32_t i = 0; i < linear_samplers; ++i) {
        gpu_set_sampler_state((uint32_t)i, GPU_SAMP_MAGFILTER, FILTER_LINEAR);
        gpu_set_sampler_state((uint32_t)i, GPU_SAMP_MINFILTER, FILTER_LINEAR);
    }
    gfx_reset_state_cache();
}

void node_end_run(void) {
    scenedraw_unbind_textures();
    node_shader_bind_plain(0, nullptr, 0, shader_find_vertex_decl(PLAIN_DECL_FVF));
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
}

void node_draw_mesh(const NodeMeshDraw *d, const NodePassCamera *camera, int32_t *last_model) {
    if (d->model == 0 || !node_in_pass(camera, d->draw_flags)) return;
    ModelRecord *r = res_model_record(d->model);
    if (!r) return;
    const MeshBuffers *mesh = &r->mesh;
    const SceneDrawSettings *s = scenedraw_settings();
    const uint32_t f = d->draw_flags;

    const uint32_t billboard = drawflags_get(f, DF_BILLBOARD);
    if (billboard) apply_billboard(d->world, billboard, camera);
    // WORLD goes out for every draw: a shader set that failed to compile draws fixed-function,
    // which must not use the previous node's matrix.
    gpu_set_transform(GPU_TS_WORLD, &d->world->m[0][0]);

    const uint32_t lighting = node_lighting_for(mesh, drawflags_get(f, DF_LIGHTING));
    const int32_t cull =
        s->cull_override != -1 ? s->cull_override : (int32_t)drawflags_get(f, DF_CULL);
    const int32_t alpha_ref = s->alpha_ref_over == 1 ? 4 : (int32_t)drawflags_get(f, DF_ALPHA_REF);
    const bool changed = gfx_set_draw_states(
        lighting, drawflags_get(f, DF_ZWRITE), (int32_t)drawflags_get(f, DF_ZFUNC),
        scenedraw_node_fog(drawflags_get(f, DF_FOG)), (int32_t)drawflags_get(f, DF_BLEND_PAIR),
        cull, (int32_t)drawflags_get(f, DF_FILL), alpha_ref, d->shader_id);

    // The bone palette only for a mesh that has bones and weighted vertices: an instance given
    // for any other mesh would collapse it.
    const uint32_t position_kind = mesh->vertex_format & 0xE;
    const bool skinned =
        ((mesh->counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFF) != 0 && position_kind >= 0x6;
    const int32_t set = changed ? (int32_t)d->shader_id : -1;
    shader_select(set, d->params, s->pass_arg, (int32_t)mesh->vertex_decl, d->world, d->material,
                  mesh, skinned ? d->instance : nullptr, d->shader_float, d->lights,
                  d->light_count);
    if (set >= 0 || *last_model != (int32_t)d->model) {
        node_bind_buffers(mesh);
        *last_model = (int32_t)d->model;
    }

    node_draw_subsets(r, d->texture, (int32_t)drawflags_get(f, DF_FILTER));
}

// Per-vertex colours turn device lighting off.
uint32_t node_lighting_for(const MeshBuffers *mesh, uint32_t lighting_bit) {
    return (mesh->vertex_format & FVF_DIFFUSE) ? 0 : lighting_bit;
}

void node_bind_buffers(const MeshBuffers *mesh) {
    if (mesh->index_buffer) gpu_set_indices(mesh->index_buffer);
    gpu_set_stream_source(mesh->vertex_buffer, 0, mesh->stride);
}

void node_draw_subsets(const ModelRecord *r, uint32_t texture, int32_t filter) {
    const MeshBuffers *mesh = &r->mesh;
    const uint32_t subsets = mesh->counts_flags & MESH_SUBSET_COUNT_MASK;
    for (uint32_t i = 0; i < subsets && mesh->subsets; ++i) {
        const MeshSubset *sub = &mesh->subsets[i];
        const int32_t stages = bind_subset_textures(r, sub, i == 0 ? texture : 0, filter);
        if (mesh->index_buffer)
            gpu_draw_indexed_primitive(sub->primitive_type, 0, sub->min_index, sub->vertex_span,
                                       sub->start_index, sub->primitive_count);
        else
            gpu_draw_primitive(sub->primitive_type, sub->start_index, sub->primitive_count);
        for (int32_t k = stages - 1; k >= 1; --k)
            tex_bind(gfx_get_device(), (uint32_t)k, nullptr, 1);
    }
}

void node_queue_reset(NodeQueueBuild *q) {
    q->opaque = q->blended = q->nozwrite = 0;
}

void node_queue_add(NodeQueueBuild *q, SceneObject *o, bool blended, bool zwrite) {
    SceneObject **side = node_side_queue();
    if (!zwrite)
        side[NODE_QUEUE_SIZE - 1 - q->nozwrite++] = o;
    else if (blended)
        side[q->blended++] = o;
    else
        node_queue_array()[q->opaque++] = o;
}

int32_t node_queue_finish(NodeQueueBuild *q, bool opaque_by_key) {
    SceneObject **main = node_queue_array(), **side = node_side_queue();
    if (opaque_by_key)
        node_sort_by_key(main, q->opaque);
    else
        node_sort_by_distance(main, q->opaque);
    node_sort_by_distance(side, q->blended);
    node_sort_by_distance(&side[NODE_QUEUE_SIZE - q->nozwrite], q->nozwrite);
    int32_t n = q->opaque;
    for (int32_t i = 0; i < q->blended; ++i) main[n++] = side[i];
    for (int32_t i = 0; i < q->nozwrite; ++i) main[n++] = side[NODE_QUEUE_SIZE - q->nozwrite + i];
    return n;
}
